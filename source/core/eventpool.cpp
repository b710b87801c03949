#include "eventpool.h"

#include <new>

namespace volleyrun {

void* EventPool::Allocate(size_t size)
{
    if (size > kLargest) return ::operator new(size);
    size_t sizeClass = ClassOf(size);
    ++live_;
    if (FreeBlock* block = free_[sizeClass]) {
        free_[sizeClass] = block->next;
        return block;
    }
    return Carve(sizeClass);
}

void EventPool::Free(void* block, size_t size)
{
    if (size > kLargest) {
        ::operator delete(block);
        return;
    }
    size_t sizeClass = ClassOf(size);
    free_[sizeClass] = new (block) FreeBlock{free_[sizeClass]};
    if (--live_ == 0 && chunks_.size() > 1) Release();
}

void* EventPool::Carve(size_t sizeClass)
{
    size_t bytes = (sizeClass + 1) * kGrain;
    if (cursor_ == nullptr || static_cast<size_t>(end_ - cursor_) < bytes) {
        try {
            chunks_.emplace_back(new std::byte[kChunkBytes]);  // left uninitialised: carved as needed
        } catch (...) {
            --live_;
            throw;
        }
        cursor_ = chunks_.back().get();
        end_ = cursor_ + kChunkBytes;
    }
    void* block = cursor_;
    cursor_ += bytes;
    return block;
}

// Every block is free: drop the chunks and the free lists that point into them.
void EventPool::Release()
{
    free_.fill(nullptr);
    chunks_.clear();
    cursor_ = end_ = nullptr;
}

} // namespace volleyrun
