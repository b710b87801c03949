// StudioLoader: the studio's loader thread. Decodes the sounds handed to it front to back,
// a piece at a time: first the sounds of events that have started, a piece of each in
// turn so that all of them stay ahead of the mixer, then the rest in the order they came.
// Owned by the StudioSystem, which calls Add, Hurry, TakeFailures and Finish from the
// game thread; the thread starts with the first sound and is joined on destruction.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace volleyrun {

class StudioSound;
class StudioSoundDecoder;

class StudioLoader {
public:
    explicit StudioLoader(int mixRate);
    StudioLoader(const StudioLoader&) = delete;
    StudioLoader& operator=(const StudioLoader&) = delete;
    ~StudioLoader();  // what is left undecoded is abandoned

    // Queues an opened sound behind the others of its kind.
    void Add(std::shared_ptr<StudioSound> sound, bool urgent);
    // Moves a queued sound among the urgent ones (nothing when it is done already).
    void Hurry(const StudioSound* sound);
    // "file: reason" for each sound that failed to decode since the last call.
    std::vector<std::string> TakeFailures();
    // Blocks until every queued sound is decoded.
    void Finish();

private:
    void Run();

    const int mixRate_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_.
    std::deque<std::unique_ptr<StudioSoundDecoder>> urgent_;
    std::deque<std::unique_ptr<StudioSoundDecoder>> waiting_;
    const StudioSound* current_ = nullptr;  // being stepped outside the lock
    bool hurryCurrent_ = false;
    std::vector<std::string> failures_;
    bool stopping_ = false;
    std::thread thread_;  // last: started once everything above exists
};

} // namespace volleyrun
