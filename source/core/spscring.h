// SpscRing<T, N>: a bounded queue from one producing thread to one consuming thread, with
// neither ever waiting or allocating: the mixing thread hands its beats to the game thread
// through one. A push onto a full ring fails and the producer decides what that costs.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace volleyrun {

template <class T, size_t N>
class SpscRing {
    static_assert(N >= 2 && (N & (N - 1)) == 0, "the capacity is a power of two");

public:
    // Producer thread.
    bool Push(const T& item)
    {
        size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == N) return false;
        items_[tail & (N - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread.
    bool Pop(T* item)
    {
        size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        *item = items_[head & (N - 1)];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, N> items_{};
    alignas(64) std::atomic<size_t> head_{0};  // next to pop
    alignas(64) std::atomic<size_t> tail_{0};  // next to push
};

} // namespace volleyrun
