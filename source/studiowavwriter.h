// StudioWavWriter: writes the final stereo mix to a 16-bit WAV file (the --audio-out
// option). The output driver opens it once and writes each block it mixes, from whichever
// thread mixes; the file is complete once the writer is closed or destroyed.
#pragma once

#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

class StudioWavWriter {
public:
    StudioWavWriter() = default;
    StudioWavWriter(const StudioWavWriter&) = delete;
    StudioWavWriter& operator=(const StudioWavWriter&) = delete;
    ~StudioWavWriter();

    // False (with error set) when the file cannot be created.
    bool Open(const std::string& path, int sampleRate, std::string* error);
    void Write(const float* stereo, unsigned frames);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    int64_t FramesWritten() const { return frames_; }

private:
    SNDFILE* file_ = nullptr;
    int64_t frames_ = 0;
};
