// Replay: scripted input read from a --replay file, one input change per line:
//   <frame> key <code> press|release|repeat      <frame> mouse <button> press|release
//   <frame> cursor <x> <y>                       <frame> pad <joystick> connect|disconnect
//   <frame> pad <joystick> button <index> press|release
//   <frame> pad <joystick> axis <index> <value>
// ('#' starts a comment; frames count from 1). Any line may end with "+<ms>ms", the
// instant inside frame N the change happened (from +0ms, the frame's start, to just under
// one frame); without it the change happens at the frame's start. Replay only reads and
// checks the file; the engine's start-up hands its lines to Input, which applies them at
// their frames. Game thread only.
#pragma once

#include "replayline.h"

#include <cstdint>
#include <string>
#include <vector>

namespace volleyrun {

class Replay {
public:
    // Limits of a replay file: its size, and one line's length (no valid line comes near).
    static constexpr uintmax_t kMaxBytes = uintmax_t{16} << 20;
    static constexpr size_t kMaxLineLength = 1024;
    static constexpr int64_t kFrameNs = 16'666'666;  // one frame of the game's fixed 60 Hz

    using Line = ReplayLine;

    // Reads and checks the whole file; a malformed line throws GameError naming the
    // file and the line number.
    static Replay Load(const std::string& path);
    static Replay Parse(const std::string& text, const std::string& path);

    // Keys, mouse buttons and the cursor, then the pads: each in ascending frame, file
    // order within one frame.
    const std::vector<Line>& EventLines() const { return events_; }
    const std::vector<Line>& PadLines() const { return pads_; }

private:
    std::vector<Line> events_;
    std::vector<Line> pads_;
};

} // namespace volleyrun
