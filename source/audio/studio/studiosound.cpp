#include "studiosound.h"

#include "filecheck.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace volleyrun {

namespace {

// An hour at 192 kHz: longer files are refused before memory is reserved for them.
constexpr sf_count_t kMaxFrames = 192000LL * 3600;
// Rates outside these are no sound file's: at 1 Hz a minute of file is hours of mix.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
// The longest sound once decoded at the mix rate (a sound is held whole in memory).
constexpr int64_t kMaxMixSeconds = 20 * 60;

SNDFILE* OpenFile(const std::string& path, SF_INFO* info, StudioResult* result, std::string* error)
{
    // A FIFO would hang the decoder and a device never end.
    if (std::string problem = FileCheck::NotRegular(path); !problem.empty()) {
        *error = "cannot be opened: it " + problem;
        *result = STUDIO_ERR_FILE_BAD;
        return nullptr;
    }
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, info);
    if (!file) {
        std::error_code unreadable;  // a name too long for the system is not a file either
        bool exists = std::filesystem::exists(path, unreadable);
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
    if (info->samplerate < kMinRate || info->samplerate > kMaxRate) {
        *error = "has a sample rate of " + std::to_string(info->samplerate) + " Hz (" + std::to_string(kMinRate) + " to " +
                 std::to_string(kMaxRate) + " allowed)";
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

StudioSound::StudioSound(std::string path, const Shape& shape)
    : path(std::move(path)), channels(shape.channels), frames(shape.frames), fileRate(shape.fileRate),
      samples_(new float[static_cast<size_t>(frames) * static_cast<size_t>(channels)])
{
}

StudioResult StudioSound::Probe(const std::string& path, int mixRate, Shape* shape, std::string* error)
{
    SF_INFO info{};
    StudioResult result = STUDIO_OK;
    SNDFILE* file = OpenFile(path, &info, &result, error);
    if (!file) return result;
    sf_close(file);
    shape->channels = info.channels;
    shape->fileRate = info.samplerate;
    shape->frames = static_cast<int64_t>(std::ceil(static_cast<double>(info.frames) * mixRate / info.samplerate));
    if (shape->frames > kMaxMixSeconds * mixRate) {
        *error = "lasts longer than the limit of " + std::to_string(kMaxMixSeconds / 60) + " minutes";
        return STUDIO_ERR_FILE_BAD;
    }
    return STUDIO_OK;
}

std::shared_ptr<StudioSound> StudioSound::Create(const std::string& path, const Shape& shape)
{
    return std::shared_ptr<StudioSound>(new StudioSound(path, shape));
}

void StudioSound::WaitFor(int64_t count) const
{
    count = std::min(count, frames);
    for (int64_t ready = Ready(); ready < count; ready = Ready()) ready_.wait(ready, std::memory_order_acquire);
}

void StudioSound::Publish(int64_t count)
{
    ready_.fetch_add(count, std::memory_order_release);
    ready_.notify_all();
}

} // namespace volleyrun
