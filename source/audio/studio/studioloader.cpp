#include "studioloader.h"

#include "studiosound.h"
#include "studiosounddecoder.h"

#include <algorithm>
#include <utility>

namespace volleyrun {

namespace {

// File frames per step: a few milliseconds of work, about 0.17 s of sound at 48 kHz.
constexpr long kPieceFrames = 8192;

} // namespace

StudioLoader::StudioLoader(int mixRate) : mixRate_(mixRate) {}

StudioLoader::~StudioLoader()
{
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void StudioLoader::Add(std::shared_ptr<StudioSound> sound, bool urgent)
{
    auto decoder = std::make_unique<StudioSoundDecoder>(std::move(sound), mixRate_);
    {
        std::lock_guard guard(mutex_);
        (urgent ? urgent_ : waiting_).push_back(std::move(decoder));
        if (!thread_.joinable()) thread_ = std::thread(&StudioLoader::Run, this);
    }
    changed_.notify_all();
}

void StudioLoader::Hurry(const StudioSound* sound)
{
    std::lock_guard guard(mutex_);
    if (current_ == sound) hurryCurrent_ = true;
    auto found = std::find_if(waiting_.begin(), waiting_.end(), [sound](const auto& d) { return &d->Sound() == sound; });
    if (found == waiting_.end()) return;
    urgent_.push_back(std::move(*found));
    waiting_.erase(found);
}

std::vector<std::string> StudioLoader::TakeFailures()
{
    std::lock_guard guard(mutex_);
    return std::exchange(failures_, {});
}

void StudioLoader::Finish()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return urgent_.empty() && waiting_.empty() && !current_; });
}

void StudioLoader::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !urgent_.empty() || !waiting_.empty(); });
        if (stopping_) return;
        bool urgent = !urgent_.empty();
        auto& queue = urgent ? urgent_ : waiting_;
        std::unique_ptr<StudioSoundDecoder> decoder = std::move(queue.front());
        queue.pop_front();
        current_ = &decoder->Sound();
        hurryCurrent_ = false;
        lock.unlock();
        std::string error;
        bool more = decoder->Step(kPieceFrames, &error);
        lock.lock();
        current_ = nullptr;
        if (!error.empty()) failures_.push_back(decoder->Sound().path + ": " + error);
        // Urgent sounds take turns; the others are decoded one after another.
        if (more && (urgent || hurryCurrent_)) urgent_.push_back(std::move(decoder));
        else if (more) waiting_.push_front(std::move(decoder));
        if (urgent_.empty() && waiting_.empty()) {
            lock.unlock();
            changed_.notify_all();  // Finish may be waiting
            lock.lock();
        }
    }
}

} // namespace volleyrun
