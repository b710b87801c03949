#include "studiowavwriter.h"

#include "gameerror.h"

#include <sndfile.h>

#include <mutex>
#include <utility>

namespace volleyrun {

namespace {
std::mutex failureLock;
std::string failure;  // under failureLock
} // namespace

StudioWavWriter::~StudioWavWriter()
{
    Close();
}

bool StudioWavWriter::Open(const std::string& path, int sampleRate, std::string* error)
{
    Close();
    try {
        output_ = std::make_unique<OutputFile>(path, OutputFile::Kind::kRunOutput);
    } catch (const GameError& problem) {
        *error = problem.what();
        return false;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    file_ = sf_open_fd(output_->Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!file_) {
        *error = "cannot write " + path + ": " + sf_strerror(nullptr);
        output_.reset();
        return false;
    }
    // Loud peaks are clipped rather than wrapped round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    path_ = path;
    frames_ = 0;
    return true;
}

void StudioWavWriter::Write(const float* stereo, unsigned frames)
{
    if (!file_) return;
    sf_count_t written = sf_writef_float(file_, stereo, frames);
    frames_ += written;
    if (written != static_cast<sf_count_t>(frames)) Fail("Could not write " + path_ + ": " + sf_strerror(file_));
}

// The temporary is dropped and the old file kept; the first failure is the one reported.
void StudioWavWriter::Fail(const std::string& reason)
{
    if (file_) sf_close(file_);
    file_ = nullptr;
    output_.reset();
    std::lock_guard guard(failureLock);
    if (failure.empty()) failure = reason;
}

void StudioWavWriter::Close()
{
    if (!file_) return;
    // Closing writes the header's final lengths.
    int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0) return Fail("Could not write " + path_ + ": " + sf_error_number(status));
    try {
        output_->Commit();
        output_.reset();
    } catch (const GameError& problem) {
        Fail(problem.what());
    }
}

std::string StudioWavWriter::TakeFailure()
{
    std::lock_guard guard(failureLock);
    return std::exchange(failure, std::string());
}

} // namespace volleyrun
