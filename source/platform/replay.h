// Replay: scripted input read from a --replay file, one input change per line:
//   <frame> key <code> press|release|repeat      <frame> mouse <button> press|release
//   <frame> cursor <x> <y>                       <frame> pad <joystick> connect|disconnect
//   <frame> pad <joystick> button <index> press|release
//   <frame> pad <joystick> axis <index> <value>
// ('#' starts a comment; frames count from 1). Any line may end with "+<ms>ms", the
// instant inside frame N the change happened (from +0ms, the frame's start, to just under
// one frame); without it the change happens at the frame's start. Input owns it: key,
// mouse and cursor lines are delivered through the window-callback handlers during frame
// N's event polling, pad lines at frame N's Input::Poll, in file order, each stamped
// with its instant. Game thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Input;

class Replay {
public:
    // Limits of a replay file: its size, and one line's length (no valid line comes near).
    static constexpr uintmax_t kMaxBytes = uintmax_t{16} << 20;
    static constexpr size_t kMaxLineLength = 1024;
    static constexpr int64_t kFrameNs = 16'666'666;  // one frame of the game's fixed 60 Hz

    struct Line {
        enum Kind { kKey, kMouse, kCursor, kPadConnect, kPadDisconnect, kPadButton, kPadAxis };
        int64_t frame = 0;
        Kind kind = kKey;
        int code = 0;      // key code, mouse button, or the pad's button or axis index
        int action = 0;    // Input::kPress / kRelease / kRepeat
        int joystick = 0;
        double x = 0.0, y = 0.0;  // cursor pixels, or the axis value in x
        int64_t offsetNs = 0;     // after the frame's start
    };

    // Reads and checks the whole file; a malformed line throws GameError naming the
    // file and the line number.
    static Replay Load(const std::string& path);
    static Replay Parse(const std::string& text, const std::string& path);

    // Lines of frames up to frame not yet delivered (a frame never skipped in practice).
    void DeliverEvents(int64_t frame, int64_t frameStart, Input& input);
    void DeliverPads(int64_t frame, int64_t frameStart, Input& input);

    const std::vector<Line>& EventLines() const { return events_; }
    const std::vector<Line>& PadLines() const { return pads_; }

private:
    static void Apply(const Line& line, Input& input);

    std::vector<Line> events_;  // keys, mouse buttons, cursor: ascending frame, file order within one
    std::vector<Line> pads_;
    size_t nextEvent_ = 0;
    size_t nextPad_ = 0;
};
