// Program entry: parses the run options, runs frames until the engine quits, writes the
// dump when asked, and holds the one handler for fatal errors: whatever is thrown, its
// text is printed on one line and the program waits for one character on standard input
// (not at end of input) and exits 1.
#include "programsetup.h"
#include "engine.h"
#include "gameerror.h"
#include "runoptions.h"
#include "studiowavwriter.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string>

namespace volleyrun {
namespace {

int Fail(const std::string& text)
{
    std::cout << text << std::endl;
    std::getchar();
    return 1;
}

} // namespace

int RunProgram(int argc, char** argv)
{
    // A sound output that goes away as a closed pipe is a lost device, handled where the
    // write fails, not a reason to end the program.
    std::signal(SIGPIPE, SIG_IGN);
    SetUpProgram();
    try {
        RunOptions::Get() = RunOptions::Parse(argc, argv);
        for (Engine* engine = Engine::Start(); !engine->quit; engine = Engine::Get()) engine->Update();
        if (!RunOptions::Get().dumpFile.empty()) Engine::Get()->Dump(RunOptions::Get().dumpFile);
        Engine::Destroy();
        // The mix is written on the mixing thread, which cannot end the run itself.
        if (std::string failure = StudioWavWriter::TakeFailure(); !failure.empty()) throw GameError(failure);
        return 0;
    } catch (const GameError& error) {
        return Fail(error.what());
    } catch (const std::bad_alloc&) {
        return Fail("Out of memory: the content asked for more than this machine can give");
    } catch (const std::exception& error) {
        return Fail(std::string("Fatal error: ") + error.what());
    } catch (...) {
        return Fail("Fatal error of an unknown kind");
    }
}

} // namespace volleyrun

int main(int argc, char** argv)
{
    return volleyrun::RunProgram(argc, argv);
}
