#include "studiosystem.h"

#include "jsonfile.h"
#include "studiobank.h"
#include "studiobankparser.h"
#include "studiodebuglog.h"
#include "studioeventdescription.h"
#include "studioeventinstance.h"
#include "studioloader.h"
#include "studiosound.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace volleyrun {

namespace {

// True on a thread while it runs the mixer, so calls from a timeline callback (which
// runs inside the mix, lock held) are refused instead of deadlocking.
thread_local bool mixingHere = false;

class MixingScope {
public:
    MixingScope() { mixingHere = true; }
    ~MixingScope() { mixingHere = false; }
};

} // namespace

StudioResult StudioSystem::Create(StudioSystem** system)
{
    if (!system) return STUDIO_ERR_INVALID_PARAM;
    *system = new StudioSystem();
    StudioDebugLog::Write("studio: system created");
    return STUDIO_OK;
}

StudioSystem::StudioSystem() = default;

StudioSystem::~StudioSystem() = default;

StudioResult StudioSystem::Release()
{
    CloseOutput();
    StudioDebugLog::Write("studio: system released");
    delete this;
    return STUDIO_OK;
}

StudioResult StudioSystem::Fail(StudioResult result, const std::string& message)
{
    lastError_ = message;
    StudioDebugLog::Write(std::string("studio: ") + StudioResultName(result) + ": " + message);
    return result;
}

StudioResult StudioSystem::SetDSPBufferSize(unsigned int bufferLength, int numBuffers)
{
    if (initialized_) return Fail(STUDIO_ERR_INITIALIZED, "the DSP buffer size is set before initialisation");
    if (bufferLength < 16 || bufferLength > 16384 || numBuffers < 2 || numBuffers > 16)
        return Fail(STUDIO_ERR_INVALID_PARAM, "DSP buffers need 16 to 16384 frames and 2 to 16 buffers");
    bufferLength_ = bufferLength;
    numBuffers_ = numBuffers;
    return STUDIO_OK;
}

StudioResult StudioSystem::GetDSPBufferSize(unsigned int* bufferLength, int* numBuffers) const
{
    if (!bufferLength || !numBuffers) return STUDIO_ERR_INVALID_PARAM;
    *bufferLength = bufferLength_;
    *numBuffers = numBuffers_;
    return STUDIO_OK;
}

StudioResult StudioSystem::SetSoftwareFormat(int sampleRate)
{
    if (initialized_) return Fail(STUDIO_ERR_INITIALIZED, "the software format is set before initialisation");
    if (sampleRate < 8000 || sampleRate > 192000) return Fail(STUDIO_ERR_INVALID_PARAM, "the mix rate must be 8000 to 192000 Hz");
    sampleRate_ = sampleRate;
    return STUDIO_OK;
}

StudioResult StudioSystem::GetSoftwareFormat(int* sampleRate) const
{
    if (!sampleRate) return STUDIO_ERR_INVALID_PARAM;
    *sampleRate = sampleRate_;
    return STUDIO_OK;
}

StudioResult StudioSystem::RegisterOutput(const StudioOutputDescription* description, unsigned int* handle)
{
    if (!description || !handle || !description->name || !description->init || !description->close ||
        !description->getnumdrivers)
        return Fail(STUDIO_ERR_INVALID_PARAM, "an output plug-in needs a name, getnumdrivers, init and close");
    if (description->apiversion != kStudioOutputApiVersion || description->polling != 0)
        return Fail(STUDIO_ERR_INVALID_PARAM, std::string("output plug-in ") + description->name +
                                                  " needs API version 3 and the mix-direct method");
    outputs_.push_back(*description);
    *handle = static_cast<unsigned int>(outputs_.size());
    return STUDIO_OK;
}

StudioResult StudioSystem::SetOutputByPlugin(unsigned int handle)
{
    if (handle == 0 || handle > outputs_.size()) return Fail(STUDIO_ERR_INVALID_HANDLE, "no output plug-in has that handle");
    CloseOutput();
    selectedOutput_ = handle;
    return initialized_ ? OpenOutput() : STUDIO_OK;
}

StudioResult StudioSystem::SetOutputSilent()
{
    CloseOutput();
    selectedOutput_ = 0;
    return STUDIO_OK;
}

// Runs without the mixer lock: the plug-in's init may start a thread that mixes at once.
StudioResult StudioSystem::OpenOutput()
{
    if (selectedOutput_ == 0) return STUDIO_OK;
    const StudioOutputDescription& output = outputs_[selectedOutput_ - 1];
    outputState_ = StudioOutputState{};
    outputState_.readfrommixer = &StudioSystem::ReadFromMixer;
    outputState_.mixer = this;
    int drivers = 0;
    if (output.getnumdrivers(&outputState_, &drivers) != STUDIO_OK || drivers < 1)
        return Fail(STUDIO_ERR_OUTPUT_INIT, std::string("output plug-in ") + output.name + " offers no driver");
    char driverName[256] = {};
    StudioSpeakerMode mode = STUDIO_SPEAKERMODE_DEFAULT;
    int channels = 0;
    if (output.getdriverinfo) output.getdriverinfo(&outputState_, 0, driverName, sizeof driverName, &mode, &channels);
    StudioDebugLog::Write(std::string("studio: output ") + output.name + " driver \"" + driverName + "\"");
    return InitOutput(output);
}

// The plug-in answers with its format; the mixer makes only stereo float at its own rate.
StudioResult StudioSystem::InitOutput(const StudioOutputDescription& output)
{
    int rate = sampleRate_;
    StudioSpeakerMode mode = STUDIO_SPEAKERMODE_STEREO;
    int channels = 2;
    StudioSoundFormat format = STUDIO_SOUND_FORMAT_PCMFLOAT;
    StudioResult result = output.init(&outputState_, 0, &rate, &mode, &channels, &format,
                                      static_cast<int>(bufferLength_), numBuffers_);
    if (result != STUDIO_OK) return Fail(STUDIO_ERR_OUTPUT_INIT, std::string("output plug-in ") + output.name + " failed to start");
    outputOpen_ = true;
    if (rate != sampleRate_ || channels != 2 || format != STUDIO_SOUND_FORMAT_PCMFLOAT) {
        CloseOutput();
        return Fail(STUDIO_ERR_OUTPUT_FORMAT, std::string("output plug-in ") + output.name +
                                                  " asked for a format other than stereo float at the mix rate");
    }
    return STUDIO_OK;
}

void StudioSystem::CloseOutput()
{
    if (!outputOpen_) return;
    outputOpen_ = false;
    outputs_[selectedOutput_ - 1].close(&outputState_);
    StudioDebugLog::Write("studio: output closed");
}

StudioResult StudioSystem::Initialize(int maxPlaying)
{
    if (initialized_) return Fail(STUDIO_ERR_INITIALIZED, "the system is already initialised");
    if (maxPlaying < 1) return Fail(STUDIO_ERR_INVALID_PARAM, "at least one instance must be allowed to play");
    maxPlaying_ = maxPlaying;
    loader_ = std::make_unique<StudioLoader>(sampleRate_);
    {
        std::lock_guard guard(mixLock_);
        scratch_.assign(2 * bufferLength_, 0.0f);
        limiter_.SetRate(sampleRate_);
    }
    initialized_ = true;
    StudioDebugLog::Write("studio: initialised at " + std::to_string(sampleRate_) + " Hz, " +
                          std::to_string(numBuffers_) + " buffers of " + std::to_string(bufferLength_));
    return OpenOutput();
}

StudioResult StudioSystem::LoadBankFile(const std::string& path, StudioBank** bank)
{
    if (!bank) return STUDIO_ERR_INVALID_PARAM;
    if (!initialized_) return Fail(STUDIO_ERR_UNINITIALIZED, "banks are loaded after initialisation");
    rapidjson::Document document;
    std::string problem;
    switch (JsonFile::Read(path, document, &problem)) {
    case JsonFile::ReadResult::kUnopenable: return Fail(STUDIO_ERR_FILE_NOTFOUND, "Bank " + path + ": cannot be opened");
    case JsonFile::ReadResult::kUnparsable: return Fail(STUDIO_ERR_FILE_BAD, "Bank " + path + ": not valid JSON: " + problem);
    case JsonFile::ReadResult::kOk: break;
    }
    // Samples live in the folder "Sounds" beside the bank folder.
    std::filesystem::path sounds = std::filesystem::path(path).parent_path().parent_path() / "Sounds";
    StudioBankParser parser(sounds.string(), sampleRate_);
    std::vector<std::unique_ptr<StudioEventDescription>> events;
    if (!parser.Parse(document, &events)) return Fail(parser.Result(), "Bank " + path + ": " + parser.Error());
    for (const auto& event : events)
        for (const auto& loaded : banks_)
            if (loaded->Find(event->path))
                return Fail(STUDIO_ERR_EVENT_ALREADY_LOADED, "Bank " + path + ": the event \"" + event->path +
                                                                 "\" is already defined by " + loaded->File());
    banks_.push_back(std::make_unique<StudioBank>(this, path, std::move(events)));
    *bank = banks_.back().get();
    StudioDebugLog::Write("studio: bank " + path + " loaded");
    return STUDIO_OK;
}

StudioResult StudioSystem::GetEvent(const std::string& path, StudioEventDescription** description)
{
    if (!description) return STUDIO_ERR_INVALID_PARAM;
    for (const auto& bank : banks_) {
        if (StudioEventDescription* found = bank->Find(path)) {
            *description = found;
            return STUDIO_OK;
        }
    }
    *description = nullptr;
    return Fail(STUDIO_ERR_EVENT_NOTFOUND, "no loaded bank defines the event \"" + path + "\"");
}

// One sound per file, shared by every track naming it; queued for decoding when new.
std::shared_ptr<const StudioSound> StudioSystem::SoundFor(const StudioEventDescription::Track& track)
{
    std::shared_ptr<StudioSound>& sound = sounds_[track.soundFile];
    if (!sound) {
        sound = StudioSound::Create(track.soundFile, track.shape);
        loader_->Add(sound, false);
    }
    return sound;
}

StudioResult StudioSystem::LoadSamples(StudioEventDescription* description, bool urgent)
{
    if (mixingHere) return STUDIO_ERR_INVALID_THREAD;  // the sound table is the game thread's
    if (!description->SamplesLoaded()) {
        std::vector<std::shared_ptr<const StudioSound>> loaded;
        for (const auto& track : description->tracks) loaded.push_back(SoundFor(track));
        std::lock_guard guard(mixLock_);
        for (size_t i = 0; i < loaded.size(); ++i) description->tracks[i].sound = loaded[i];
    }
    if (urgent)
        for (const auto& track : description->tracks)
            if (!track.sound->Complete()) loader_->Hurry(track.sound.get());
    return STUDIO_OK;
}

void StudioSystem::FinishDecoding()
{
    loader_->Finish();
}

StudioResult StudioSystem::Lock(std::unique_lock<std::mutex>* lock)
{
    if (mixingHere) return STUDIO_ERR_INVALID_THREAD;
    *lock = std::unique_lock<std::mutex>(mixLock_);
    return STUDIO_OK;
}

StudioResult StudioSystem::CreateInstance(StudioEventDescription* description, StudioEventInstance** instance)
{
    if (!initialized_) return Fail(STUDIO_ERR_UNINITIALIZED, "instances are created after initialisation");
    std::unique_lock<std::mutex> lock;
    StudioResult result = Lock(&lock);
    if (result != STUDIO_OK) return result;
    instances_.push_back(std::make_unique<StudioEventInstance>(description));
    *instance = instances_.back().get();
    return STUDIO_OK;
}

int StudioSystem::PlayingCount() const
{
    return static_cast<int>(std::count_if(instances_.begin(), instances_.end(), [](const auto& i) { return i->Playing(); }));
}

StudioResult StudioSystem::GetPlayingCount(int* count)
{
    if (!count) return STUDIO_ERR_INVALID_PARAM;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Lock(&lock);
    if (result == STUDIO_OK) *count = PlayingCount();
    return result;
}

StudioResult StudioSystem::SetMasterVolume(float volume)
{
    if (!(volume >= 0.0f)) return STUDIO_ERR_INVALID_PARAM;
    std::unique_lock<std::mutex> lock;
    StudioResult result = Lock(&lock);
    if (result == STUDIO_OK) masterVolume_ = volume;
    return result;
}

StudioResult StudioSystem::GetMasterVolume(float* volume) const
{
    if (!volume) return STUDIO_ERR_INVALID_PARAM;
    if (mixingHere) return STUDIO_ERR_INVALID_THREAD;
    std::lock_guard guard(mixLock_);
    *volume = masterVolume_;
    return STUDIO_OK;
}

StudioResult StudioSystem::Update()
{
    std::unique_lock<std::mutex> lock;
    StudioResult result = Lock(&lock);
    if (result != STUDIO_OK) return result;
    std::erase_if(instances_, [](const auto& instance) { return instance->Finished(); });
    lock.unlock();
    std::vector<std::string> failures = loader_ ? loader_->TakeFailures() : std::vector<std::string>{};
    if (failures.empty()) return STUDIO_OK;
    std::string message = failures.front();
    for (size_t i = 1; i < failures.size(); ++i) message += "; " + failures[i];
    return Fail(STUDIO_ERR_FILE_BAD, message + " (silent from there on)");
}

StudioResult StudioSystem::ReadFromMixer(StudioOutputState* state, void* buffer, unsigned int length)
{
    if (!state || !state->mixer) return STUDIO_ERR_INVALID_PARAM;
    return static_cast<StudioSystem*>(state->mixer)->Mix(static_cast<float*>(buffer), length);
}

StudioResult StudioSystem::Mix(float* buffer, unsigned int frames)
{
    if (!buffer) return STUDIO_ERR_INVALID_PARAM;
    if (mixingHere) return STUDIO_ERR_INVALID_THREAD;
    if (!initialized_) return STUDIO_ERR_UNINITIALIZED;
    MixingScope scope;
    std::lock_guard guard(mixLock_);
    for (unsigned int done = 0; done < frames;) {
        unsigned int chunk = std::min(bufferLength_, frames - done);
        MixChunk(buffer + 2 * done, static_cast<int>(chunk), static_cast<int>(done));
        done += chunk;
    }
    mixedFrames_ += frames;
    return STUDIO_OK;
}

void StudioSystem::MixChunk(float* out, int frames, int outOffset)
{
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    for (const auto& instance : instances_) instance->Mix(out, frames, outOffset, scratch_.data());
    // The master volume glides across the chunk so a change does not click.
    float step = (masterVolume_ - masterApplied_) / static_cast<float>(frames);
    for (int i = 0; i < frames; ++i) {
        float gain = masterApplied_ + step * static_cast<float>(i + 1);
        out[2 * i] *= gain;
        out[2 * i + 1] *= gain;
    }
    masterApplied_ = masterVolume_;
    limiter_.Process(out, frames);
}

} // namespace volleyrun
