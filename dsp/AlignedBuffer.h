// A zero-initialised array aligned to a cache line, allocated once and never
// resized: the SSE2 pair loads and stores of the kernel need 16 bytes, and
// the wide paths read some buffers in aligned 32-byte pieces, none of which
// then straddles two lines.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

template <typename T>
class AlignedBuffer
{
public:
    static constexpr size_t kAlignment = 64;
    static_assert(alignof(T) <= kAlignment, "the buffer's alignment holds its elements'");

    explicit AlignedBuffer(size_t count) : count(count)
    {
        size_t bytes = (count * sizeof(T) + kAlignment - 1) & ~size_t(kAlignment - 1);
        void* memory = nullptr;
#if defined(_WIN32)
        memory = _aligned_malloc(bytes ? bytes : kAlignment, kAlignment);
#else
        if (posix_memalign(&memory, kAlignment, bytes ? bytes : kAlignment) != 0)
            memory = nullptr;
#endif
        if (!memory)
            throw std::bad_alloc();
        data = static_cast<T*>(memory);
        std::memset(static_cast<void*>(data), 0, bytes);
    }
    ~AlignedBuffer()
    {
#if defined(_WIN32)
        _aligned_free(data);
#else
        std::free(data);
#endif
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    T* get() { return data; }
    const T* get() const { return data; }
    T& operator[](size_t i) { return data[i]; }
    const T& operator[](size_t i) const { return data[i]; }
    size_t size() const { return count; }
    void clear() { std::memset(static_cast<void*>(data), 0, count * sizeof(T)); }

private:
    T* data = nullptr;
    size_t count;
};
