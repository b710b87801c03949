#include "delayqueue.h"

#include <algorithm>

namespace {
constexpr size_t kArity = 4;
}

DelayQueue::~DelayQueue()
{
    for (Entry& entry : entries_) delete entry.event;
}

void DelayQueue::Push(std::unique_ptr<Event> event)
{
    Entry entry{event->delay, event->type, event.release()};
    entries_.push_back(entry);
    SiftUp(entries_.size() - 1, entry);
}

std::unique_ptr<Event> DelayQueue::Pop()
{
    std::unique_ptr<Event> event(entries_.front().event);
    event->delay = entries_.front().delay;
    Entry last = entries_.back();
    entries_.pop_back();
    if (!entries_.empty()) SiftHoleToLeaf(last);
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

void DelayQueue::SiftUp(size_t index, Entry moving)
{
    while (index > 0) {
        size_t parent = (index - 1) / kArity;
        if (entries_[parent].delay <= moving.delay) break;
        entries_[index] = entries_[parent];
        index = parent;
    }
    entries_[index] = moving;
}

// After taking the top: walk the hole down along the smallest children to a leaf, then
// let the displaced last entry rise from there. Cheaper than a plain sift-down, because
// the last entry usually belongs near the bottom anyway.
size_t DelayQueue::SmallestChild(size_t index) const
{
    size_t first = index * kArity + 1;
    if (first >= entries_.size()) return 0;  // a leaf
    size_t last = std::min(first + kArity, entries_.size());
    size_t smallest = first;
    for (size_t child = first + 1; child < last; ++child)
        if (entries_[child].delay < entries_[smallest].delay) smallest = child;
    return smallest;
}

void DelayQueue::SiftHoleToLeaf(Entry moving)
{
    size_t index = 0;
    for (size_t smallest; (smallest = SmallestChild(index)) != 0; index = smallest) entries_[index] = entries_[smallest];
    SiftUp(index, moving);
}

void DelayQueue::SiftDown(size_t index)
{
    Entry moving = entries_[index];
    for (;;) {
        size_t smallest = SmallestChild(index);
        if (smallest == 0 || entries_[smallest].delay >= moving.delay) break;
        entries_[index] = entries_[smallest];
        index = smallest;
    }
    entries_[index] = moving;
}
