// EventPool: storage for the queued copies of events, in size classes of 16 bytes with a
// free list each, so queueing and delivering an event costs no trip to the general heap.
// Blocks come from 64 KiB chunks that are all given back once no block is in use (a burst
// of queued events does not keep its memory for the whole game). Owned by a DelayQueue;
// game thread only.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace volleyrun {

class EventPool {
public:
    static constexpr size_t kGrain = 16;     // block sizes are multiples of this; so is their alignment
    static constexpr size_t kLargest = 256;  // larger events go to the general heap

    EventPool() = default;
    EventPool(const EventPool&) = delete;
    EventPool& operator=(const EventPool&) = delete;

    // A block of at least size bytes, aligned to kGrain; throws std::bad_alloc like new.
    void* Allocate(size_t size);
    // Gives back a block from Allocate with the same size.
    void Free(void* block, size_t size);

    size_t LiveBlocks() const { return live_; }
    size_t ChunkCount() const { return chunks_.size(); }

private:
    static constexpr size_t kChunkBytes = 64 * 1024;
    static constexpr size_t kClasses = kLargest / kGrain;
    struct FreeBlock {
        FreeBlock* next;
    };
    static size_t ClassOf(size_t size) { return (size + kGrain - 1) / kGrain - 1; }
    void* Carve(size_t sizeClass);
    void Release();

    std::array<FreeBlock*, kClasses> free_{};  // per class, most recently freed first
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    std::byte* cursor_ = nullptr;  // next uncarved byte of the newest chunk
    std::byte* end_ = nullptr;
    size_t live_ = 0;  // pooled blocks handed out and not yet freed
};

} // namespace volleyrun
