#include "evdevprobe.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace volleyrun {

namespace {

bool IsKeyboard(const libevdev* device)
{
    for (int code : {KEY_A, KEY_Z, KEY_SPACE, KEY_ENTER})
        if (!libevdev_has_event_code(device, EV_KEY, code)) return false;
    return true;
}

bool IsPad(const libevdev* device)
{
    return libevdev_has_event_code(device, EV_KEY, BTN_SOUTH);  // BTN_GAMEPAD is the same code
}

bool Tagged(udev_device* device, const char* property)
{
    const char* value = udev_device_get_property_value(device, property);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// The node and name of an event device udev has not classed as something other than a
// keyboard or a pad (an untagged one is probed: a system without udev's rules tags nothing).
std::optional<EvdevProbe::Node> Describe(udev_device* device)
{
    const char* path = udev_device_get_devnode(device);
    if (path == nullptr || std::strncmp(path, "/dev/input/event", 16) != 0) return std::nullopt;
    if (Tagged(device, "ID_INPUT") && !Tagged(device, "ID_INPUT_KEYBOARD") && !Tagged(device, "ID_INPUT_JOYSTICK"))
        return std::nullopt;
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr);
    const char* name = parent != nullptr ? udev_device_get_sysattr_value(parent, "name") : nullptr;
    return EvdevProbe::Node{path, name != nullptr ? name : "unnamed"};
}

}  // namespace

EvdevProbe::EvdevProbe()
{
    udev_ = udev_new();
    if (udev_ == nullptr) return;
    // "udev", not "kernel": the change arrives after the rules have set the node's permissions.
    udev_monitor* monitor = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor == nullptr) return;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "input", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        return;
    }
    monitor_ = monitor;
}

EvdevProbe::~EvdevProbe()
{
    if (monitor_ != nullptr) udev_monitor_unref(monitor_);
    if (udev_ != nullptr) udev_unref(udev_);
}

std::vector<EvdevProbe::Node> EvdevProbe::Nodes() const
{
    std::vector<Node> nodes;
    if (!Ok()) return nodes;
    udev_enumerate* enumerate = udev_enumerate_new(udev_);
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* device = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
        if (device == nullptr) continue;
        if (std::optional<Node> node = Describe(device)) nodes.push_back(*node);
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return nodes;
}

int EvdevProbe::MonitorFd() const
{
    return Ok() ? udev_monitor_get_fd(monitor_) : -1;
}

std::optional<EvdevProbe::Change> EvdevProbe::Receive()
{
    udev_device* device = Ok() ? udev_monitor_receive_device(monitor_) : nullptr;
    if (device == nullptr) return std::nullopt;
    std::optional<Change> change;
    std::optional<Node> node = Describe(device);
    const char* action = udev_device_get_action(device);
    if (node && action != nullptr) {
        if (std::strcmp(action, "add") == 0) change = Change{true, *node};
        if (std::strcmp(action, "remove") == 0) change = Change{false, *node};
    }
    udev_device_unref(device);
    return change;
}

std::optional<EvdevProbe::Opened> EvdevProbe::Open(const std::string& path, std::string* why)
{
    why->clear();
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = std::strerror(errno);
        if (errno == EACCES) *why += " (reading keyboards needs the input group)";
        return std::nullopt;
    }
    libevdev* device = nullptr;
    if (int result = libevdev_new_from_fd(fd, &device); result < 0) {
        *why = std::string("not an input device: ") + std::strerror(-result);
        close(fd);
        return std::nullopt;
    }
    std::optional<Opened> opened;
    if (IsKeyboard(device) || IsPad(device)) {
        opened = Opened{fd, IsKeyboard(device) ? PressKind::kKey : PressKind::kPadButton, libevdev_get_name(device)};
        int clock = CLOCK_MONOTONIC;
        if (ioctl(fd, EVIOCSCLOCKID, &clock) < 0) {
            *why = std::string("its time stamps cannot be switched to the monotonic clock: ") + std::strerror(errno);
            opened.reset();
        }
    }
    libevdev_free(device);  // leaves the descriptor open
    if (!opened) close(fd);
    return opened;
}

} // namespace volleyrun
