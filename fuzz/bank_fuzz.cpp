// Bank files: the bytes become "Audio/Banks/fuzz.json" of a fresh studio (silent output,
// the game's own set-up), which loads it beside two generated sounds ("mono.wav" at
// 22050 Hz, "sub/stereo.wav" at 48000 Hz). A bank that loads has its samples decoded and
// every event played for a few mix requests, with its parameters at both ends and the
// playhead moved near the loop's end, so beats, markers, loops and automation all run.
// A refused bank is a failed result code naming the file, never a crash.
#include "fuzzsupport.h"

#include "studiobank.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studiosystem.h"

#include <sndfile.h>

#include <cmath>

namespace volleyrun {

namespace {

void WriteTone(const fuzz_support::fs::path& path, int rate, int channels, int frames)
{
    fuzz_support::fs::create_directories(path.parent_path());
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<float> samples(static_cast<size_t>(frames * channels));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
}

StudioResult CountCallback(unsigned, StudioEventInstance*, void*)
{
    return STUDIO_OK;
}

void Mix(StudioSystem* system, int requests)
{
    std::vector<float> buffer(2 * 1024);
    for (int i = 0; i < requests; ++i) system->Mix(buffer.data(), 1024);
}

void Play(StudioSystem* system, StudioEventDescription* description, bool atMaximum)
{
    StudioEventInstance* instance = nullptr;
    if (description->CreateInstance(&instance) != STUDIO_OK) return;
    instance->SetCallback(&CountCallback, STUDIO_EVENT_CALLBACK_TIMELINE_BEAT | STUDIO_EVENT_CALLBACK_TIMELINE_MARKER);
    for (const auto& parameter : description->parameters)
        instance->SetParameterValue(parameter.name, atMaximum ? parameter.maximum : parameter.minimum);
    instance->Start();
    Mix(system, 2);
    if (description->Loops()) {
        double endMs = static_cast<double>(description->loopEnd) * 1000.0 / description->sampleRate;
        instance->SetTimelinePosition(static_cast<int>(std::clamp(endMs - 5.0, 0.0, 2.0e9)));
        Mix(system, 2);
    }
    instance->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz_support::fs::path bankFile = [] {
        fuzz_support::fs::path root = fuzz_support::ScratchRoot("bank") / "Audio";
        WriteTone(root / "Sounds" / "mono.wav", 22050, 1, 2205);
        WriteTone(root / "Sounds" / "sub" / "stereo.wav", 48000, 2, 2400);
        return root / "Banks" / "fuzz.json";
    }();
    fuzz_support::WriteBytes(bankFile, data, size);
    StudioSystem* system = nullptr;
    if (StudioSystem::Create(&system) != STUDIO_OK) abort();
    system->SetOutputSilent();
    system->Initialize(8);
    StudioBank* bank = nullptr;
    if (system->LoadBankFile(bankFile.string(), &bank) == STUDIO_OK && bank->LoadSampleData() == STUDIO_OK) {
        for (const auto& event : bank->Events()) {
            Play(system, event.get(), false);
            Play(system, event.get(), true);
        }
        system->Update();
    }
    system->Release();
    return 0;
}

} // namespace volleyrun
