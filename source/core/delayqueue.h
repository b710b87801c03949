// DelayQueue: the queued events of one EventManager, a min-heap on the remaining delay so
// the most overdue event is always on top. Four children per node keep the heap shallow and
// each node's children in one cache line (the storage is laid out so that every group of
// siblings starts a line), which matters with a million queued events; the
// delay sits beside the event pointer so the countdown and the heap never chase pointers.
// The copies the manager queues live in the queue's own EventPool. Owned by its
// EventManager; game thread only.
#pragma once

#include "event.h"
#include "eventpool.h"

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace volleyrun {

class DelayQueue {
public:
    // Destroys a taken event and gives its storage back to where it came from.
    class Release {
    public:
        Release() = default;
        Release(EventPool* pool, uint16_t size) : pool_(pool), size_(size) {}
        void operator()(Event* event) const;

    private:
        EventPool* pool_ = nullptr;  // null: the event came from new
        uint16_t size_ = 0;          // the event's class size when pooled
    };
    using Taken = std::unique_ptr<Event, Release>;

    DelayQueue() = default;
    DelayQueue(const DelayQueue&) = delete;
    DelayQueue& operator=(const DelayQueue&) = delete;
    ~DelayQueue();  // deletes the events still queued, undelivered

    void Push(std::unique_ptr<Event> event);
    // Queues a copy of event made in the pool.
    template <class E>
    void Emplace(E&& event)
    {
        using Ev = std::remove_cvref_t<E>;
        static_assert(alignof(Ev) <= EventPool::kGrain && sizeof(Ev) <= UINT16_MAX);
        void* block = pool_.Allocate(sizeof(Ev));
        Ev* copy = nullptr;
        try {
            copy = new (block) Ev(std::forward<E>(event));
            Insert({copy->delay, static_cast<int16_t>(copy->type), static_cast<uint16_t>(sizeof(Ev)), copy});
        } catch (...) {
            if (copy) copy->~Ev();
            pool_.Free(block, sizeof(Ev));
            throw;
        }
    }
    // Removes the top event, its delay brought up to date. The queue must not be empty.
    Taken Pop();

    bool Empty() const { return size_ == 0; }
    size_t Size() const { return size_; }
    float TopDelay() const { return entries_[0].delay; }

    // Subtracts dt from the delay of every event whose type is not held.
    void CountDown(float dt, const std::array<bool, kEventTypeCount>& held);

private:
    // Plain data, so the heap moves entries with plain copies.
    struct Entry {
        float delay;    // seconds left; below zero means due
        int16_t type;
        uint16_t size;  // 0: made by new; else the size it has in pool_
        Event* event;   // owned by the queue
    };
    void Insert(Entry entry);
    Release ReleaseOf(const Entry& entry) { return entry.size ? Release(&pool_, entry.size) : Release(); }
    void SiftUp(size_t index, Entry moving);
    void SiftDown(size_t index);
    void SiftHoleToLeaf(Entry moving);
    size_t SmallestChild(size_t index) const;  // 0 when index is a leaf
    void Grow();

    // One cache line of entries.
    struct alignas(64) Line {
        Entry slots[4];
    };
    static constexpr size_t kLead = 3;  // unused slots before the root, so 4i+1 starts a line

    EventPool pool_;           // first: outlives the events the destructor releases
    std::vector<Line> lines_;  // the storage
    Entry* entries_ = nullptr; // 4-ary heap from slot kLead of lines_: children of i are 4i+1 .. 4i+4
    size_t size_ = 0;
};

} // namespace volleyrun
