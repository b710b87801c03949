#include "studioeventdescription.h"

#include "studiosystem.h"

#include <cmath>

namespace volleyrun {

StudioResult StudioEventDescription::GetPath(std::string* text) const
{
    if (!text) return STUDIO_ERR_INVALID_PARAM;
    *text = path;
    return STUDIO_OK;
}

StudioResult StudioEventDescription::IsOneshot(bool* oneshot) const
{
    if (!oneshot) return STUDIO_ERR_INVALID_PARAM;
    *oneshot = oneShot;
    return STUDIO_OK;
}

StudioResult StudioEventDescription::CreateInstance(StudioEventInstance** instance)
{
    if (!instance) return STUDIO_ERR_INVALID_PARAM;
    return system->CreateInstance(this, instance);
}

int StudioEventDescription::FindParameter(std::string_view parameterName) const
{
    for (size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i].name == parameterName) return static_cast<int>(i);
    return -1;
}

StudioEventDescription::BeatPlace StudioEventDescription::Beat(int64_t k) const
{
    double seconds = firstDownbeat + static_cast<double>(k) * 60.0 / tempo;
    int64_t barIndex = k >= 0 ? k / beatsPerBar : -((-k + beatsPerBar - 1) / beatsPerBar);  // floor
    int beatInBar = static_cast<int>(k - barIndex * beatsPerBar) + 1;
    int bar = static_cast<int>(k >= 0 ? barIndex + 1 : barIndex);
    return {std::llround(seconds * sampleRate), bar, beatInBar};
}

int64_t StudioEventDescription::FirstBeatFrom(int64_t frame) const
{
    double beats = (static_cast<double>(frame) / sampleRate - firstDownbeat) * tempo / 60.0;
    int64_t k = static_cast<int64_t>(std::floor(beats)) - 1;  // rounding can put a beat either side
    while (Beat(k).frame < frame) ++k;
    while (Beat(k - 1).frame >= frame) --k;
    return k;
}

bool StudioEventDescription::SamplesLoaded() const
{
    for (const Track& track : tracks)
        if (!track.sound) return false;
    return true;
}

} // namespace volleyrun
