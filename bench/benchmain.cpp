// The benchmark program's entry: the program's component types and engine parts, then every benchmark.
#include "programsetup.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    volleyrun::SetUpProgram();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
