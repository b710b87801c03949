#include "atlas.h"

#include "gameerror.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace volleyrun {

namespace {

// Walks the lines of one atlas file, counting them for error messages. Lines are read by
// position: key words are skipped by their length, never compared.
class LineReader {
public:
    LineReader(const std::string& text, const std::string& path) : path_(path)
    {
        std::istringstream stream(text);
        std::string line;
        while (std::getline(stream, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
            lines_.push_back(line);
        }
    }

    bool AtEnd() const { return next_ >= lines_.size(); }
    // The next line, or empty at the end of the file.
    const std::string& Peek() const { return AtEnd() ? empty_ : lines_[next_]; }
    const std::string& Next(const char* expected)
    {
        if (AtEnd()) FailAt(next_ + 1, std::string("the file ends where ") + expected + " was expected");
        return lines_[next_++];
    }
    // The text of the line just read from column start on.
    std::string Field(const std::string& line, size_t start, const char* what) const
    {
        if (line.size() < start) Fail(std::string("the ") + what + " line is shorter than its key");
        return line.substr(start);
    }
    // Names the line read last.
    [[noreturn]] void Fail(const std::string& problem) const { FailAt(std::max<size_t>(next_, 1), problem); }
    [[noreturn]] void FailAt(size_t line, const std::string& problem) const
    {
        throw GameError(path_ + ": line " + std::to_string(line) + ": " + problem);
    }

private:
    std::vector<std::string> lines_;
    size_t next_ = 0;
    std::string path_;
    std::string empty_;
};

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The standard conversions: leading blanks skipped, parsing stops at the first character
// that is not part of the number; no digits at all is an error here.
float ReadFloat(const LineReader& reader, const std::string& text, const char* what)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    float value = std::strtof(begin, &end);
    if (end == begin || errno == ERANGE) reader.Fail(std::string("the ") + what + " value \"" + Trimmed(text) + "\" is not a number");
    return value;
}

int32_t ReadInt(const LineReader& reader, const std::string& text, const char* what)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        reader.Fail(std::string("the ") + what + " value \"" + Trimmed(text) + "\" is not an integer");
    return static_cast<int32_t>(value);
}

// "X, Y": split at the first comma.
glm::vec2 ReadPair(const LineReader& reader, const std::string& text, const char* what)
{
    size_t comma = text.find(',');
    if (comma == std::string::npos) reader.Fail(std::string("the ") + what + " line needs two numbers separated by a comma");
    return {ReadFloat(reader, text.substr(0, comma), what), ReadFloat(reader, text.substr(comma + 1), what)};
}

AtlasFrame ReadRegion(LineReader& reader, const std::string& name, const std::string& page)
{
    AtlasFrame frame;
    frame.page = page;
    if (reader.Next("a rotate line").size() < 10) reader.Fail("the rotate line is shorter than its key");
    frame.xy = ReadPair(reader, reader.Field(reader.Next("an xy line"), 5, "xy"), "xy");
    frame.size = ReadPair(reader, reader.Field(reader.Next("a size line"), 8, "size"), "size");
    frame.orig = ReadPair(reader, reader.Field(reader.Next("an orig line"), 8, "orig"), "orig");
    frame.offset = ReadPair(reader, reader.Field(reader.Next("an offset line"), 10, "offset"), "offset");
    frame.index = ReadInt(reader, reader.Field(reader.Next("an index line"), 9, "index"), "index");
    // -1: the number is part of the region's name after its first character (f12 is 12).
    if (frame.index == -1) frame.index = ReadInt(reader, name.size() > 1 ? name.substr(1) : "", "region name index");
    return frame;
}

void ReadPage(LineReader& reader, Atlas& atlas)
{
    std::string page = reader.Next("a page name");
    atlas.size = ReadPair(reader, reader.Field(reader.Next("a size line"), 6, "size"), "size");
    for (const char* skipped : {"a format line", "a filter line", "a repeat line"}) reader.Next(skipped);
    for (std::string name = reader.AtEnd() ? "" : reader.Next("a region name"); !name.empty();
         name = reader.AtEnd() ? "" : reader.Next("a region name")) {
        atlas.frames.push_back(ReadRegion(reader, name, page));
        if (std::find(atlas.pages.begin(), atlas.pages.end(), page) == atlas.pages.end()) atlas.pages.push_back(page);
    }
}

} // namespace

Atlas Atlas::Parse(const std::string& atlasPath)
{
    std::ifstream file(atlasPath, std::ios::binary);
    if (!file) throw GameError(atlasPath + ": the atlas description cannot be opened");
    std::stringstream text;
    text << file.rdbuf();
    return ParseText(text.str(), atlasPath);
}

Atlas Atlas::ParseText(const std::string& text, const std::string& atlasPath)
{
    Atlas atlas;
    atlas.path = atlasPath;
    LineReader reader(text, atlasPath);
    reader.Next("an empty first line");
    while (!reader.Peek().empty()) ReadPage(reader, atlas);
    if (atlas.frames.empty()) throw GameError(atlasPath + ": the atlas description holds no regions");
    std::stable_sort(atlas.frames.begin(), atlas.frames.end(),
                     [](const AtlasFrame& a, const AtlasFrame& b) { return a.index < b.index; });
    return atlas;
}

} // namespace volleyrun
