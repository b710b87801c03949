// StampedPress: one key or pad-button change as an input device reported it, with the
// kernel's own instant. The input-device reader makes them on its thread and hands them to
// the game thread, where PressStamps keeps them for the presses the window system reports.
#pragma once

#include <cstdint>
#include <string>

namespace volleyrun {

enum class PressKind { kKey, kPadButton };

struct StampedPress {
    PressKind kind = PressKind::kKey;
    int code = -1;            // GLFW key code for keys; the Input pad layout index for pad buttons
    int action = 0;           // Input::kRelease, kPress or kRepeat (the kernel numbers them alike)
    int64_t nanoseconds = 0;  // CLOCK_MONOTONIC, the steady clock's epoch
    int deviceId = 0;         // the reader's number for the device, unique while it runs
    std::string deviceName;   // as the kernel names it (the window system's joystick name too)
};

} // namespace volleyrun
