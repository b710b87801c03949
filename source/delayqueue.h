// DelayQueue: the queued events of one EventManager, a min-heap on the remaining delay so
// the most overdue event is always on top. Four children per node keep the heap shallow and
// each node's children in one cache line, which matters with a million queued events; the
// delay sits beside the event pointer so the countdown and the heap never chase pointers.
// Owned by its EventManager; game thread only.
#pragma once

#include "event.h"

#include <array>
#include <memory>
#include <vector>

class DelayQueue {
public:
    DelayQueue() = default;
    DelayQueue(const DelayQueue&) = delete;
    DelayQueue& operator=(const DelayQueue&) = delete;
    ~DelayQueue();  // deletes the events still queued, undelivered

    void Push(std::unique_ptr<Event> event);
    // Removes the top event, its delay brought up to date. The queue must not be empty.
    std::unique_ptr<Event> Pop();

    bool Empty() const { return entries_.empty(); }
    size_t Size() const { return entries_.size(); }
    float TopDelay() const { return entries_.front().delay; }

    // Subtracts dt from the delay of every event whose type is not held.
    void CountDown(float dt, const std::array<bool, kEventTypeCount>& held);

private:
    // Plain data, so the heap moves entries with plain copies.
    struct Entry {
        float delay;   // seconds left; below zero means due
        int type;
        Event* event;  // owned by the queue
    };
    void SiftUp(size_t index, Entry moving);
    void SiftDown(size_t index);
    void SiftHoleToLeaf(Entry moving);
    size_t SmallestChild(size_t index) const;  // 0 when index is a leaf

    std::vector<Entry> entries_;  // 4-ary heap: children of i are 4i+1 .. 4i+4
};
