// AudioEngine: music, sound effects and the beat clock. This build has no audio output
// yet: the engine starts silent. Created second during engine start-up, destroyed after
// the archetype store. Game thread only.
#pragma once

class AudioEngine {
public:
    static AudioEngine* Get();
    static void Destroy();

private:
    AudioEngine() = default;
};
