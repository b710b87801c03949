// StudioBankParser: turns one bank's JSON document into event descriptions, checking
// every member against the bank format (docs/bank-format.md) and probing each sound
// file's header. Used by StudioSystem::LoadBankFile on the game thread; on failure the
// error names the member and the problem ("events[0].tempo must be a number above 0").
#pragma once

#include "studiocurve.h"
#include "studioresult.h"
#include "studiosound.h"

#include <rapidjson/document.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace volleyrun {

class StudioEventDescription;

class StudioBankParser {
public:
    StudioBankParser(std::string soundFolder, int mixRate);

    // False on the first problem found; Error() then says which member and why.
    bool Parse(const rapidjson::Value& root, std::vector<std::unique_ptr<StudioEventDescription>>* events);
    const std::string& Error() const { return error_; }
    // STUDIO_ERR_FILE_NOTFOUND when a sound file is missing, STUDIO_ERR_FILE_BAD otherwise.
    StudioResult Result() const { return result_; }

private:
    void ParseEvent(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ParseTiming(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ParseLoop(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ParseMarkers(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ParseParameters(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ParseTracks(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ParseTrack(const rapidjson::Value& object, const std::string& where, StudioEventDescription* event);
    void ProbeSound(StudioEventDescription* event);
    StudioCurve ParseCurve(const rapidjson::Value& object, const std::string& where,
                           const StudioEventDescription& event, bool positive);
    int64_t Frames(double seconds) const;

    std::string soundFolder_;
    int mixRate_;
    std::string error_;
    StudioResult result_ = STUDIO_OK;
    std::map<std::string, StudioSound::Shape> probed_;  // by sound file: a song reuses its clips many times
};

} // namespace volleyrun
