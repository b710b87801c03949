#include "delayqueue.h"

#include <algorithm>
#include <cstddef>

namespace volleyrun {

namespace {
constexpr size_t kArity = 4;
}

void DelayQueue::Release::operator()(Event* event) const
{
    if (!pool_) {
        delete event;
        return;
    }
    event->~Event();
    pool_->Free(event, size_);
}

DelayQueue::~DelayQueue()
{
    for (size_t i = 0; i < size_; ++i) ReleaseOf(entries_[i])(entries_[i].event);
}

void DelayQueue::Push(std::unique_ptr<Event> event)
{
    Insert({event->delay, static_cast<int16_t>(event->type), 0, event.get()});
    event.release();
}

void DelayQueue::Insert(Entry entry)
{
    if (kLead + size_ >= lines_.size() * 4) Grow();
    SiftUp(size_++, entry);
}

void DelayQueue::Grow()
{
    lines_.resize(std::max<size_t>(lines_.size() * 2, 16));
    // Addressed through the bytes of the whole storage: the heap runs across lines.
    entries_ = reinterpret_cast<Entry*>(reinterpret_cast<std::byte*>(lines_.data()) + kLead * sizeof(Entry));
}

DelayQueue::Taken DelayQueue::Pop()
{
    Taken event(entries_[0].event, ReleaseOf(entries_[0]));
    event->delay = entries_[0].delay;
    Entry last = entries_[--size_];
    if (size_ > 0) SiftHoleToLeaf(last);
    return event;
}

void DelayQueue::CountDown(float dt, const std::array<bool, kEventTypeCount>& held)
{
    if (std::find(held.begin(), held.end(), true) == held.end()) {
        for (size_t i = 0; i < size_; ++i) entries_[i].delay -= dt;  // every delay moves alike: order kept
        return;
    }
    for (size_t i = 0; i < size_; ++i)
        if (!held[entries_[i].type]) entries_[i].delay -= dt;
    // Held events keep their delay while the others run down, which can break the heap
    // order; rebuild it so an overdue event is never stuck behind a held one.
    for (size_t i = size_ / kArity + 1; i-- > 0;)
        if (i < size_) SiftDown(i);
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
    if (first >= size_) return 0;  // a leaf
    if (first + kArity <= size_) {
        // A full family: a two-round tournament without branches to mispredict, ties going
        // to the earlier child as in the loop below.
        const Entry* child = entries_ + first;
        size_t a = child[1].delay < child[0].delay ? 1 : 0;
        size_t b = child[3].delay < child[2].delay ? 3 : 2;
        return first + (child[b].delay < child[a].delay ? b : a);
    }
    size_t last = std::min(first + kArity, size_);
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

} // namespace volleyrun
