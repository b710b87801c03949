// The test programs' entry: the program's component types and engine parts, then every test.
#include "programsetup.h"

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    volleyrun::SetUpProgram();
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
