#include "settingsfile.h"

#include "gameerror.h"
#include "jsonfile.h"
#include "outputfile.h"
#include "property.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace volleyrun {

namespace {

using Lines = std::vector<std::string>;

struct Flag {
    const char* name;
    bool GameSettings::*member;
};
struct Number {
    const char* name;
    int32_t GameSettings::*member;
    int32_t low, high;  // the range of the option's slider
};
struct Offset {
    const char* name;
    float GameSettings::*member;
};

const Flag kFlags[] = {
    {"aButtonEnabled", &GameSettings::aButtonEnabled},
    {"bButtonEnabled", &GameSettings::bButtonEnabled},
    {"xButtonEnabled", &GameSettings::xButtonEnabled},
    {"yButtonEnabled", &GameSettings::yButtonEnabled},
    {"eventsEnabled", &GameSettings::eventsEnabled},
    {"rainbowBallEnabled", &GameSettings::rainbowBallEnabled},
    {"alternatingBallEnabled", &GameSettings::alternatingBallEnabled},
    {"platinumBallEnabled", &GameSettings::platinumBallEnabled},
    {"fullScreen", &GameSettings::fullScreen},
};
const Number kNumbers[] = {
    {"eventsPerGame", &GameSettings::eventsPerGame, 0, 6},
    {"eventLength", &GameSettings::eventLength, 32, 256},
    {"eventBallSpawn", &GameSettings::eventBallSpawn, 0, 6},
    {"ballSpawnRate", &GameSettings::ballSpawnRate, 1, 6},
    {"masterVolumePercent", &GameSettings::masterVolumePercent, 0, 100},
};
const Offset kOffsets[] = {
    {"audioOffsetMs", &GameSettings::audioOffsetMs},
    {"visualOffsetMs", &GameSettings::visualOffsetMs},
};
const char* const kVersion = "version";
const char* const kInputOffsets = "inputOffsetMs";
const char* const kBindings = "bindings";

// A number as a player would write it: no trailing zeros.
std::string Shown(double value)
{
    std::string shown = std::to_string(value);
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.') shown.pop_back();
    return shown;
}

std::string Range(double low, double high)
{
    return Shown(low) + " to " + Shown(high);
}

// One offset in milliseconds; a bad one leaves target alone and adds its line.
void ReadOffset(const rapidjson::Value& value, const std::string& name, float& target, Lines& lines)
{
    float limit = GameSettings::kMaxOffsetMs;
    if (!value.IsNumber() || !std::isfinite(value.GetDouble()) || std::fabs(value.GetDouble()) > limit)
        lines.push_back(name + " is not a number of milliseconds from " + Range(-limit, limit) + "; using " +
                        Shown(target));
    else target = static_cast<float>(value.GetDouble());
}

void ReadInputOffsets(const rapidjson::Value& value, GameSettings& settings, Lines& lines)
{
    if (!value.IsArray() || value.Size() != 2) {
        lines.push_back(std::string(kInputOffsets) + " is not two players' [keyboard, pad] offsets; using 0");
        return;
    }
    for (rapidjson::SizeType p = 0; p < 2; ++p) {
        const rapidjson::Value& player = value[p];
        for (rapidjson::SizeType device = 0; device < 2; ++device) {
            std::string name = std::string(kInputOffsets) + "[" + std::to_string(p) + "][" + std::to_string(device) + "]";
            if (!player.IsArray() || player.Size() != 2) lines.push_back(name + " is missing; using 0");
            else ReadOffset(player[device], name, settings.inputOffsetMs[p][device], lines);
        }
    }
}

template <size_t N>
bool ReadCodes(const rapidjson::Value& player, const char* name, std::array<int32_t, N>& codes)
{
    auto member = player.FindMember(name);
    if (member == player.MemberEnd() || !member->value.IsArray() || member->value.Size() != N) return false;
    for (rapidjson::SizeType i = 0; i < N; ++i) {
        if (!member->value[i].IsInt()) return false;
        codes[i] = member->value[i].GetInt();
    }
    return true;
}

// The bindings are taken whole or not at all: half of a new layout could clash with the
// other half of the default one.
void ReadBindings(const rapidjson::Value& value, GameSettings& settings, Lines& lines)
{
    GameSettings read = settings;
    bool shaped = value.IsArray() && value.Size() == 2;
    for (rapidjson::SizeType p = 0; shaped && p < 2; ++p) {
        GameSettings::Bindings& player = read.bindings[p];
        shaped = value[p].IsObject() && ReadCodes(value[p], "letterKeys", player.letterKeys) &&
                 ReadCodes(value[p], "spotKeys", player.spotKeys) &&
                 ReadCodes(value[p], "letterButtons", player.letterButtons);
    }
    if (!shaped) lines.push_back(std::string(kBindings) + " are not two players' letterKeys (4), spotKeys (3) and "
                                 "letterButtons (4); using the default keys");
    else if (!read.BindingsValid())
        lines.push_back(std::string(kBindings) + " bind a key twice or a key kept for the menus; using the default keys");
    else settings.bindings = read.bindings;
}

bool ReadMember(const std::string& name, const rapidjson::Value& value, GameSettings& settings, Lines& lines)
{
    for (const Flag& flag : kFlags) {
        if (name != flag.name) continue;
        bool& target = settings.*flag.member;
        if (value.IsBool()) target = value.GetBool();
        else lines.push_back(name + " is not true or false; using " + (target ? "true" : "false"));
        return true;
    }
    for (const Number& number : kNumbers) {
        if (name != number.name) continue;
        int32_t& target = settings.*number.member;
        if (value.IsInt() && value.GetInt() >= number.low && value.GetInt() <= number.high) target = value.GetInt();
        else lines.push_back(name + " is not a whole number from " + Range(number.low, number.high) + "; using " +
                             std::to_string(target));
        return true;
    }
    for (const Offset& offset : kOffsets) {
        if (name != offset.name) continue;
        ReadOffset(value, name, settings.*offset.member, lines);
        return true;
    }
    if (name == kInputOffsets) ReadInputOffsets(value, settings, lines);
    else if (name == kBindings) ReadBindings(value, settings, lines);
    return name == kInputOffsets || name == kBindings || name == kVersion;
}

template <size_t N>
void WriteCodes(JsonWriter& writer, const char* name,
                const std::array<int32_t, N>& codes)
{
    writer.Key(name);
    writer.SetFormatOptions(rapidjson::kFormatSingleLineArray);
    writer.StartArray();
    for (int32_t code : codes) writer.Int(code);
    writer.EndArray();
}

} // namespace

std::vector<std::string> SettingsFile::FromJson(const rapidjson::Value& document, GameSettings& settings)
{
    Lines lines;
    if (!document.IsObject()) return {"the file is not a JSON object; every option keeps its default"};
    for (const auto& member : document.GetObject()) {
        std::string name = member.name.GetString();
        if (!ReadMember(name, member.value, settings, lines)) lines.push_back("unknown option " + name + " is left out");
    }
    return lines;
}

std::string SettingsFile::ToJson(const GameSettings& settings)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.SetIndent(' ', 2);
    writer.StartObject();
    writer.Key(kVersion);
    writer.Int(1);
    for (const Flag& flag : kFlags) {
        writer.Key(flag.name);
        writer.Bool(settings.*flag.member);
    }
    for (const Number& number : kNumbers) {
        writer.Key(number.name);
        writer.Int(settings.*number.member);
    }
    for (const Offset& offset : kOffsets) {
        writer.Key(offset.name);
        writer.Double(ShortestDouble(settings.*offset.member));
    }
    writer.Key(kInputOffsets);
    writer.StartArray();
    for (const auto& player : settings.inputOffsetMs) {
        writer.SetFormatOptions(rapidjson::kFormatSingleLineArray);
        writer.StartArray();
        for (float offset : player) writer.Double(ShortestDouble(offset));
        writer.EndArray();
    }
    writer.EndArray();
    writer.SetFormatOptions(rapidjson::kFormatDefault);
    writer.Key(kBindings);
    writer.StartArray();
    for (const GameSettings::Bindings& player : settings.bindings) {
        writer.SetFormatOptions(rapidjson::kFormatDefault);
        writer.StartObject();
        WriteCodes(writer, "letterKeys", player.letterKeys);
        WriteCodes(writer, "spotKeys", player.spotKeys);
        WriteCodes(writer, "letterButtons", player.letterButtons);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString()) + "\n";
}

std::vector<std::string> SettingsFile::Load(GameSettings& settings)
{
    if (path_.empty()) return {};
    std::error_code missing;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path_, missing))) {
        saved_ = settings;  // nothing on disk yet: the first change writes the file
        return {};
    }
    rapidjson::Document document;
    std::string error;
    Lines lines;
    switch (JsonFile::Read(path_, document, &error)) {
    case JsonFile::ReadResult::kOk: lines = FromJson(document, settings); break;
    case JsonFile::ReadResult::kUnopenable:
        lines = {"cannot be read (" + (error.empty() ? std::string("it does not open") : error) +
                 "); every option keeps its default"};
        break;
    case JsonFile::ReadResult::kUnparsable: lines = {"is not JSON (" + error + "); every option keeps its default"}; break;
    }
    for (std::string& line : lines) line = "Settings " + path_ + ": " + line;
    if (lines.empty()) {
        saved_ = settings;
        return lines;
    }
    return KeepAside(settings, std::move(lines));
}

// The bad file goes to FILE.bad, and what was understood of it is saved in its place.
std::vector<std::string> SettingsFile::KeepAside(GameSettings& settings, std::vector<std::string> lines)
{
    std::string aside = path_ + ".bad";
    std::error_code error;
    std::filesystem::rename(path_, aside, error);
    if (error) {
        lines.push_back("Settings " + path_ + ": could not be kept aside as " + aside + " (" + error.message() +
                        "); it stays as it is until an option changes");
        saved_ = settings;  // not overwritten at start: the player may still want it back
        return lines;
    }
    lines.push_back("Settings " + path_ + ": kept aside as " + aside);
    saved_.reset();
    if (std::optional<std::string> failure = SaveIfChanged(settings)) lines.push_back(*failure);
    return lines;
}

std::optional<std::string> SettingsFile::SaveIfChanged(const GameSettings& settings)
{
    if (path_.empty() || (saved_ && *saved_ == settings)) return std::nullopt;
    saved_ = settings;
    try {
        std::filesystem::path folder = std::filesystem::path(path_).parent_path();
        std::error_code ignored;  // a folder that cannot be made fails the write, which says why
        if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
        OutputFile::WriteWhole(path_, ToJson(settings), OutputFile::Kind::kRunOutput);
    } catch (const GameError& error) {
        return std::string("Settings not saved: ") + error.what();
    }
    return std::nullopt;
}

} // namespace volleyrun
