#include "delayqueue.h"

#include <algorithm>

namespace {
constexpr size_t kArity = 4;
}

void DelayQueue::Push(std::unique_ptr<Event> event)
{
    float delay = event->delay;
    int type = event->type;
    entries_.push_back({delay, type, std::move(event)});
    SiftUp(entries_.size() - 1);
}

std::unique_ptr<Event> DelayQueue::Pop()
{
    std::unique_ptr<Event> event = std::move(entries_.front().event);
    event->delay = entries_.front().delay;
    if (entries_.size() > 1) entries_.front() = std::move(entries_.back());
    entries_.pop_back();
    if (!entries_.empty()) SiftDown(0);
    return event;
}

void DelayQueue::CountDown(float dt, const std::array<bool, kEventTypeCount>& held)
{
    if (std::find(held.begin(), held.end(), true) == held.end()) {
        for (Entry& entry : entries_) entry.delay -= dt;  // every delay moves alike: order kept
        return;
    }
    for (Entry& entry : entries_)
        if (!held[entry.type]) entry.delay -= dt;
    // Held events keep their delay while the others run down, which can break the heap
    // order; rebuild it so an overdue event is never stuck behind a held one.
    for (size_t i = entries_.size() / kArity + 1; i-- > 0;)
        if (i < entries_.size()) SiftDown(i);
}

void DelayQueue::SiftUp(size_t index)
{
    Entry moving = std::move(entries_[index]);
    while (index > 0) {
        size_t parent = (index - 1) / kArity;
        if (entries_[parent].delay <= moving.delay) break;
        entries_[index] = std::move(entries_[parent]);
        index = parent;
    }
    entries_[index] = std::move(moving);
}

void DelayQueue::SiftDown(size_t index)
{
    Entry moving = std::move(entries_[index]);
    size_t size = entries_.size();
    for (;;) {
        size_t first = index * kArity + 1;
        if (first >= size) break;
        size_t last = std::min(first + kArity, size);
        size_t smallest = first;
        for (size_t child = first + 1; child < last; ++child)
            if (entries_[child].delay < entries_[smallest].delay) smallest = child;
        if (entries_[smallest].delay >= moving.delay) break;
        entries_[index] = std::move(entries_[smallest]);
        index = smallest;
    }
    entries_[index] = std::move(moving);
}
