#include "studiobankparser.h"

#include "filecheck.h"
#include "studioeventdescription.h"
#include "studiosound.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace volleyrun {

namespace {

// Thrown inside the parser only; Parse turns it into Error().
struct BankProblem {
    std::string text;
    StudioResult result = STUDIO_ERR_FILE_BAD;
};

[[noreturn]] void Fail(const std::string& where, const std::string& problem)
{
    throw BankProblem{where + " " + problem};
}

const rapidjson::Value& Object(const rapidjson::Value& value, const std::string& where)
{
    if (!value.IsObject()) Fail(where, "must be an object");
    return value;
}

// Unknown members are refused: in a hand-written bank they are nearly always typos.
void OnlyMembers(const rapidjson::Value& object, const std::string& where, std::initializer_list<const char*> known)
{
    for (const auto& member : object.GetObject()) {
        std::string name = member.name.GetString();
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return name == k; }))
            Fail(where, "has an unknown member \"" + name + "\"");
    }
}

const rapidjson::Value* Find(const rapidjson::Value& object, const char* key)
{
    auto member = object.FindMember(key);
    return member == object.MemberEnd() ? nullptr : &member->value;
}

std::string Member(const std::string& where, const char* key)
{
    return where.empty() ? key : where + "." + key;
}

double Number(const rapidjson::Value& object, const char* key, const std::string& where, double fallback)
{
    const rapidjson::Value* value = Find(object, key);
    if (!value) return fallback;
    if (!value->IsNumber() || !std::isfinite(value->GetDouble())) Fail(Member(where, key), "must be a number");
    return value->GetDouble();
}

double NumberAtLeast(const rapidjson::Value& object, const char* key, const std::string& where, double fallback,
                     double minimum, bool strictly)
{
    double number = Number(object, key, where, fallback);
    if (strictly ? number <= minimum : number < minimum)
        Fail(Member(where, key), std::string("must be a number ") + (strictly ? "above " : "at least ") +
                                     std::to_string(static_cast<int>(minimum)));
    return number;
}

// Timeline positions and lengths stay within a day, and tempos within a range whose beats
// are at most a day apart and at most a thousand a second: frame counts, beat numbers and
// the millisecond positions given to the game then stay far inside their integer types,
// and one mix request never walks more than a few beats.
constexpr double kMaxSeconds = 86400.0;
constexpr double kMinTempo = 0.001;
constexpr double kMaxTempo = 60000.0;

double Seconds(const rapidjson::Value& object, const char* key, const std::string& where, double fallback,
               bool strictly)
{
    double seconds = NumberAtLeast(object, key, where, fallback, 0.0, strictly);
    if (seconds > kMaxSeconds) Fail(Member(where, key), "must be at most 86400 seconds (one day)");
    return seconds;
}

double Tempo(const rapidjson::Value& object, const std::string& where)
{
    double tempo = NumberAtLeast(object, "tempo", where, 120.0, 0.0, true);
    if (tempo < kMinTempo || tempo > kMaxTempo) Fail(Member(where, "tempo"), "must be from 0.001 to 60000 beats per minute");
    return tempo;
}

std::string Text(const rapidjson::Value& object, const char* key, const std::string& where)
{
    const rapidjson::Value* value = Find(object, key);
    if (!value) Fail(where, std::string("needs the member \"") + key + "\"");
    if (!value->IsString() || value->GetStringLength() == 0) Fail(Member(where, key), "must be a non-empty string");
    return value->GetString();
}

const rapidjson::Value* Array(const rapidjson::Value& object, const char* key, const std::string& where, bool required)
{
    const rapidjson::Value* value = Find(object, key);
    if (!value && required) Fail(where, std::string("needs the member \"") + key + "\"");
    if (value && !value->IsArray()) Fail(Member(where, key), "must be an array");
    return value;
}

std::string Index(const std::string& where, rapidjson::SizeType i)
{
    return where + "[" + std::to_string(i) + "]";
}

} // namespace

StudioBankParser::StudioBankParser(std::string soundFolder, int mixRate)
    : soundFolder_(std::move(soundFolder)), mixRate_(mixRate)
{
}

int64_t StudioBankParser::Frames(double seconds) const
{
    return std::llround(seconds * mixRate_);
}

bool StudioBankParser::Parse(const rapidjson::Value& root, std::vector<std::unique_ptr<StudioEventDescription>>* events)
{
    try {
        if (!root.IsObject()) Fail("the document", "must be an object");
        OnlyMembers(root, "the document", {"version", "events"});
        const rapidjson::Value* version = Find(root, "version");
        if (!version) Fail("the document", "needs the member \"version\"");
        if (!version->IsInt() || version->GetInt() != 1) Fail("version", "must be 1");
        const rapidjson::Value* list = Array(root, "events", "the document", true);
        for (rapidjson::SizeType i = 0; i < list->Size(); ++i) {
            auto event = std::make_unique<StudioEventDescription>();
            event->sampleRate = mixRate_;
            ParseEvent((*list)[i], Index("events", i), event.get());
            for (const auto& other : *events)
                if (other->path == event->path) Fail(Index("events", i), "repeats the path \"" + event->path + "\"");
            events->push_back(std::move(event));
        }
        return true;
    } catch (const BankProblem& problem) {
        error_ = problem.text;
        result_ = problem.result;
        events->clear();
        return false;
    }
}

void StudioBankParser::ParseEvent(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event)
{
    Object(object, where);
    OnlyMembers(object, where, {"path", "oneShot", "tempo", "timeSignature", "firstDownbeat", "length", "loop",
                                "markers", "parameters", "tracks"});
    event->path = Text(object, "path", where);
    if (event->path.rfind("event:/", 0) != 0 || event->path.size() <= 7)
        Fail(Member(where, "path"), "must start with \"event:/\" and name an event");
    ParseParameters(object, where, event);
    ParseTracks(object, where, event);
    ParseTiming(object, where, event);
    ParseLoop(object, where, event);
    ParseMarkers(object, where, event);
}

void StudioBankParser::ParseTiming(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event)
{
    event->tempo = Tempo(object, where);
    if (const rapidjson::Value* signature = Find(object, "timeSignature")) {
        static const int kUnits[] = {1, 2, 4, 8, 16, 32};
        if (!signature->IsArray() || signature->Size() != 2 || !(*signature)[0].IsInt() || !(*signature)[1].IsInt() ||
            (*signature)[0].GetInt() < 1 || (*signature)[0].GetInt() > 32 ||
            std::find(std::begin(kUnits), std::end(kUnits), (*signature)[1].GetInt()) == std::end(kUnits))
            Fail(Member(where, "timeSignature"), "must be [beats per bar 1 to 32, beat unit 1, 2, 4, 8, 16 or 32]");
        event->beatsPerBar = (*signature)[0].GetInt();
        event->beatUnit = (*signature)[1].GetInt();
    }
    event->firstDownbeat = Seconds(object, "firstDownbeat", where, 0.0, false);
    int64_t tracksEnd = 0;
    for (const auto& track : event->tracks) tracksEnd = std::max(tracksEnd, track.startFrame + track.shape.frames);
    event->length = Find(object, "length") ? Frames(Seconds(object, "length", where, 0.0, true)) : tracksEnd;
}

void StudioBankParser::ParseLoop(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event)
{
    const rapidjson::Value* loop = Find(object, "loop");
    const rapidjson::Value* oneShot = Find(object, "oneShot");
    if (oneShot && !oneShot->IsBool()) Fail(Member(where, "oneShot"), "must be true or false");
    event->oneShot = oneShot ? oneShot->GetBool() : loop == nullptr;
    if (!loop) return;
    std::string at = Member(where, "loop");
    if (event->oneShot) Fail(at, "is not allowed on a one-shot event");
    Object(*loop, at);
    OnlyMembers(*loop, at, {"start", "end"});
    if (!Find(*loop, "start") || !Find(*loop, "end")) Fail(at, "needs \"start\" and \"end\"");
    event->loopStart = Frames(Seconds(*loop, "start", at, 0.0, false));
    event->loopEnd = Frames(Seconds(*loop, "end", at, 0.0, false));
    if (event->loopEnd <= event->loopStart || event->loopEnd > event->length)
        Fail(at, "must satisfy 0 <= start < end <= the event's length");
}

void StudioBankParser::ParseMarkers(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event)
{
    const rapidjson::Value* list = Array(object, "markers", where, false);
    if (!list) return;
    for (rapidjson::SizeType i = 0; i < list->Size(); ++i) {
        std::string at = Index(Member(where, "markers"), i);
        Object((*list)[i], at);
        OnlyMembers((*list)[i], at, {"name", "position"});
        if (!Find((*list)[i], "position")) Fail(at, "needs the member \"position\"");
        event->markers.push_back({Text((*list)[i], "name", at), Frames(Seconds((*list)[i], "position", at, 0.0, false))});
    }
}

void StudioBankParser::ParseParameters(const rapidjson::Value& object, const std::string& where,
                                       StudioEventDescription* event)
{
    const rapidjson::Value* list = Array(object, "parameters", where, false);
    if (!list) return;
    for (rapidjson::SizeType i = 0; i < list->Size(); ++i) {
        std::string at = Index(Member(where, "parameters"), i);
        Object((*list)[i], at);
        OnlyMembers((*list)[i], at, {"name", "min", "max", "default"});
        StudioEventDescription::Parameter parameter;
        parameter.name = Text((*list)[i], "name", at);
        if (event->FindParameter(parameter.name) >= 0) Fail(at, "repeats the parameter \"" + parameter.name + "\"");
        parameter.minimum = static_cast<float>(Number((*list)[i], "min", at, 0.0));
        parameter.maximum = static_cast<float>(Number((*list)[i], "max", at, 1.0));
        if (parameter.maximum < parameter.minimum) Fail(at, "has max below min");
        parameter.initial = static_cast<float>(Number((*list)[i], "default", at, parameter.minimum));
        if (parameter.initial < parameter.minimum || parameter.initial > parameter.maximum)
            Fail(Member(at, "default"), "must lie between min and max");
        event->parameters.push_back(parameter);
    }
}

void StudioBankParser::ParseTracks(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event)
{
    const rapidjson::Value* list = Array(object, "tracks", where, true);
    for (rapidjson::SizeType i = 0; i < list->Size(); ++i) ParseTrack((*list)[i], Index(Member(where, "tracks"), i), event);
}

void StudioBankParser::ParseTrack(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event)
{
    Object(object, where);
    OnlyMembers(object, where, {"sound", "start", "volume", "gain", "lowpass"});
    StudioEventDescription::Track& track = event->tracks.emplace_back();
    std::string sound = Text(object, "sound", where);
    track.soundFile = soundFolder_ + "/" + sound;
    // Links resolved too: a sound is never read from outside the content.
    if (sound.find("..") != std::string::npos || sound.front() == '/' || sound.find('\\') != std::string::npos ||
        !FileCheck::Inside(soundFolder_, track.soundFile))
        Fail(Member(where, "sound"), "\"" + sound + "\" must name a file inside the sound folder");
    track.source = Member(where, "sound") + " \"" + sound + "\"";
    track.startFrame = Frames(Seconds(object, "start", where, 0.0, false));
    track.volume = static_cast<float>(NumberAtLeast(object, "volume", where, 1.0, 0.0, false));
    if (const rapidjson::Value* gains = Array(object, "gain", where, false))
        for (rapidjson::SizeType i = 0; i < gains->Size(); ++i)
            track.gains.push_back(ParseCurve((*gains)[i], Index(Member(where, "gain"), i), *event, false));
    if (const rapidjson::Value* lowPass = Find(object, "lowpass")) {
        std::string at = Member(where, "lowpass");
        if (lowPass->IsNumber()) {
            if (!(lowPass->GetDouble() > 0.0)) Fail(at, "must be a cut-off above 0 Hz");
            track.lowPass = StudioCurve(-1, {{0.0f, static_cast<float>(lowPass->GetDouble())}});
        } else {
            track.lowPass = ParseCurve(*lowPass, at, *event, true);
        }
    }
    ProbeSound(event);
}

void StudioBankParser::ProbeSound(StudioEventDescription* event)
{
    StudioEventDescription::Track& track = event->tracks.back();
    if (auto known = probed_.find(track.soundFile); known != probed_.end()) {
        track.shape = known->second;
        return;
    }
    std::string problem;
    StudioResult result = StudioSound::Probe(track.soundFile, mixRate_, &track.shape, &problem);
    if (result != STUDIO_OK) throw BankProblem{track.source + " " + problem, result};
    probed_[track.soundFile] = track.shape;
}

StudioCurve StudioBankParser::ParseCurve(const rapidjson::Value& object, const std::string& where,
                                         const StudioEventDescription& event, bool positive)
{
    Object(object, where);
    OnlyMembers(object, where, {"parameter", "curve"});
    std::string name = Text(object, "parameter", where);
    int parameter = event.FindParameter(name);
    if (parameter < 0) Fail(Member(where, "parameter"), "names \"" + name + "\", which the event does not declare");
    const rapidjson::Value* points = Array(object, "curve", where, true);
    std::string at = Member(where, "curve");
    if (points->Empty()) Fail(at, "needs at least one point");
    std::vector<std::pair<float, float>> curve;
    for (const auto& point : points->GetArray()) {
        if (!point.IsArray() || point.Size() != 2 || !point[0].IsNumber() || !point[1].IsNumber())
            Fail(at, "must hold [parameter value, output] pairs of numbers");
        double x = point[0].GetDouble(), y = point[1].GetDouble();
        if (!curve.empty() && !(x > curve.back().first)) Fail(at, "needs strictly increasing parameter values");
        if (positive ? !(y > 0.0) : !(y >= 0.0))
            Fail(at, positive ? "needs cut-offs above 0 Hz" : "needs gains of 0 or more");
        curve.emplace_back(static_cast<float>(x), static_cast<float>(y));
    }
    return StudioCurve(parameter, std::move(curve));
}

} // namespace volleyrun
