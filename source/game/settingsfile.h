// SettingsFile: the player's options on disk, one JSON file (by default
// $XDG_CONFIG_HOME/volleyrun/settings.json, or ~/.config/volleyrun/settings.json; --settings
// names another). The engine loads it into GameSettings at start-up, before the window and
// the sound are made, and offers it the settings after every frame: whatever changed is
// written at once, atomically, so a crash never loses a choice. A bad value keeps its
// default with one trace line; a file with any bad value is kept aside as FILE.bad and
// replaced by what was understood. Game thread only.
#pragma once

#include "gamesettings.h"

#include <rapidjson/document.h>

#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

class SettingsFile {
public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // Reads the file into settings (a missing file leaves them alone: a first start).
    // Returns the trace lines: one per bad value, one for a file that cannot be read or
    // parsed, one when the bad file was kept aside.
    std::vector<std::string> Load(GameSettings& settings);
    // Writes the settings when they differ from those last loaded or saved. A failed write
    // returns its trace line and is tried again only after the next change.
    std::optional<std::string> SaveIfChanged(const GameSettings& settings);

    static std::string ToJson(const GameSettings& settings);
    // The document's members into settings; one line per bad or unknown member.
    static std::vector<std::string> FromJson(const rapidjson::Value& document, GameSettings& settings);

private:
    std::vector<std::string> KeepAside(GameSettings& settings, std::vector<std::string> lines);

    std::string path_;
    std::optional<GameSettings> saved_;  // what the file holds now, as far as we know
};

} // namespace volleyrun
