#include "audioengine.h"

#include <memory>

namespace {
std::unique_ptr<AudioEngine> instance;
}

AudioEngine* AudioEngine::Get()
{
    if (!instance) instance.reset(new AudioEngine());
    return instance.get();
}

void AudioEngine::Destroy()
{
    instance.reset();
}
