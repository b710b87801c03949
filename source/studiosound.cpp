#include "studiosound.h"

#include <samplerate.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>

namespace {

// An hour at 192 kHz: longer files are refused before memory is reserved for them.
constexpr sf_count_t kMaxFrames = 192000LL * 3600;

// Reads every frame of an open file as interleaved floats.
bool ReadAll(SNDFILE* file, const SF_INFO& info, std::vector<float>* samples)
{
    samples->resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    sf_count_t read = sf_readf_float(file, samples->data(), info.frames);
    if (read < 0) return false;
    samples->resize(static_cast<size_t>(read) * static_cast<size_t>(info.channels));
    return true;
}

bool Resample(std::vector<float>* samples, int channels, int fromRate, int toRate, std::string* error)
{
    if (fromRate == toRate || samples->empty()) return true;
    double ratio = static_cast<double>(toRate) / fromRate;
    long inFrames = static_cast<long>(samples->size() / static_cast<size_t>(channels));
    long outCapacity = static_cast<long>(std::ceil(static_cast<double>(inFrames) * ratio)) + 16;
    std::vector<float> out(static_cast<size_t>(outCapacity) * static_cast<size_t>(channels));
    SRC_DATA data{};
    data.data_in = samples->data();
    data.data_out = out.data();
    data.input_frames = inFrames;
    data.output_frames = outCapacity;
    data.src_ratio = ratio;
    data.end_of_input = 1;
    int status = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, channels);
    if (status != 0) {
        *error = std::string("cannot be resampled: ") + src_strerror(status);
        return false;
    }
    out.resize(static_cast<size_t>(data.output_frames_gen) * static_cast<size_t>(channels));
    samples->swap(out);
    return true;
}

SNDFILE* Open(const std::string& path, SF_INFO* info, StudioResult* result, std::string* error)
{
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, info);
    if (!file) {
        bool exists = std::filesystem::exists(path);
        *error = std::string(exists ? "cannot be decoded: " : "cannot be opened: ") + sf_strerror(nullptr);
        *result = exists ? STUDIO_ERR_FILE_BAD : STUDIO_ERR_FILE_NOTFOUND;
        return nullptr;
    }
    if (info->frames < 0 || info->frames > kMaxFrames || info->samplerate <= 0) {
        *error = "has a broken header or is longer than an hour";
        *result = STUDIO_ERR_FILE_BAD;
        sf_close(file);
        return nullptr;
    }
    if (info->channels < 1 || info->channels > 2) {
        *error = "has " + std::to_string(info->channels) + " channels (1 or 2 allowed)";
        *result = STUDIO_ERR_FILE_BAD;
        sf_close(file);
        return nullptr;
    }
    return file;
}

} // namespace

StudioResult StudioSound::Probe(const std::string& path, int mixRate, int64_t* frames, std::string* error)
{
    SF_INFO info{};
    StudioResult result = STUDIO_OK;
    SNDFILE* file = Open(path, &info, &result, error);
    if (!file) return result;
    sf_close(file);
    *frames = static_cast<int64_t>(std::ceil(static_cast<double>(info.frames) * mixRate / info.samplerate));
    return STUDIO_OK;
}

StudioResult StudioSound::Load(const std::string& path, int mixRate, std::shared_ptr<const StudioSound>* sound,
                               std::string* error)
{
    sound->reset();
    SF_INFO info{};
    StudioResult result = STUDIO_OK;
    SNDFILE* file = Open(path, &info, &result, error);
    if (!file) return result;
    auto loaded = std::make_shared<StudioSound>();
    bool read = ReadAll(file, info, &loaded->samples);
    sf_close(file);
    if (!read) {
        *error = "cannot be decoded";
        return STUDIO_ERR_FILE_BAD;
    }
    if (!Resample(&loaded->samples, info.channels, info.samplerate, mixRate, error)) return STUDIO_ERR_FILE_BAD;
    loaded->channels = info.channels;
    loaded->frames = static_cast<int64_t>(loaded->samples.size()) / info.channels;
    *sound = std::move(loaded);
    return STUDIO_OK;
}
