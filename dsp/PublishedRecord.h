// A record of several values that one reader must see as one set: writers
// on any thread edit and publish whole records, the audio thread takes the
// latest one at its block start and reads it for the whole block. Three
// slots: the reader's, the writers' and the one between them; publishing and
// taking each swap one index, so the reader never waits, never allocates and
// never sees a record half written. Writers queue on a mutex of their own,
// which the reader never takes.
#pragma once

#include <atomic>
#include <mutex>

template <typename Record>
class PublishedRecord
{
public:
    PublishedRecord() = default;
    PublishedRecord(const PublishedRecord&) = delete;
    PublishedRecord& operator=(const PublishedRecord&) = delete;

    // Any thread: edit(Record&) changes a copy of the latest record, which
    // then becomes the latest.
    template <typename Edit>
    void update(Edit edit)
    {
        std::lock_guard<std::mutex> lock(writerMutex);
        edit(latest);
        slots[writerSlot] = latest;
        writerSlot = between.exchange(writerSlot | kFresh, std::memory_order_acq_rel) & kSlotMask;
    }

    // The reading thread only (one at a time): the latest record published
    // before this call, valid until the next take.
    const Record& take()
    {
        if (between.load(std::memory_order_relaxed) & kFresh)
            readerSlot = between.exchange(readerSlot, std::memory_order_acq_rel) & kSlotMask;
        return slots[readerSlot];
    }

private:
    static constexpr unsigned kSlotMask = 3;
    static constexpr unsigned kFresh = 4; // the slot between holds a record the reader has not taken

    Record slots[3]{};
    std::atomic<unsigned> between{1};
    unsigned readerSlot = 0;
    unsigned writerSlot = 2; // guarded by writerMutex
    Record latest{};         // guarded by writerMutex
    std::mutex writerMutex;
};
