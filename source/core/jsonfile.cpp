#include "jsonfile.h"

#include "filecheck.h"
#include "outputfile.h"

#include <rapidjson/error/en.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <fstream>
#include <iterator>

namespace volleyrun {

namespace {

// Builds the document like its own handler, but converts each number from its text with the
// C library (correctly rounded); integers stay integers. A number beyond double is refused.
struct ExactNumbers {
    rapidjson::Document& d;
    bool Null() { return d.Null(); }
    bool Bool(bool b) { return d.Bool(b); }
    bool Int(int i) { return d.Int(i); }
    bool Uint(unsigned u) { return d.Uint(u); }
    bool Int64(int64_t i) { return d.Int64(i); }
    bool Uint64(uint64_t u) { return d.Uint64(u); }
    bool Double(double x) { return d.Double(x); }
    bool String(const char* s, rapidjson::SizeType n, bool copy) { return d.String(s, n, copy); }
    bool StartObject() { return d.StartObject(); }
    bool Key(const char* s, rapidjson::SizeType n, bool copy) { return d.Key(s, n, copy); }
    bool EndObject(rapidjson::SizeType n) { return d.EndObject(n); }
    bool StartArray() { return d.StartArray(); }
    bool EndArray(rapidjson::SizeType n) { return d.EndArray(n); }
    bool RawNumber(const char* s, rapidjson::SizeType n, bool)
    {
        const char* end = s + n;
        if (std::string_view(s, n).find_first_of(".eE") == std::string_view::npos) {
            int64_t whole = 0;
            if (std::from_chars(s, end, whole).ptr == end) return d.Int64(whole);
            uint64_t positive = 0;
            if (std::from_chars(s, end, positive).ptr == end) return d.Uint64(positive);
        }
        double value = std::strtod(std::string(s, n).c_str(), nullptr);
        return std::isfinite(value) && d.Double(value);
    }
};

} // namespace

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
    // reaches the reader (which refuses it) instead of overflowing the stack. Numbers come
    // as their text and are converted by the C library, exactly: the library's own normal
    // conversion is a unit in the last place off for some short numbers ("0.02414"), and
    // its full-precision one misreads zeros with an exponent and long mantissas.
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
    rapidjson::StringStream stream(text.c_str());
    rapidjson::ParseResult parsed;
    auto generate = [&](rapidjson::Document& target) {
        ExactNumbers handler{target};
        rapidjson::Reader reader;
        parsed = reader.Parse<kFlags>(stream, handler);
        return !parsed.IsError();
    };
    document.Populate(generate);
    if (!parsed.IsError()) return ReadResult::kOk;
    if (error)
        *error = std::string(rapidjson::GetParseError_En(parsed.Code())) + " at offset " + std::to_string(parsed.Offset());
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

} // namespace volleyrun
