// Program entry: parses the run options, runs frames until the engine quits, writes the
// dump when asked, and holds the one handler for fatal errors: their text is printed and
// the program waits for one character on standard input (not at end of input) and exits 1.
#include "engine.h"
#include "gameerror.h"
#include "runoptions.h"

#include <csignal>
#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    // A sound output that goes away as a closed pipe is a lost device, handled where the
    // write fails, not a reason to end the program.
    std::signal(SIGPIPE, SIG_IGN);
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
