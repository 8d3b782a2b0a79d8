// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <atomic>

namespace Kr {

// A counter whose changes are atomic, so that reference counts of objects shared between
// the user-interface thread and processing threads stay exact.
template <class T> class LkCounter {
public:
    explicit LkCounter(T initial = T()) : _value(initial) {}
    LkCounter(const LkCounter&) = delete;
    LkCounter& operator=(const LkCounter&) = delete;

    // Both return the value after the change.
    T increment() { return _value.fetch_add(1, std::memory_order_relaxed) + 1; }
    T decrement() { return _value.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    T get() const { return _value.load(std::memory_order_acquire); }

    // Adds one unless the value is zero; returns whether it did (taking a strong
    // reference from a weak one must not revive an object already being destroyed).
    bool incrementIfNotZero() {
        T current = _value.load(std::memory_order_relaxed);
        while (current != 0) {
            if (_value.compare_exchange_weak(current, current + 1, std::memory_order_acq_rel))
                return true;
        }
        return false;
    }

private:
    std::atomic<T> _value;
};

} // namespace Kr
