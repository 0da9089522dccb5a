// A value written by the host's or the editor's thread and read by the audio
// thread. Relaxed atomics compile to the same single loads and stores as
// plain fields on x86-64 and ARM, but make the sharing explicit and defined.
#pragma once

#include <atomic>

template <typename T>
class Shared
{
public:
    Shared(T initial = T()) : value(initial) {}
    Shared(const Shared& other) : value(other.get()) {}
    Shared& operator=(const Shared& other)
    {
        set(other.get());
        return *this;
    }

    T get() const { return value.load(std::memory_order_relaxed); }
    void set(T v) { value.store(v, std::memory_order_relaxed); }
    operator T() const { return get(); }
    Shared& operator=(T v)
    {
        set(v);
        return *this;
    }

private:
    std::atomic<T> value;
};
