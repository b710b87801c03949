#include "studiosounddecoder.h"

#include "studiosound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace volleyrun {

StudioSoundDecoder::StudioSoundDecoder(std::shared_ptr<StudioSound> sound, int mixRate)
    : sound_(std::move(sound)), ratio_(static_cast<double>(mixRate) / sound_->fileRate)
{
}

StudioSoundDecoder::~StudioSoundDecoder()
{
    if (file_) sf_close(file_);
    if (resampler_) src_delete(resampler_);
}

bool StudioSoundDecoder::Fail(const std::string& reason, std::string* error)
{
    *error = reason;
    FinishWithSilence();
    return false;
}

long StudioSoundDecoder::Write(const float* data, long count)
{
    long room = static_cast<long>(sound_->frames - sound_->Ready());
    count = std::min(count, room);
    std::copy(data, data + count * sound_->channels, sound_->Writable());
    sound_->Publish(count);
    return count;
}

// A float file may hold NaN or infinite samples, which would fill the mix with full-scale
// noise. They become silence, said once per sound. The trace belongs to the game thread,
// so the line goes straight to standard output, whole in one call.
void StudioSoundDecoder::SilenceNonFinite(size_t count)
{
    bool found = false;
    for (size_t i = 0; i < count; ++i) {
        if (std::isfinite(input_[i])) continue;
        input_[i] = 0.0f;
        found = true;
    }
    if (!found || reportedNonFinite_) return;
    reportedNonFinite_ = true;
    std::string line = sound_->path + ": samples that are not finite numbers are played as silence\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

void StudioSoundDecoder::FinishWithSilence()
{
    int64_t rest = sound_->frames - sound_->Ready();
    std::fill(sound_->Writable(), sound_->Writable() + rest * sound_->channels, 0.0f);
    sound_->Publish(rest);
}

bool StudioSoundDecoder::Step(long frames, std::string* error)
{
    if (sound_->Complete()) return false;
    const int channels = sound_->channels;
    if (!opened_) {
        opened_ = true;
        SF_INFO info{};
        file_ = sf_open(sound_->path.c_str(), SFM_READ, &info);
        if (!file_) return Fail(std::string("cannot be decoded: ") + sf_strerror(nullptr), error);
        if (info.channels != channels) return Fail("changed while it was being read", error);
        if (ratio_ != 1.0) {
            int status = 0;
            resampler_ = src_new(SRC_SINC_MEDIUM_QUALITY, channels, &status);
            if (!resampler_) return Fail(std::string("cannot be resampled: ") + src_strerror(status), error);
        }
    }
    input_.resize(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    sf_count_t read = sf_readf_float(file_, input_.data(), frames);
    if (read < 0) return Fail("cannot be decoded", error);
    SilenceNonFinite(static_cast<size_t>(read) * static_cast<size_t>(channels));
    bool last = read < frames;
    if (!resampler_) {
        Write(input_.data(), static_cast<long>(read));
    } else {
        output_.resize(static_cast<size_t>(std::ceil(static_cast<double>(frames) * ratio_) + 64) * channels);
        SRC_DATA data{};
        data.data_in = input_.data();
        data.input_frames = static_cast<long>(read);
        data.src_ratio = ratio_;
        data.end_of_input = last ? 1 : 0;
        // The resampler keeps a little input back; with end_of_input it drains in turns.
        do {
            data.data_out = output_.data();
            data.output_frames = static_cast<long>(output_.size()) / channels;
            int status = src_process(resampler_, &data);
            if (status != 0) return Fail(std::string("cannot be resampled: ") + src_strerror(status), error);
            Write(output_.data(), data.output_frames_gen);
            data.data_in += data.input_frames_used * channels;
            data.input_frames -= data.input_frames_used;
        } while (data.output_frames_gen > 0 && (data.input_frames > 0 || last));
    }
    // The header's length rules: a file that ends early is padded, a longer one clipped.
    if (last || sound_->Ready() == sound_->frames) FinishWithSilence();
    return !sound_->Complete();
}

} // namespace volleyrun
