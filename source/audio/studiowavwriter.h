// StudioWavWriter: writes the final stereo mix to a 16-bit WAV file (the --audio-out
// option). The output driver opens it once and writes each block it mixes, from whichever
// thread mixes; the file is complete once the writer is closed or destroyed. A write that
// fails (a full disk) stops the writing and is kept as the run's output failure, which
// main() asks for once the audio is shut down: the mixing thread cannot end the run.
#pragma once

#include "outputfile.h"

#include <cstdint>
#include <memory>
#include <string>

typedef struct sf_private_tag SNDFILE;

namespace volleyrun {

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

    // The first failure of any writer since the last call ("" when none), and forgets it.
    static std::string TakeFailure();

private:
    void Fail(const std::string& reason);

    std::unique_ptr<OutputFile> output_;
    std::string path_;
    SNDFILE* file_ = nullptr;
    int64_t frames_ = 0;
};

} // namespace volleyrun
