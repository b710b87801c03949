#include "studiowavwriter.h"

#include <sndfile.h>

StudioWavWriter::~StudioWavWriter()
{
    Close();
}

bool StudioWavWriter::Open(const std::string& path, int sampleRate, std::string* error)
{
    Close();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file_) {
        *error = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Loud peaks are clipped rather than wrapped round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    frames_ = 0;
    return true;
}

void StudioWavWriter::Write(const float* stereo, unsigned frames)
{
    if (!file_) return;
    frames_ += sf_writef_float(file_, stereo, frames);
}

void StudioWavWriter::Close()
{
    if (!file_) return;
    sf_close(file_);
    file_ = nullptr;
}
