#include "replay.h"

#include "filecheck.h"
#include "gameerror.h"
#include "input.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace volleyrun {

namespace {

// One line split into words, with the context every error names.
class Words {
public:
    Words(const std::string& line, const std::string& where) : where_(where)
    {
        std::istringstream stream(line);
        for (std::string word; stream >> word;) words_.push_back(word);
    }
    size_t Count() const { return words_.size(); }
    const std::string& At(size_t i) const
    {
        if (i >= words_.size()) Fail("the line ends too early");
        return words_[i];
    }
    void ExpectCount(size_t count) const
    {
        if (words_.size() != count) Fail("expected " + std::to_string(count) + " words, found " + std::to_string(words_.size()));
    }
    int64_t Integer(size_t i, int64_t low, int64_t high, const char* what) const
    {
        const std::string& word = At(i);
        int64_t value = 0;
        auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size() || value < low || value > high)
            Fail(std::string(what) + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                 ", not \"" + word + "\"");
        return value;
    }
    double Number(size_t i, double low, double high, const char* what) const
    {
        const std::string& word = At(i);
        double value = 0.0;
        auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value) || value < low || value > high)
            Fail(std::string(what) + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
                 ", not \"" + word + "\"");
        return value;
    }
    int Action(size_t i, bool allowRepeat) const
    {
        const std::string& word = At(i);
        if (word == "press") return Input::kPress;
        if (word == "release") return Input::kRelease;
        if (allowRepeat && word == "repeat") return Input::kRepeat;
        Fail("unknown action \"" + word + "\"");
    }
    // An optional last word "+<milliseconds>ms": when inside its frame the change happened.
    int64_t TakeOffset()
    {
        if (words_.empty() || words_.back().front() != '+') return 0;
        std::string word = words_.back();
        words_.pop_back();
        double ms = -1.0;
        const char* end = word.data() + word.size();
        auto [stop, error] = std::from_chars(word.data() + 1, end, ms);
        constexpr double kFrameMs = static_cast<double>(Replay::kFrameNs) / 1e6;
        if (error != std::errc() || std::string_view(stop, end) != "ms" || !(ms >= 0.0 && ms < kFrameMs))
            Fail("the offset \"" + word + "\" must lie inside its frame: +0ms up to +" + std::to_string(kFrameMs) + "ms");
        return static_cast<int64_t>(std::llround(ms * 1e6));
    }
    [[noreturn]] void Fail(const std::string& problem) const { throw GameError(where_ + ": " + problem); }

private:
    std::vector<std::string> words_;
    std::string where_;
};

Replay::Line ParsePadLine(const Words& words, Replay::Line line)
{
    line.joystick = static_cast<int>(words.Integer(2, 0, Input::kJoystickCount - 1, "the joystick"));
    const std::string& what = words.At(3);
    if (what == "connect" || what == "disconnect") {
        words.ExpectCount(4);
        line.kind = what == "connect" ? Replay::Line::kPadConnect : Replay::Line::kPadDisconnect;
    } else if (what == "button") {
        words.ExpectCount(6);
        line.kind = Replay::Line::kPadButton;
        line.code = static_cast<int>(words.Integer(4, 0, 63, "the button"));
        line.action = words.Action(5, false);
    } else if (what == "axis") {
        words.ExpectCount(6);
        line.kind = Replay::Line::kPadAxis;
        line.code = static_cast<int>(words.Integer(4, 0, 15, "the axis"));
        line.x = words.Number(5, -1.0, 1.0, "the axis value");
    } else {
        words.Fail("unknown pad change \"" + what + "\"");
    }
    return line;
}

Replay::Line ParseLine(const Words& words)
{
    Replay::Line line;
    line.frame = words.Integer(0, 1, INT64_MAX, "the frame");
    const std::string& kind = words.At(1);
    if (kind == "key") {
        words.ExpectCount(4);
        line.kind = Replay::Line::kKey;
        line.code = static_cast<int>(words.Integer(2, 32, Input::kKeyCount - 1, "the key code"));
        line.action = words.Action(3, true);
    } else if (kind == "mouse") {
        words.ExpectCount(4);
        line.kind = Replay::Line::kMouse;
        line.code = static_cast<int>(words.Integer(2, 0, 7, "the mouse button"));
        line.action = words.Action(3, false);
    } else if (kind == "cursor") {
        words.ExpectCount(4);
        line.kind = Replay::Line::kCursor;
        line.x = words.Number(2, -1e6, 1e6, "the cursor x");
        line.y = words.Number(3, -1e6, 1e6, "the cursor y");
    } else if (kind == "pad") {
        line = ParsePadLine(words, line);
    } else {
        words.Fail("unknown input kind \"" + kind + "\"");
    }
    return line;
}

} // namespace

Replay Replay::Load(const std::string& path)
{
    if (std::string problem = FileCheck::NotRegular(path); !problem.empty())
        throw GameError(path + ": the replay file " + problem);
    std::ifstream file(path, std::ios::binary);
    if (!file) throw GameError(path + ": the replay file cannot be opened");
    std::error_code error;
    if (std::filesystem::file_size(path, error) > kMaxBytes && !error)
        throw GameError(path + ": the replay file is larger than the limit of " + std::to_string(kMaxBytes >> 20) + " MiB");
    std::stringstream text;
    text << file.rdbuf();
    return Parse(text.str(), path);
}

Replay Replay::Parse(const std::string& text, const std::string& path)
{
    Replay replay;
    std::istringstream stream(text);
    std::string raw;
    for (int number = 1; std::getline(stream, raw); ++number) {
        if (raw.size() > kMaxLineLength)
            throw GameError(path + ": line " + std::to_string(number) + " is longer than the limit of " +
                            std::to_string(kMaxLineLength) + " characters");
        std::string line = raw.substr(0, raw.find('#'));
        Words words(line, path + ": line " + std::to_string(number));
        if (words.Count() == 0) continue;
        int64_t offset = words.TakeOffset();
        Line parsed = ParseLine(words);
        parsed.offsetNs = offset;
        bool pad = parsed.kind >= Line::kPadConnect;
        (pad ? replay.pads_ : replay.events_).push_back(parsed);
    }
    // Lines need not be written in frame order; within a frame, file order stands.
    auto byFrame = [](const Line& a, const Line& b) { return a.frame < b.frame; };
    std::stable_sort(replay.events_.begin(), replay.events_.end(), byFrame);
    std::stable_sort(replay.pads_.begin(), replay.pads_.end(), byFrame);
    return replay;
}

} // namespace volleyrun
