#include "jsonfile.h"

#include "gameerror.h"

#include <rapidjson/error/en.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

JsonFile::ReadResult JsonFile::Read(const std::string& path, rapidjson::Document& document, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return ReadResult::kUnopenable;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return ReadResult::kUnopenable;
    // Iterative: nesting costs heap, not stack, so a file of a million nested arrays
    // reaches the reader (which refuses it) instead of overflowing the stack. Normal
    // precision: the library's full-precision conversion (version 1.1) misreads zeros
    // written with an exponent ("0e38" came back as about 1e227) and reads past its power
    // table on long mantissas near the top of the range.
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag;
    document.Parse<kFlags>(text.c_str(), text.size());
    if (!document.HasParseError()) return ReadResult::kOk;
    if (error)
        *error = std::string(rapidjson::GetParseError_En(document.GetParseError())) + " at offset " +
                 std::to_string(document.GetErrorOffset());
    return ReadResult::kUnparsable;
}

void JsonFile::WriteAtomically(const std::string& path, const std::string& text)
{
    // Hidden, so that a folder scan never takes a half-written temporary for content.
    std::filesystem::path target(path);
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".saving")).string();
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) throw GameError("Could not save " + path + ": " + std::strerror(errno));
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fflush(file) == 0 && written;
    written = fsync(fileno(file)) == 0 && written;
    int savedErrno = errno;
    written = std::fclose(file) == 0 && written;
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return;
    if (written) savedErrno = errno;
    std::remove(temporary.c_str());
    throw GameError("Could not save " + path + ": " + std::strerror(savedErrno));
}

bool JsonFile::IsSafeFileName(const std::string& name)
{
    return !name.empty() && name.find_first_of("/\\") == std::string::npos && name.find("..") == std::string::npos;
}
