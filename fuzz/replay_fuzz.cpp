// Replay files: the bytes are parsed as a --replay script, and every line that parses is
// applied to the input state and read by one poll, as the engine's frames would.
#include "fuzzsupport.h"

#include "frameclock.h"
#include "input.h"
#include "replay.h"

namespace volleyrun {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int64_t lastFrame = INT64_MAX - 1;  // every line's frame has begun
    static Input* input = [] {
        FrameClock::Start();  // the pads' reading is stamped
        Input* started = Input::Start();
        started->Connect(nullptr, &lastFrame);
        return started;
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    fuzz_support::Refused([&text] {
        Replay replay = Replay::Parse(text, "fuzz.replay");
        input->UseReplay(replay.EventLines(), replay.PadLines());
        input->PollReplayEvents();
        input->Poll();
        input->EndFrame();
    });
    return 0;
}

} // namespace volleyrun
