// OutputFile: one file being written by the game: a saved space or archetype, or a run
// output (the --dump file, a screenshot, the --audio-out mix). A regular file is written
// to a hidden temporary beside it, created exclusively and never through a link, and
// renamed into place by Commit, so a failed write leaves the old file as it was. Every
// write, sync and close is checked; a failure throws GameError naming the file and why.
// Used on the game thread, and by the WAV writer on the mixing thread (one writer each).
#pragma once

#include <cstddef>
#include <string>

namespace volleyrun {

class OutputFile {
public:
    enum class Kind {
        kContent,    // a content file: a link or anything but a regular file is refused
        kRunOutput,  // named by the user: a device, FIFO or link is written in place
    };

    // Opens the file (or its temporary) for writing; throws GameError when it cannot.
    OutputFile(const std::string& path, Kind kind);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // without Commit, the temporary goes and the old file stays

    int Descriptor() const { return fd_; }
    void Write(const void* data, size_t size);
    // Syncs and closes the file and renames the temporary into place.
    void Commit();

    // The whole text in one go: opened, written and committed.
    static void WriteWhole(const std::string& path, const std::string& text, Kind kind);

private:
    [[noreturn]] void Fail(const std::string& reason) const;
    void OpenTemporary();

    std::string path_;
    std::string temporary_;  // empty when the file is written in place
    Kind kind_;
    int fd_ = -1;
};

} // namespace volleyrun
