#include "jsonfile.h"

#include "filecheck.h"
#include "outputfile.h"

#include <rapidjson/error/en.h>

#include <filesystem>
#include <fstream>
#include <iterator>

JsonFile::ReadResult JsonFile::Read(const std::string& path, rapidjson::Document& document, std::string* error)
{
    // A folder, FIFO or device is never read: it would fail obscurely, hang or never end.
    if (std::string problem = FileCheck::NotRegular(path); !problem.empty()) {
        if (error) *error = problem;
        return ReadResult::kUnopenable;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return ReadResult::kUnopenable;
    std::error_code sizeError;
    if (std::filesystem::file_size(path, sizeError) > kMaxBytes && !sizeError) {
        if (error) *error = "larger than the limit of " + std::to_string(kMaxBytes >> 20) + " MiB";
        return ReadResult::kUnparsable;
    }
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
    OutputFile::WriteWhole(path, text, OutputFile::Kind::kContent);
}

bool JsonFile::IsSafeFileName(const std::string& name)
{
    return !name.empty() && name.find_first_of("/\\") == std::string::npos && name.find("..") == std::string::npos;
}
