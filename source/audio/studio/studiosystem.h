// StudioSystem: the interactive-audio runtime. Owns the loaded banks and their sounds,
// every event instance, the output plug-ins and the mixer, whose master bus applies the
// master volume and then a peak limiter. The audio engine creates it
// (StudioSystem::Create), sets it up and initialises it, loads the banks and calls
// Update once per frame, all on the game thread; the selected output plug-in's thread
// pulls the mix through readfrommixer. One mutex (the mixer lock) is shared by the game
// thread's calls and the mixer, held for one mix request at a time.
#pragma once

#include "studioeventdescription.h"
#include "studiolimiter.h"
#include "studiooutput.h"
#include "studioresult.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace volleyrun {

class StudioBank;
class StudioEventInstance;
class StudioLoader;
class StudioSound;

class StudioSystem {
public:
    static StudioResult Create(StudioSystem** system);

    // Set-up, before Initialize only. Defaults: 4 buffers of 1024 frames, 48000 Hz.
    StudioResult SetDSPBufferSize(unsigned int bufferLength, int numBuffers);
    StudioResult GetDSPBufferSize(unsigned int* bufferLength, int* numBuffers) const;
    StudioResult SetSoftwareFormat(int sampleRate);
    StudioResult GetSoftwareFormat(int* sampleRate) const;

    // The description is copied; handle receives the number to select it by.
    StudioResult RegisterOutput(const StudioOutputDescription* description, unsigned int* handle);
    // Closes the current output and, on an initialised system, initialises the chosen one.
    StudioResult SetOutputByPlugin(unsigned int handle);
    StudioResult SetOutputSilent();  // nothing pulls the mix: timelines stand still

    // maxPlaying: how many instances may play at once.
    StudioResult Initialize(int maxPlaying);
    StudioResult LoadBankFile(const std::string& path, StudioBank** bank);
    StudioResult GetEvent(const std::string& path, StudioEventDescription** description);
    StudioResult SetMasterVolume(float volume);
    StudioResult GetMasterVolume(float* volume) const;
    StudioResult GetPlayingCount(int* count);  // instances playing now, paused ones included
    // Frees released instances that have stopped; reports sounds that failed to decode
    // since the last call (STUDIO_ERR_FILE_BAD, naming them in LastError).
    StudioResult Update();
    StudioResult Release();  // closes the output and frees everything, this object included

    // What went wrong in the last failed call on the game thread, naming the file and member.
    const std::string& LastError() const { return lastError_; }

    // For the rest of the studio.
    StudioResult CreateInstance(StudioEventDescription* description, StudioEventInstance** instance);
    // Opens the description's sounds and queues them for the loader thread; urgent (an
    // instance starts) moves them ahead of every sound nobody plays yet.
    StudioResult LoadSamples(StudioEventDescription* description, bool urgent);
    // Blocks until every queued sound is decoded.
    void FinishDecoding();
    // True: the mixer waits for frames still being decoded, so a render repeats exactly
    // (virtual and file outputs). False: it plays silence instead, never blocking a
    // real-time output.
    void SetMixWaitsForDecoding(bool wait) { mixWaits_ = wait; }
    bool MixWaitsForDecoding() const { return mixWaits_; }
    // The mixer lock, for a call from the game thread. Fails when called from a timeline
    // callback, which runs inside the mix with the lock already held.
    StudioResult Lock(std::unique_lock<std::mutex>* lock);
    int PlayingCount() const;  // with the lock held
    int MaxPlaying() const { return maxPlaying_; }
    int SampleRate() const { return sampleRate_; }
    StudioResult Fail(StudioResult result, const std::string& message);
    // Mixes frames of interleaved stereo float into buffer (any thread, one at a time).
    StudioResult Mix(float* buffer, unsigned int frames);
    // Inside a mix: the frames mixed before the current request since the mixer started.
    int64_t RequestFrame() const { return mixedFrames_; }

private:
    StudioSystem();
    ~StudioSystem();
    static StudioResult ReadFromMixer(StudioOutputState* state, void* buffer, unsigned int length);
    StudioResult OpenOutput();
    StudioResult InitOutput(const StudioOutputDescription& output);
    void CloseOutput();
    std::shared_ptr<const StudioSound> SoundFor(const StudioEventDescription::Track& track);
    void MixChunk(float* out, int frames, int outOffset);

    unsigned int bufferLength_ = 1024;  // frames per DSP buffer; the mixer's largest chunk
    int numBuffers_ = 4;
    int sampleRate_ = 48000;
    bool initialized_ = false;
    int maxPlaying_ = 0;
    std::vector<StudioOutputDescription> outputs_;  // handle = index + 1
    unsigned int selectedOutput_ = 0;               // 0: silent
    bool outputOpen_ = false;                       // init succeeded, close still due
    StudioOutputState outputState_;
    std::vector<std::unique_ptr<StudioBank>> banks_;
    std::map<std::string, std::shared_ptr<StudioSound>> sounds_;  // by file, opened once
    std::unique_ptr<StudioLoader> loader_;  // from Initialize; joined before the sounds go
    bool mixWaits_ = true;
    std::string lastError_;

    // Shared with the mixer, under mixLock_.
    mutable std::mutex mixLock_;
    std::vector<std::unique_ptr<StudioEventInstance>> instances_;
    float masterVolume_ = 1.0f;    // target
    float masterApplied_ = 1.0f;   // glides to the target across a chunk
    StudioLimiter limiter_;        // after the master volume
    std::vector<float> scratch_;   // 2 * bufferLength_ floats for one track
    int64_t mixedFrames_ = 0;      // every frame mixed so far, across outputs
};

} // namespace volleyrun
