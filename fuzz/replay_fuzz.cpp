// Replay files: the bytes are parsed as a --replay script, and every line that parses is
// delivered to the input state and read by one poll, as the engine's frames would.
#include "fuzzsupport.h"

#include "input.h"
#include "replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Input* input = Input::Get();
    std::string text(reinterpret_cast<const char*>(data), size);
    fuzz_support::Refused([&text] {
        Replay replay = Replay::Parse(text, "fuzz.replay");
        replay.DeliverEvents(INT64_MAX, 0, *input);
        replay.DeliverPads(INT64_MAX, 0, *input);
        input->Poll();
        input->EndFrame();
    });
    return 0;
}
