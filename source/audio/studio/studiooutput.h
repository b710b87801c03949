// The output plug-in interface: how an output driver hands the studio's mix to a device.
// The audio engine fills a StudioOutputDescription and registers it with the studio; the
// studio calls init when the plug-in is selected on an initialised system (the game
// thread) and close when it is deselected or the system is released. Between the two the
// plug-in's own thread pulls the mix with state->readfrommixer.
#pragma once

#include "studioresult.h"

namespace volleyrun {

enum StudioSpeakerMode { STUDIO_SPEAKERMODE_DEFAULT = 0, STUDIO_SPEAKERMODE_STEREO = 1 };
enum StudioSoundFormat { STUDIO_SOUND_FORMAT_NONE = 0, STUDIO_SOUND_FORMAT_PCMFLOAT = 1 };

// Handed to every callback; the plug-in keeps it between init and close.
struct StudioOutputState {
    void* plugindata = nullptr;  // the plug-in's own
    // Mixes length frames into buffer in the format init agreed on. Any thread, one at a time.
    StudioResult (*readfrommixer)(StudioOutputState* state, void* buffer, unsigned int length) = nullptr;
    void* mixer = nullptr;       // the studio's; plug-ins leave it alone
};

struct StudioOutputDescription {
    unsigned int apiversion = 0;
    const char* name = nullptr;
    unsigned int version = 0;
    int polling = 0;  // 0: the plug-in drives the mixer itself (the only method offered)
    StudioResult (*getnumdrivers)(StudioOutputState* state, int* numdrivers) = nullptr;
    StudioResult (*getdriverinfo)(StudioOutputState* state, int id, char* name, int namelen,
                                  StudioSpeakerMode* speakermode, int* speakermodechannels) = nullptr;
    // outputrate, speakermode, speakermodechannels and outputformat come in as the studio
    // proposes them; the plug-in may change the speaker mode and format it answers with, and
    // the studio refuses what it cannot mix (it mixes stereo float at its software rate).
    StudioResult (*init)(StudioOutputState* state, int selecteddriver, int* outputrate,
                         StudioSpeakerMode* speakermode, int* speakermodechannels, StudioSoundFormat* outputformat,
                         int dspbufferlength, int dspnumbuffers) = nullptr;
    StudioResult (*close)(StudioOutputState* state) = nullptr;
};

inline constexpr unsigned int kStudioOutputApiVersion = 3;

} // namespace volleyrun
