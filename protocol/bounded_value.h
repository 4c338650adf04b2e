#pragma once

#include <atomic>
#include <cstdint>

namespace tqm {

// A state member stored as {value, maximum, minimum}. The bounds are written by
// the initialisation only; the setter stores a value only when it lies within
// them and reports success either way, so a caller never sees a rejected value.
// Each part is an atomic: any thread may read while the reply thread writes.
template <class T>
struct Bounded {
    std::atomic<T> value{};
    std::atomic<T> max{};
    std::atomic<T> min{};

    T get() const { return value.load(std::memory_order_acquire); }

    // True in every case; the value is kept only when min <= candidate <= max.
    bool set(T candidate) {
        const T low = min.load(std::memory_order_relaxed);
        const T high = max.load(std::memory_order_relaxed);
        if (candidate >= low && candidate <= high) value.store(candidate, std::memory_order_release);
        return true;
    }

    // Gives the member its initial value and bounds.
    void reset(T initial, T maximum, T minimum) {
        min.store(minimum, std::memory_order_relaxed);
        max.store(maximum, std::memory_order_relaxed);
        value.store(initial, std::memory_order_release);
    }
};

using BoundedValue = Bounded<std::int32_t>;
using BoundedReal = Bounded<double>;

}  // namespace tqm
