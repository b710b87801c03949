// Program entry: parses the run options, runs frames until the engine quits, writes the
// dump when asked, and holds the one handler for fatal errors: their text is printed and
// the program waits for one character on standard input (not at end of input) and exits 1.
#include "engine.h"
#include "gameerror.h"
#include "runoptions.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    try {
        RunOptions::Get() = RunOptions::Parse(argc, argv);
        for (Engine* engine = Engine::Get(); !engine->quit; engine = Engine::Get()) engine->Update();
        if (!RunOptions::Get().dumpFile.empty()) Engine::Get()->Dump(RunOptions::Get().dumpFile);
        Engine::Destroy();
        return 0;
    } catch (const GameError& error) {
        std::cout << error.what() << std::endl;
        std::getchar();
        return 1;
    }
}
