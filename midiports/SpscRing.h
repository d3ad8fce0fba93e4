#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace tinko::midiports {

// A queue from one thread to one other that neither locks nor allocates, so
// that a real-time thread may be either end: what does not fit is refused.
template <typename T, std::size_t Capacity>
class SpscRing {
public:
    // On the producing thread.
    bool push(const T& value) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t next = (tail + 1) % items_.size();
        if (next == head_.load(std::memory_order_acquire)) {
            return false;
        }
        items_[tail] = value;
        tail_.store(next, std::memory_order_release);
        return true;
    }

    // On the consuming thread (or any, while no other touches the ring).
    bool pop(T& value) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            return false;
        }
        value = items_[head];
        head_.store((head + 1) % items_.size(), std::memory_order_release);
        return true;
    }

private:
    std::array<T, Capacity + 1> items_{};  // one always free: full is not empty
    std::atomic<std::size_t> head_{0};
    std::atomic<std::size_t> tail_{0};
};

}  // namespace tinko::midiports
