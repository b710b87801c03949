// Input-device figures in real time: how long a kernel record takes from its device to the
// game thread, and (where /dev/uinput can be opened) how far the reader's stamp of a
// synthetic key lies from the instant it was written.
#include "evdevreader.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace volleyrun {

namespace {

int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The median, 99th percentile and worst of the samples (nanoseconds) as microsecond counters.
void Report(benchmark::State& state, const std::string& prefix, std::vector<int64_t> samples)
{
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    auto at = [&samples](double share) { return samples[static_cast<size_t>(share * (samples.size() - 1))] / 1e3; };
    state.counters[prefix + "p50_us"] = at(0.5);
    state.counters[prefix + "p99_us"] = at(0.99);
    state.counters[prefix + "max_us"] = at(1.0);
}

input_event KeyRecord(int code, int value)
{
    input_event event{};
    event.type = EV_KEY;
    event.code = static_cast<uint16_t>(code);
    event.value = value;
    return event;
}

// Pops until a record of the device comes; false after a second without one.
bool PopFrom(EvdevReader& reader, const std::string& device, StampedPress* press)
{
    int64_t deadline = Now() + 1'000'000'000;
    while (Now() < deadline) {
        if (!reader.Pop(press)) std::this_thread::yield();
        else if (press->deviceName == device) return true;
    }
    return false;
}

// From writing a record into a pipe the reader reads to the game thread popping it, which
// spins here: the wake-up of the input thread, its read and the ring.
void EvdevPipeLatency(benchmark::State& state)
{
    EvdevReader reader;
    int ends[2];
    if (!reader.Start(false) || pipe2(ends, O_CLOEXEC) != 0) {
        state.SkipWithError("the reader or its pipe could not be made");
        return;
    }
    reader.AddDevice(ends[0], PressKind::kKey, "Pipe");
    std::vector<int64_t> latencies;
    int value = 1;
    for (auto _ : state) {
        input_event event = KeyRecord(KEY_A, value);
        value = 1 - value;
        int64_t written = Now();
        if (write(ends[1], &event, sizeof event) != sizeof event) state.SkipWithError("the pipe refused a record");
        StampedPress press;
        if (!PopFrom(reader, "Pipe", &press)) state.SkipWithError("a record never came");
        latencies.push_back(Now() - written);
    }
    Report(state, "", latencies);
    close(ends[1]);
}
BENCHMARK(EvdevPipeLatency)->Iterations(20000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A virtual keyboard on /dev/uinput: makes it and returns its descriptor, or -1 with why.
int MakeVirtualKeyboard(const char* name, std::string* why)
{
    int fd = open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = std::string("/dev/uinput cannot be opened (") + std::strerror(errno) +
               "): the kernel stamp of a synthetic key is not measured on this machine";
        return -1;
    }
    bool ok = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0;
    for (int code : {KEY_A, KEY_Z, KEY_SPACE, KEY_ENTER, KEY_F24}) ok = ok && ioctl(fd, UI_SET_KEYBIT, code) == 0;
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, name, UINPUT_MAX_NAME_SIZE - 1);
    ok = ok && ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
    if (!ok) {
        *why = std::string("the virtual keyboard could not be made: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

bool WaitForDevice(const EvdevReader& reader, const std::string& name)
{
    for (int tries = 0; tries < 300; ++tries) {
        for (const EvdevReader::DeviceInfo& device : reader.Devices())
            if (device.name == name) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// F24 (bound to nothing on a desktop) pressed and released on a virtual keyboard: the
// reader's kernel stamp against the instant just before the write ("stamp_"), and the pop
// against the same instant ("pop_").
void UinputKeyStamp(benchmark::State& state)
{
    const std::string name = "Volleyrun benchmark keyboard";
    std::string why;
    int fd = MakeVirtualKeyboard(name.c_str(), &why);
    if (fd < 0) {
        state.SkipWithError(why.c_str());
        return;
    }
    EvdevReader reader;
    if (!reader.Start(true) || !WaitForDevice(reader, name)) {
        state.SkipWithError("the reader did not open the virtual keyboard (is the user in the input group?)");
        ioctl(fd, UI_DEV_DESTROY);
        close(fd);
        return;
    }
    std::vector<int64_t> stamps, pops;
    int value = 1;
    for (auto _ : state) {
        input_event records[2] = {KeyRecord(KEY_F24, value), input_event{}};  // the key, then SYN_REPORT
        value = 1 - value;
        int64_t written = Now();
        if (write(fd, records, sizeof records) != sizeof records) state.SkipWithError("uinput refused a record");
        StampedPress press;
        if (!PopFrom(reader, name, &press) || press.code != GLFW_KEY_F24) state.SkipWithError("the key never came");
        pops.push_back(Now() - written);
        stamps.push_back(press.nanoseconds - written);
    }
    Report(state, "stamp_", stamps);
    Report(state, "pop_", pops);
    reader.Stop();
    ioctl(fd, UI_DEV_DESTROY);
    close(fd);
}
BENCHMARK(UinputKeyStamp)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

} // namespace volleyrun
