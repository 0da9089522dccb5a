// The user's edits in the editor on their way to the host: the main thread
// adds gesture begins, values and gesture ends; the thread that runs
// process or flush takes them out as output events, in order. One writer,
// one reader, a fixed ring: no allocation and no lock on either side.
#pragma once

#include <atomic>
#include <cstdint>

class EditQueue
{
public:
    enum Kind : uint8_t
    {
        kBegin,
        kValue,
        kEnd
    };
    struct Edit
    {
        Kind kind;
        uint32_t parameter;
        double value; // the host's value, for kValue
    };

    // Main thread. False when full (a host that neither processes nor
    // flushes for 256 edits): the edit is dropped, the effect has it anyway.
    bool push(const Edit& edit)
    {
        const uint32_t tail = written.load(std::memory_order_relaxed);
        if (tail - taken.load(std::memory_order_acquire) >= kCapacity)
            return false;
        ring[tail % kCapacity] = edit;
        written.store(tail + 1, std::memory_order_release);
        return true;
    }

    // The processing thread: the oldest edit, if any.
    bool pop(Edit& edit)
    {
        const uint32_t head = taken.load(std::memory_order_relaxed);
        if (head == written.load(std::memory_order_acquire))
            return false;
        edit = ring[head % kCapacity];
        taken.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    static constexpr uint32_t kCapacity = 256;
    Edit ring[kCapacity] = {};
    std::atomic<uint32_t> written{0};
    std::atomic<uint32_t> taken{0};
};
