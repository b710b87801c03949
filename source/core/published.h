// Published<T>: one value written by a single thread and read whole by any other, without
// a lock (a sequence lock over atomic words). The writer never waits, so the mixing thread
// can publish its clocks while the game and input threads read them; a reader that meets a
// write in progress simply reads again. T must be trivially copyable.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace volleyrun {

template <class T>
class Published {
    static_assert(std::is_trivially_copyable_v<T>, "Published values are copied word by word");
    static constexpr size_t kWords = (sizeof(T) + sizeof(uint64_t) - 1) / sizeof(uint64_t);

public:
    Published() { Store(T{}); }

    // The one writing thread.
    void Store(const T& value)
    {
        std::array<uint64_t, kWords> words{};
        std::memcpy(words.data(), &value, sizeof(T));
        uint64_t sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);  // odd: a write is in progress
        // Each word is released, so a reader that sees any new word also sees the odd count.
        for (size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_release);
        sequence_.store(sequence + 2, std::memory_order_release);
    }

    // Any thread.
    T Load() const
    {
        std::array<uint64_t, kWords> words{};
        for (;;) {
            uint64_t before = sequence_.load(std::memory_order_acquire);
            // Acquired words keep the second look at the count after them.
            for (size_t i = 0; i < kWords; ++i) words[i] = words_[i].load(std::memory_order_acquire);
            if (!(before & 1u) && sequence_.load(std::memory_order_relaxed) == before) break;
        }
        T value;
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));
        return value;
    }

private:
    std::atomic<uint64_t> sequence_{0};
    std::array<std::atomic<uint64_t>, kWords> words_{};
};

} // namespace volleyrun
