// EvdevReader: reads the keyboards and pads of the system on its own input thread and hands
// every key and pad-button change, stamped by the kernel on CLOCK_MONOTONIC (the steady
// clock), to the game thread through a ring. Owns the thread, the devices it reads, a wake
// descriptor and, when asked to look for devices, the EvdevProbe that finds them and follows
// hot-plug. The engine starts it and stops it on the game thread; the game thread pops the
// records and takes the trace lines. AddDevice (any thread) reads an already open descriptor,
// such as a pipe. A device that ends (unplugged, or its writer closed) is closed alone.
#pragma once

#include "spscring.h"
#include "stampedpress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct input_event;

namespace volleyrun {

class EvdevProbe;

class EvdevReader {
public:
    static constexpr size_t kRingSize = 1024;

    struct DeviceInfo {
        int id = 0;
        PressKind kind = PressKind::kKey;
        std::string name;
    };

    EvdevReader();
    EvdevReader(const EvdevReader&) = delete;
    EvdevReader& operator=(const EvdevReader&) = delete;
    ~EvdevReader();  // stops

    // Game thread, once. With findDevices, first opens every keyboard and pad the user may
    // read (each one that cannot be is skipped with a trace line) and follows hot-plug;
    // without, reads only what AddDevice hands it. Then starts the input thread. False, with
    // a trace line, when the thread's wake descriptor could not be made.
    bool Start(bool findDevices);
    // Game thread: wakes the thread and joins it, then closes every device. Final.
    void Stop();
    // Any thread: reads fd (taken over; made non-blocking) as a device of this kind and name.
    void AddDevice(int fd, PressKind kind, const std::string& name);

    // Game thread: the next record, oldest first.
    bool Pop(StampedPress* press) { return ring_.Pop(press); }
    // Game thread: lines for the trace since the last call (devices skipped, added, removed).
    std::vector<std::string> TakeMessages();
    // Any thread: the devices read now.
    std::vector<DeviceInfo> Devices() const;
    // The start-up trace line: which devices are read with kernel time stamps.
    std::string StartupLine() const;
    // Records lost because the game thread left the ring full.
    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

    // The tables: GLFW's key code for a kernel KEY_* code, the PadLayout index for a
    // kernel BTN_* code; -1 when there is none.
    static int GlfwKey(int evdevCode);
    static int PadButton(int evdevCode);

private:
    struct Device;

    void Run();
    void Adopt(std::unique_ptr<Device> device);
    void AdoptAdded();
    bool OpenNode(const std::string& path, const std::string& name);  // true when it is read now
    void Service(int fd);
    void FollowHotplug();
    bool Read(Device& device);
    void Handle(Device& device, const input_event& event);
    void Close(size_t index, const std::string& why);
    void Note(const std::string& line);
    void PublishDevices();

    SpscRing<StampedPress, kRingSize> ring_;
    std::atomic<uint64_t> dropped_{0};
    std::atomic<bool> stopping_{false};
    const int wakeFd_;                     // eventfd: Stop and AddDevice wake the thread
    std::unique_ptr<EvdevProbe> probe_;    // null unless asked to find devices
    std::vector<std::unique_ptr<Device>> devices_;  // the input thread's (Start's before it runs)
    int nextId_ = 1;
    std::thread thread_;

    mutable std::mutex mutex_;  // guards the three below
    std::vector<std::unique_ptr<Device>> added_;  // from AddDevice, for the thread to adopt
    std::vector<std::string> messages_;
    std::vector<DeviceInfo> published_;  // a copy of devices_ for other threads
};

} // namespace volleyrun
