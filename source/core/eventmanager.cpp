#include "eventmanager.h"

#include "gameerror.h"

#include <algorithm>

namespace volleyrun {

class EventManager::WalkScope {
public:
    explicit WalkScope(EventManager& manager) : manager_(manager) { ++manager_.depth_; }
    ~WalkScope() { manager_.EndWalk(); }

private:
    EventManager& manager_;
};

EventManager::~EventManager() = default;

void EventManager::EndWalk()
{
    if (--depth_ > 0 || retired_.Empty()) return;
    retired_.FreeAll();
    for (auto& list : listeners_)
        std::erase(list, nullptr);
}

void EventManager::RemoveListener(const void* owner, int type)
{
    auto& list = listeners_[type];
    auto found = std::find_if(list.begin(), list.end(),
                              [owner](const auto& listener) { return listener && listener->key == owner; });
    if (found == list.end()) return;
    if ((*found)->pending) --pendingCount_;
    if (depth_ > 0) {
        retired_.Keep(std::move(*found));  // the slot stays, empty, until the walk ends
    } else {
        list.erase(found);
    }
}

size_t EventManager::ListenerCount(int type) const
{
    const auto& list = listeners_[type];
    return static_cast<size_t>(std::count_if(list.begin(), list.end(), [](const auto& l) { return l != nullptr; }));
}

void EventManager::Dispatch(Event& event)
{
    if (event.type == kLambdaEvent) {
        auto& lambda = static_cast<LambdaEvent&>(event);
        GAME_CHECK(static_cast<bool>(lambda.callable), "a LambdaEvent was delivered without an action");
        lambda.callable();
        return;
    }
    WalkScope walk(*this);
    auto& list = listeners_[event.type];
    // Re-read the size each step: listeners appended by a handler are pending and end the walk.
    for (size_t i = 0; i < list.size(); ++i) {
        ListenerBase* listener = list[i].get();
        if (!listener) continue;  // removed during this walk
        if (listener->pending) break;
        listener->Invoke(event);
        if (event.handled) break;
    }
}

void EventManager::Enqueue(std::unique_ptr<Event> event)
{
    queue_.Push(std::move(event));
}

void EventManager::ActivatePending()
{
    for (auto& list : listeners_) {
        for (auto& listener : list) {
            if (pendingCount_ == 0) return;
            if (listener && listener->pending) {
                listener->pending = false;
                --pendingCount_;
            }
        }
    }
}

void EventManager::Update(float dt)
{
    WalkScope walk(*this);
    if (pendingCount_ > 0) ActivatePending();

    queue_.CountDown(dt, held_);
    while (!queue_.Empty() && queue_.TopDelay() < 0.0f) {
        DelayQueue::Taken event = queue_.Pop();  // taken out first: the handler may queue more
        Dispatch(*event);
    }
}

} // namespace volleyrun
