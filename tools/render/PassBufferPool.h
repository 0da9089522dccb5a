// Output buffers of passes, handed on from pass to pass: a fresh buffer of
// a long track costs more in page faults than the copy into it.
#pragma once

#include <mutex>
#include <utility>
#include <vector>

#include "tools/render/Renderer.h"

class PassBufferPool
{
public:
    PassAudio take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (free.empty())
            return {};
        PassAudio buffer = std::move(free.back());
        free.pop_back();
        return buffer;
    }
    void give(PassAudio&& buffer)
    {
        if (buffer.floats.capacity() == 0 && buffer.doubles.capacity() == 0)
            return;
        std::lock_guard<std::mutex> lock(mutex);
        free.push_back(std::move(buffer));
    }

private:
    std::mutex mutex;
    std::vector<PassAudio> free;
};
