#include "evdevreader.h"

#include "evdevprobe.h"
#include "padlayout.h"

#include <GLFW/glfw3.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace volleyrun {

namespace {

// Every key GLFW names that a kernel keyboard reports, by position on a US keyboard, as
// GLFW's own Wayland back-end pairs them.
constexpr std::pair<int, int> kKeyTable[] = {
    {KEY_SPACE, GLFW_KEY_SPACE}, {KEY_APOSTROPHE, GLFW_KEY_APOSTROPHE}, {KEY_COMMA, GLFW_KEY_COMMA},
    {KEY_MINUS, GLFW_KEY_MINUS}, {KEY_DOT, GLFW_KEY_PERIOD}, {KEY_SLASH, GLFW_KEY_SLASH},
    {KEY_0, GLFW_KEY_0}, {KEY_1, GLFW_KEY_1}, {KEY_2, GLFW_KEY_2}, {KEY_3, GLFW_KEY_3}, {KEY_4, GLFW_KEY_4},
    {KEY_5, GLFW_KEY_5}, {KEY_6, GLFW_KEY_6}, {KEY_7, GLFW_KEY_7}, {KEY_8, GLFW_KEY_8}, {KEY_9, GLFW_KEY_9},
    {KEY_SEMICOLON, GLFW_KEY_SEMICOLON}, {KEY_EQUAL, GLFW_KEY_EQUAL},
    {KEY_A, GLFW_KEY_A}, {KEY_B, GLFW_KEY_B}, {KEY_C, GLFW_KEY_C}, {KEY_D, GLFW_KEY_D}, {KEY_E, GLFW_KEY_E},
    {KEY_F, GLFW_KEY_F}, {KEY_G, GLFW_KEY_G}, {KEY_H, GLFW_KEY_H}, {KEY_I, GLFW_KEY_I}, {KEY_J, GLFW_KEY_J},
    {KEY_K, GLFW_KEY_K}, {KEY_L, GLFW_KEY_L}, {KEY_M, GLFW_KEY_M}, {KEY_N, GLFW_KEY_N}, {KEY_O, GLFW_KEY_O},
    {KEY_P, GLFW_KEY_P}, {KEY_Q, GLFW_KEY_Q}, {KEY_R, GLFW_KEY_R}, {KEY_S, GLFW_KEY_S}, {KEY_T, GLFW_KEY_T},
    {KEY_U, GLFW_KEY_U}, {KEY_V, GLFW_KEY_V}, {KEY_W, GLFW_KEY_W}, {KEY_X, GLFW_KEY_X}, {KEY_Y, GLFW_KEY_Y},
    {KEY_Z, GLFW_KEY_Z},
    {KEY_LEFTBRACE, GLFW_KEY_LEFT_BRACKET}, {KEY_BACKSLASH, GLFW_KEY_BACKSLASH},
    {KEY_RIGHTBRACE, GLFW_KEY_RIGHT_BRACKET}, {KEY_GRAVE, GLFW_KEY_GRAVE_ACCENT}, {KEY_102ND, GLFW_KEY_WORLD_2},
    {KEY_ESC, GLFW_KEY_ESCAPE}, {KEY_ENTER, GLFW_KEY_ENTER}, {KEY_TAB, GLFW_KEY_TAB},
    {KEY_BACKSPACE, GLFW_KEY_BACKSPACE}, {KEY_INSERT, GLFW_KEY_INSERT}, {KEY_DELETE, GLFW_KEY_DELETE},
    {KEY_RIGHT, GLFW_KEY_RIGHT}, {KEY_LEFT, GLFW_KEY_LEFT}, {KEY_DOWN, GLFW_KEY_DOWN}, {KEY_UP, GLFW_KEY_UP},
    {KEY_PAGEUP, GLFW_KEY_PAGE_UP}, {KEY_PAGEDOWN, GLFW_KEY_PAGE_DOWN}, {KEY_HOME, GLFW_KEY_HOME},
    {KEY_END, GLFW_KEY_END}, {KEY_CAPSLOCK, GLFW_KEY_CAPS_LOCK}, {KEY_SCROLLLOCK, GLFW_KEY_SCROLL_LOCK},
    {KEY_NUMLOCK, GLFW_KEY_NUM_LOCK}, {KEY_SYSRQ, GLFW_KEY_PRINT_SCREEN}, {KEY_PAUSE, GLFW_KEY_PAUSE},
    {KEY_F1, GLFW_KEY_F1}, {KEY_F2, GLFW_KEY_F2}, {KEY_F3, GLFW_KEY_F3}, {KEY_F4, GLFW_KEY_F4},
    {KEY_F5, GLFW_KEY_F5}, {KEY_F6, GLFW_KEY_F6}, {KEY_F7, GLFW_KEY_F7}, {KEY_F8, GLFW_KEY_F8},
    {KEY_F9, GLFW_KEY_F9}, {KEY_F10, GLFW_KEY_F10}, {KEY_F11, GLFW_KEY_F11}, {KEY_F12, GLFW_KEY_F12},
    {KEY_F13, GLFW_KEY_F13}, {KEY_F14, GLFW_KEY_F14}, {KEY_F15, GLFW_KEY_F15}, {KEY_F16, GLFW_KEY_F16},
    {KEY_F17, GLFW_KEY_F17}, {KEY_F18, GLFW_KEY_F18}, {KEY_F19, GLFW_KEY_F19}, {KEY_F20, GLFW_KEY_F20},
    {KEY_F21, GLFW_KEY_F21}, {KEY_F22, GLFW_KEY_F22}, {KEY_F23, GLFW_KEY_F23}, {KEY_F24, GLFW_KEY_F24},
    {KEY_KP0, GLFW_KEY_KP_0}, {KEY_KP1, GLFW_KEY_KP_1}, {KEY_KP2, GLFW_KEY_KP_2}, {KEY_KP3, GLFW_KEY_KP_3},
    {KEY_KP4, GLFW_KEY_KP_4}, {KEY_KP5, GLFW_KEY_KP_5}, {KEY_KP6, GLFW_KEY_KP_6}, {KEY_KP7, GLFW_KEY_KP_7},
    {KEY_KP8, GLFW_KEY_KP_8}, {KEY_KP9, GLFW_KEY_KP_9}, {KEY_KPDOT, GLFW_KEY_KP_DECIMAL},
    {KEY_KPSLASH, GLFW_KEY_KP_DIVIDE}, {KEY_KPASTERISK, GLFW_KEY_KP_MULTIPLY},
    {KEY_KPMINUS, GLFW_KEY_KP_SUBTRACT}, {KEY_KPPLUS, GLFW_KEY_KP_ADD}, {KEY_KPENTER, GLFW_KEY_KP_ENTER},
    {KEY_KPEQUAL, GLFW_KEY_KP_EQUAL},
    {KEY_LEFTSHIFT, GLFW_KEY_LEFT_SHIFT}, {KEY_LEFTCTRL, GLFW_KEY_LEFT_CONTROL},
    {KEY_LEFTALT, GLFW_KEY_LEFT_ALT}, {KEY_LEFTMETA, GLFW_KEY_LEFT_SUPER},
    {KEY_RIGHTSHIFT, GLFW_KEY_RIGHT_SHIFT}, {KEY_RIGHTCTRL, GLFW_KEY_RIGHT_CONTROL},
    {KEY_RIGHTALT, GLFW_KEY_RIGHT_ALT}, {KEY_RIGHTMETA, GLFW_KEY_RIGHT_SUPER}, {KEY_COMPOSE, GLFW_KEY_MENU},
};

// The kernel's gamepad names are by position: north is the top face button (Y in the
// game's layout), west the left one (X).
constexpr std::pair<int, int> kPadTable[] = {
    {BTN_SOUTH, PadLayout::kPadA}, {BTN_EAST, PadLayout::kPadB}, {BTN_WEST, PadLayout::kPadX},
    {BTN_NORTH, PadLayout::kPadY}, {BTN_TL, 4}, {BTN_TR, 5}, {BTN_SELECT, 6}, {BTN_START, PadLayout::kPadStart},
    {BTN_THUMBL, 8}, {BTN_THUMBR, 9}, {BTN_DPAD_UP, PadLayout::kPadUp}, {BTN_DPAD_RIGHT, PadLayout::kPadRight},
    {BTN_DPAD_DOWN, PadLayout::kPadDown}, {BTN_DPAD_LEFT, PadLayout::kPadLeft}, {BTN_MODE, 14},
};

template <size_t N>
int Lookup(const std::pair<int, int> (&table)[N], int code)
{
    auto it = std::find_if(std::begin(table), std::end(table), [code](const auto& entry) { return entry.first == code; });
    return it == std::end(table) ? -1 : it->second;
}

const char* KindName(PressKind kind)
{
    return kind == PressKind::kKey ? "keyboard" : "pad";
}

}  // namespace

// One device the thread reads. Records may arrive split (a pipe), so a partial one waits.
struct EvdevReader::Device {
    int fd = -1;
    int id = 0;
    PressKind kind = PressKind::kKey;
    std::string name;
    std::string node;           // empty for a descriptor handed to AddDevice
    bool dropping = false;      // the kernel dropped records: ignore them up to the next report
    std::array<unsigned char, sizeof(input_event)> partial{};
    size_t partialBytes = 0;

    ~Device()
    {
        if (fd >= 0) close(fd);
    }
};

EvdevReader::EvdevReader() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

EvdevReader::~EvdevReader()
{
    Stop();
    if (wakeFd_ >= 0) close(wakeFd_);
}

int EvdevReader::GlfwKey(int evdevCode)
{
    return Lookup(kKeyTable, evdevCode);
}

int EvdevReader::PadButton(int evdevCode)
{
    return Lookup(kPadTable, evdevCode);
}

bool EvdevReader::Start(bool findDevices)
{
    if (wakeFd_ < 0) {
        Note("input devices not read: no event descriptor for the input thread");
        return false;
    }
    if (findDevices) {
        probe_ = std::make_unique<EvdevProbe>();
        if (!probe_->Ok()) Note("input devices not read: udev is not available");
        for (const EvdevProbe::Node& node : probe_->Nodes()) OpenNode(node.path, node.name);
    }
    AdoptAdded();
    thread_ = std::thread(&EvdevReader::Run, this);
    return true;
}

void EvdevReader::Stop()
{
    if (thread_.joinable()) {
        stopping_.store(true);
        uint64_t one = 1;
        (void)!write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    devices_.clear();
    PublishDevices();
    probe_.reset();
}

void EvdevReader::AddDevice(int fd, PressKind kind, const std::string& name)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto device = std::make_unique<Device>();
    device->fd = fd;
    device->kind = kind;
    device->name = name;
    {
        std::lock_guard lock(mutex_);
        added_.push_back(std::move(device));
    }
    uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
}

std::vector<std::string> EvdevReader::TakeMessages()
{
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
}

std::vector<EvdevReader::DeviceInfo> EvdevReader::Devices() const
{
    std::lock_guard lock(mutex_);
    return published_;
}

std::string EvdevReader::StartupLine() const
{
    std::vector<DeviceInfo> devices = Devices();
    if (devices.empty()) return "no input devices readable: window-system time stamps";
    std::string line = "input devices read with kernel time stamps:";
    for (const DeviceInfo& device : devices)
        line += (&device == &devices.front() ? " " : ", ") + device.name + " (" + KindName(device.kind) + ")";
    return line;
}

// The input thread: sleeps in poll on the wake descriptor, the hot-plug monitor and every
// device until one of them has something.
void EvdevReader::Run()
{
    std::vector<pollfd> fds;
    while (!stopping_.load()) {
        fds.assign({pollfd{wakeFd_, POLLIN, 0}, pollfd{probe_ ? probe_->MonitorFd() : -1, POLLIN, 0}});
        for (const auto& device : devices_) fds.push_back(pollfd{device->fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            Note(std::string("input devices no longer read: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents != 0) {
            uint64_t count = 0;
            (void)!read(wakeFd_, &count, sizeof count);
            AdoptAdded();
        }
        if (fds[1].revents != 0) FollowHotplug();
        for (size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents != 0) Service(fds[i].fd);
    }
}

// Reads the device polled on fd, unless hot-plug closed it meanwhile (a new device that got
// the same number has nothing to read yet: the read finds nothing).
void EvdevReader::Service(int fd)
{
    auto it = std::find_if(devices_.begin(), devices_.end(), [fd](const auto& device) { return device->fd == fd; });
    if (it != devices_.end() && !Read(**it)) Close(static_cast<size_t>(it - devices_.begin()), "removed");
}

void EvdevReader::Adopt(std::unique_ptr<Device> device)
{
    device->id = nextId_++;
    devices_.push_back(std::move(device));
    PublishDevices();
}

void EvdevReader::AdoptAdded()
{
    std::vector<std::unique_ptr<Device>> added;
    {
        std::lock_guard lock(mutex_);
        added.swap(added_);
    }
    for (auto& device : added) Adopt(std::move(device));
}

bool EvdevReader::OpenNode(const std::string& path, const std::string& name)
{
    for (const auto& device : devices_)
        if (device->node == path) return false;
    std::string why;
    std::optional<EvdevProbe::Opened> opened = EvdevProbe::Open(path, &why);
    if (!opened) {
        if (!why.empty()) Note("input device " + path + " (" + name + ") skipped: " + why);
        return false;
    }
    auto device = std::make_unique<Device>();
    device->fd = opened->fd;
    device->kind = opened->kind;
    device->name = opened->name;
    device->node = path;
    Adopt(std::move(device));
    return true;
}

void EvdevReader::FollowHotplug()
{
    while (std::optional<EvdevProbe::Change> change = probe_->Receive()) {
        if (change->added) {
            if (OpenNode(change->node.path, change->node.name))
                Note("input device plugged in, read with kernel time stamps: " + devices_.back()->name + " (" +
                     KindName(devices_.back()->kind) + ")");
            continue;
        }
        for (size_t i = devices_.size(); i-- > 0;)
            if (devices_[i]->node == change->node.path) Close(i, "unplugged");
    }
}

// Reads everything waiting; false when the device has ended (end of file, or an error such
// as ENODEV after an unplug).
bool EvdevReader::Read(Device& device)
{
    constexpr size_t kRecord = sizeof(input_event);
    std::array<unsigned char, kRecord * 64> buffer;
    while (true) {
        std::memcpy(buffer.data(), device.partial.data(), device.partialBytes);
        ssize_t got = read(device.fd, buffer.data() + device.partialBytes, buffer.size() - device.partialBytes);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno == EAGAIN;
        if (got == 0) return false;
        size_t total = device.partialBytes + static_cast<size_t>(got);
        for (size_t at = 0; at + kRecord <= total; at += kRecord) {
            input_event event;
            std::memcpy(&event, buffer.data() + at, kRecord);
            Handle(device, event);
        }
        device.partialBytes = total % kRecord;
        std::memcpy(device.partial.data(), buffer.data() + total - device.partialBytes, device.partialBytes);
    }
}

void EvdevReader::Handle(Device& device, const input_event& event)
{
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) device.dropping = true;
        if (event.code == SYN_REPORT) device.dropping = false;
        return;
    }
    if (device.dropping || event.type != EV_KEY || event.value < 0 || event.value > 2) return;
    int code = device.kind == PressKind::kKey ? GlfwKey(event.code) : PadButton(event.code);
    if (code < 0) return;
    StampedPress press{device.kind, code, event.value,
                       int64_t{event.input_event_sec} * 1'000'000'000 + int64_t{event.input_event_usec} * 1000,
                       device.id, device.name};
    if (!ring_.Push(press)) dropped_.fetch_add(1, std::memory_order_relaxed);
}

void EvdevReader::Close(size_t index, const std::string& why)
{
    Note("input device " + why + ": " + devices_[index]->name);
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
    PublishDevices();
}

void EvdevReader::Note(const std::string& line)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(line);
}

void EvdevReader::PublishDevices()
{
    std::vector<DeviceInfo> info;
    for (const auto& device : devices_) info.push_back(DeviceInfo{device->id, device->kind, device->name});
    std::lock_guard lock(mutex_);
    published_ = std::move(info);
}

} // namespace volleyrun
