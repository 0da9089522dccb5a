// A zero-initialised array with 16-byte alignment, allocated once and never
// resized: what the SSE2 pair loads and stores of the kernel need.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

template <typename T>
class AlignedBuffer
{
public:
    explicit AlignedBuffer(size_t count) : count(count)
    {
        size_t bytes = (count * sizeof(T) + 15) & ~size_t(15);
        void* memory = nullptr;
#if defined(_WIN32)
        memory = _aligned_malloc(bytes ? bytes : 16, 16);
#else
        if (posix_memalign(&memory, 16, bytes ? bytes : 16) != 0)
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
