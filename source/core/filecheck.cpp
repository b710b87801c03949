#include "filecheck.h"

#include "gameerror.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>

namespace volleyrun {

std::string FileCheck::NotRegular(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return "";
    if (S_ISDIR(status.st_mode)) return "is a folder, not a file";
    if (S_ISFIFO(status.st_mode)) return "is a FIFO, not a file";
    return "is a device or other special file, not a regular file";
}

bool FileCheck::Inside(const std::string& root, const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = fs::weakly_canonical(root, error);
    if (error) return false;
    fs::path full = fs::weakly_canonical(path, error);
    if (error) return false;
    auto [rootEnd, fullAt] = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
    // weakly_canonical keeps a trailing empty element for a root given with a final slash.
    return rootEnd == base.end() || (std::next(rootEnd) == base.end() && rootEnd->empty());
}

void FileCheck::RequireInside(const std::string& root, const std::string& path, const std::string& what)
{
    if (!Inside(root, path)) throw GameError(path + ": " + what + " leads outside the content folder " + root);
}

} // namespace volleyrun
