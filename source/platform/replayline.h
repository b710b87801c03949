// ReplayLine: one input change of a replay, as Replay reads it from a --replay file and
// Input applies it at its frame. Plain data; the codes and actions are Input's own.
#pragma once

#include <cstdint>

namespace volleyrun {

struct ReplayLine {
    enum Kind { kKey, kMouse, kCursor, kPadConnect, kPadDisconnect, kPadButton, kPadAxis };
    int64_t frame = 0;
    Kind kind = kKey;
    int code = 0;      // key code, mouse button, or the pad's button or axis index
    int action = 0;    // Input::kPress / kRelease / kRepeat
    int joystick = 0;
    double x = 0.0, y = 0.0;  // cursor pixels, or the axis value in x
    int64_t offsetNs = 0;     // after the frame's start
};

} // namespace volleyrun
