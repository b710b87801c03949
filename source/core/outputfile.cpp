#include "outputfile.h"

#include "gameerror.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace volleyrun {

OutputFile::OutputFile(const std::string& path, Kind kind) : path_(path), kind_(kind)
{
    if (path.empty()) Fail("no file name");
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || S_ISREG(link.st_mode)) {
        OpenTemporary();
        return;
    }
    if (kind == Kind::kContent)
        Fail(S_ISLNK(link.st_mode) ? "it is a symbolic link, and a save never writes through one"
                                   : "it is not a regular file");
    // Whatever the user named that is no plain file (a device, a FIFO, a link) is kept and
    // written as it stands: "--dump /dev/null" must not put a file in the device's place.
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) Fail(std::strerror(errno));
}

// Hidden, so that a folder scan never takes a half-written temporary for content. A file
// already there under that name (left by a crash, or planted) is unlinked, never followed.
void OutputFile::OpenTemporary()
{
    std::filesystem::path target(path_);
    temporary_ = (target.parent_path() / ("." + target.filename().string() + ".saving")).string();
    if (unlink(temporary_.c_str()) != 0 && errno != ENOENT) Fail(temporary_ + ": " + std::strerror(errno));
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        int error = errno;
        temporary_.clear();  // not ours: never removed
        Fail(std::strerror(error));
    }
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0) close(fd_);
    if (!temporary_.empty()) unlink(temporary_.c_str());
}

void OutputFile::Fail(const std::string& reason) const
{
    throw GameError((kind_ == Kind::kContent ? "Could not save " : "Could not write ") + path_ + ": " + reason);
}

void OutputFile::Write(const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(fd_, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Fail(written < 0 ? std::strerror(errno) : "nothing could be written");
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

void OutputFile::Commit()
{
    struct stat status {};
    // Devices and FIFOs cannot be synced; a regular file must reach the disk before the rename.
    if (fstat(fd_, &status) != 0 || (S_ISREG(status.st_mode) && fsync(fd_) != 0)) Fail(std::strerror(errno));
    int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) Fail(std::strerror(errno));
    if (temporary_.empty()) return;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) Fail(std::strerror(errno));
    temporary_.clear();
}

void OutputFile::WriteWhole(const std::string& path, const std::string& text, Kind kind)
{
    OutputFile file(path, kind);
    file.Write(text.data(), text.size());
    file.Commit();
}

} // namespace volleyrun
