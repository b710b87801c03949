// StudioEventDescription: one sound event as a bank defines it (path, one-shot or not,
// tempo and time signature, loop region, markers, parameters, tracks), with every time
// already converted to frames at the mix rate. Built by the bank parser and owned by its
// bank; read-only once loaded, so the mixing thread reads it without locking. The game
// thread creates instances from it.
#pragma once

#include "studiocurve.h"
#include "studioresult.h"
#include "studiosound.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace volleyrun {

class StudioEventInstance;
class StudioSystem;

class StudioEventDescription {
public:
    struct Parameter {
        std::string name;
        float minimum = 0.0f;
        float maximum = 1.0f;
        float initial = 0.0f;  // every new instance starts with it
    };
    struct Marker {
        std::string name;
        int64_t frame = 0;  // timeline position
    };
    struct Track {
        std::string soundFile;         // full path
        std::string source;            // bank member that named it, for messages
        std::shared_ptr<const StudioSound> sound;  // null until sample data is loaded
        StudioSound::Shape shape;      // from the file's header, known before decoding
        int64_t startFrame = 0;        // timeline position of the sound's first frame
        float volume = 1.0f;
        std::vector<StudioCurve> gains;        // multiplied with volume
        std::optional<StudioCurve> lowPass;    // cut-off in Hz; a constant has parameter -1
    };
    // Where beat number k (0 at the first downbeat, negative in a count-in) falls.
    struct BeatPlace {
        int64_t frame;
        int bar;   // 1, 2, ... from the first downbeat; -1, -2, ... before it
        int beat;  // 1 to beatsPerBar
    };

    StudioResult GetPath(std::string* text) const;
    StudioResult IsOneshot(bool* oneshot) const;
    // A new stopped instance owned by the system; the caller releases it when done.
    StudioResult CreateInstance(StudioEventInstance** instance);

    int FindParameter(std::string_view parameterName) const;  // -1 when absent
    BeatPlace Beat(int64_t k) const;
    // The first beat number whose frame is at or after the given frame.
    int64_t FirstBeatFrom(int64_t frame) const;
    bool Loops() const { return loopEnd > loopStart; }
    bool SamplesLoaded() const;

    StudioSystem* system = nullptr;  // set when the bank is loaded
    std::string bankFile;            // the bank that defines it, for messages
    int sampleRate = 48000;          // the mix rate the frames below count in
    std::string path;
    bool oneShot = true;
    double tempo = 120.0;            // beats per minute
    int beatsPerBar = 4;
    int beatUnit = 4;
    double firstDownbeat = 0.0;      // seconds: timeline position of bar 1, beat 1
    int64_t length = 0;              // frames: where the timeline ends
    int64_t loopStart = 0;           // frames; loopStart == loopEnd means no loop
    int64_t loopEnd = 0;
    std::vector<Marker> markers;     // in file order
    std::vector<Parameter> parameters;
    std::vector<Track> tracks;
};

} // namespace volleyrun
