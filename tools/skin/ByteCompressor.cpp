#include "ByteCompressor.h"

#include <algorithm>

namespace
{
constexpr size_t kMinMatch = 4;
constexpr size_t kMaxMatch = 127 + kMinMatch;
constexpr size_t kMaxLiterals = 128;
constexpr size_t kWindow = 65535;
constexpr int kHashBits = 16;
constexpr int kChain = 32;

uint32_t hash4(const uint8_t* p)
{
    const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return (v * 2654435761u) >> (32 - kHashBits);
}

void flushLiterals(std::vector<uint8_t>& out, const std::vector<uint8_t>& in, size_t from, size_t to)
{
    while (from < to)
    {
        const size_t n = std::min(kMaxLiterals, to - from);
        out.push_back(uint8_t(n - 1));
        out.insert(out.end(), in.begin() + long(from), in.begin() + long(from + n));
        from += n;
    }
}
} // namespace

std::vector<uint8_t> packBytes(const std::vector<uint8_t>& in)
{
    std::vector<uint8_t> out;
    std::vector<int64_t> head(size_t(1) << kHashBits, -1);
    std::vector<int64_t> previous(in.size(), -1);
    size_t literalStart = 0, pos = 0;
    auto insert = [&](size_t at) {
        if (at + kMinMatch > in.size())
            return;
        const uint32_t h = hash4(&in[at]);
        previous[at] = head[h];
        head[h] = int64_t(at);
    };
    while (pos < in.size())
    {
        size_t bestLength = 0, bestDistance = 0;
        if (pos + kMinMatch <= in.size())
        {
            int64_t candidate = head[hash4(&in[pos])];
            for (int tries = 0; candidate >= 0 && tries < kChain; ++tries)
            {
                const size_t distance = pos - size_t(candidate);
                if (distance > kWindow)
                    break;
                size_t length = 0;
                while (length < kMaxMatch && pos + length < in.size() &&
                       in[size_t(candidate) + length] == in[pos + length])
                    ++length;
                if (length > bestLength)
                {
                    bestLength = length;
                    bestDistance = distance;
                }
                candidate = previous[size_t(candidate)];
            }
        }
        if (bestLength >= kMinMatch)
        {
            flushLiterals(out, in, literalStart, pos);
            out.push_back(uint8_t(128 + bestLength - kMinMatch));
            out.push_back(uint8_t(bestDistance));
            out.push_back(uint8_t(bestDistance >> 8));
            for (size_t i = 0; i < bestLength; ++i)
                insert(pos + i);
            pos += bestLength;
            literalStart = pos;
        }
        else
        {
            insert(pos);
            ++pos;
        }
    }
    flushLiterals(out, in, literalStart, pos);
    return out;
}

std::vector<uint8_t> unpackBytes(const std::vector<uint8_t>& packed, size_t rawSize)
{
    std::vector<uint8_t> out;
    out.reserve(rawSize);
    size_t i = 0;
    while (i < packed.size())
    {
        const uint8_t t = packed[i++];
        if (t < 128)
        {
            const size_t n = size_t(t) + 1;
            if (i + n > packed.size())
                break;
            out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
            i += n;
        }
        else
        {
            if (i + 2 > packed.size())
                break;
            const size_t length = size_t(t - 128) + kMinMatch;
            const size_t distance = size_t(packed[i]) | size_t(packed[i + 1]) << 8;
            i += 2;
            if (distance == 0 || distance > out.size())
                break;
            for (size_t k = 0; k < length; ++k)
                out.push_back(out[out.size() - distance]);
        }
    }
    return out;
}
