// EvdevProbe: finding the system's input devices and telling what each is. Holds the udev
// context and its hot-plug monitor of the "input" subsystem; opens a device node, asks it
// (libevdev) whether it is a keyboard or a pad and switches its time stamps to
// CLOCK_MONOTONIC. The input-device reader creates it in its start-up (on the thread that
// starts it) and then uses it only from its own thread. Reads no input records itself.
#pragma once

#include "stampedpress.h"

#include <optional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace volleyrun {

class EvdevProbe {
public:
    struct Opened {
        int fd = -1;  // O_RDONLY | O_NONBLOCK, stamped on CLOCK_MONOTONIC; the caller owns it
        PressKind kind = PressKind::kKey;
        std::string name;
    };
    struct Node {
        std::string path;  // /dev/input/eventN
        std::string name;  // the kernel's name for the device, for the trace
    };
    struct Change {
        bool added = false;  // false: removed
        Node node;
    };

    // Without udev (a container, a broken system) Ok() is false and nothing is found.
    EvdevProbe();
    EvdevProbe(const EvdevProbe&) = delete;
    EvdevProbe& operator=(const EvdevProbe&) = delete;
    ~EvdevProbe();

    bool Ok() const { return monitor_ != nullptr; }
    // The event device nodes present now that may be keyboards or pads (udev's own tags
    // leave mice and the like out). The monitor is already listening, so a device plugged in
    // meanwhile is reported by both: callers skip a node they already read.
    std::vector<Node> Nodes() const;
    int MonitorFd() const;
    // One waiting hot-plug change of an event device node that may be a keyboard or a pad;
    // nullopt when none is waiting or the change is about something else.
    std::optional<Change> Receive();

    // Opens a node and keeps it when it is a keyboard or a pad. nullopt with why empty: some
    // other device (a mouse, a power button), left alone; with why set: it could not be read.
    static std::optional<Opened> Open(const std::string& path, std::string* why);

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

} // namespace volleyrun
