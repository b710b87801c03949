#include "studiosound.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

// An hour at 192 kHz: longer files are refused before memory is reserved for them.
constexpr sf_count_t kMaxFrames = 192000LL * 3600;

SNDFILE* OpenFile(const std::string& path, SF_INFO* info, StudioResult* result, std::string* error)
{
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
