#include "ColourQuantizer.h"

#include <algorithm>
#include <unordered_map>

namespace
{
constexpr size_t kMaxColours = 256;
constexpr size_t kMaxReserved = 96;

int channel(uint32_t c, int k) { return int((c >> (16 - 8 * k)) & 255u); }

struct Entry
{
    uint32_t colour;
    uint32_t count;
};

struct Box
{
    std::vector<Entry> entries;
    int widestChannel() const
    {
        int best = 0, bestRange = -1;
        for (int k = 0; k < 3; ++k)
        {
            int lo = 255, hi = 0;
            for (const Entry& e : entries)
            {
                lo = std::min(lo, channel(e.colour, k));
                hi = std::max(hi, channel(e.colour, k));
            }
            if (hi - lo > bestRange)
            {
                bestRange = hi - lo;
                best = k;
            }
        }
        return bestRange > 0 ? best : -1;
    }
    uint64_t weight() const
    {
        uint64_t w = 0;
        for (const Entry& e : entries)
            w += e.count;
        return w;
    }
    uint32_t mean() const
    {
        double sum[3] = {0, 0, 0}, total = 0;
        for (const Entry& e : entries)
        {
            for (int k = 0; k < 3; ++k)
                sum[k] += double(channel(e.colour, k)) * e.count;
            total += e.count;
        }
        uint32_t out = 0xFF000000u;
        for (int k = 0; k < 3; ++k)
            out |= uint32_t(sum[k] / total + 0.5) << (16 - 8 * k);
        return out;
    }
};

int distance(uint32_t a, uint32_t b)
{
    const int dr = channel(a, 0) - channel(b, 0), dg = channel(a, 1) - channel(b, 1),
              db = channel(a, 2) - channel(b, 2);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}
} // namespace

PalettedImage quantize(const Image& image)
{
    std::unordered_map<uint32_t, uint32_t> counts;
    for (uint32_t p : image.pixels)
        ++counts[p | 0xFF000000u];
    std::vector<Entry> entries;
    for (const auto& kv : counts)
        entries.push_back({kv.first, kv.second});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.count != b.count ? a.count > b.count : a.colour < b.colour;
    });

    std::vector<uint32_t> palette;
    if (entries.size() <= kMaxColours)
    {
        for (const Entry& e : entries)
            palette.push_back(e.colour);
    }
    else
    {
        // Keep the dominant colours exactly.
        const uint32_t frequent = std::max<uint32_t>(32, uint32_t(image.pixels.size() / 400));
        size_t reserved = 0;
        while (reserved < kMaxReserved && entries[reserved].count >= frequent)
            palette.push_back(entries[reserved++].colour);

        std::vector<Box> boxes(1);
        boxes[0].entries.assign(entries.begin() + long(reserved), entries.end());
        while (palette.size() + boxes.size() < kMaxColours)
        {
            // Split the heaviest box that still has a spread.
            int pick = -1;
            uint64_t heaviest = 0;
            for (size_t i = 0; i < boxes.size(); ++i)
                if (boxes[i].entries.size() > 1 && boxes[i].widestChannel() >= 0 && boxes[i].weight() > heaviest)
                {
                    heaviest = boxes[i].weight();
                    pick = int(i);
                }
            if (pick < 0)
                break;
            Box& box = boxes[size_t(pick)];
            const int k = box.widestChannel();
            std::sort(box.entries.begin(), box.entries.end(),
                      [k](const Entry& a, const Entry& b) { return channel(a.colour, k) < channel(b.colour, k); });
            uint64_t half = box.weight() / 2, running = 0;
            size_t cut = 0;
            while (cut + 1 < box.entries.size() && running + box.entries[cut].count <= half)
                running += box.entries[cut++].count;
            cut = std::max<size_t>(cut, 1);
            Box upper;
            upper.entries.assign(box.entries.begin() + long(cut), box.entries.end());
            box.entries.resize(cut);
            boxes.push_back(std::move(upper));
        }
        for (const Box& b : boxes)
            if (!b.entries.empty())
                palette.push_back(b.mean());
    }

    std::unordered_map<uint32_t, uint8_t> lookup;
    for (size_t i = 0; i < palette.size(); ++i)
        lookup.emplace(palette[i], uint8_t(i));
    PalettedImage out;
    out.palette = palette;
    out.indices.reserve(image.pixels.size());
    for (uint32_t p : image.pixels)
    {
        p |= 0xFF000000u;
        auto it = lookup.find(p);
        if (it == lookup.end())
        {
            size_t best = 0;
            int bestDistance = distance(p, palette[0]);
            for (size_t i = 1; i < palette.size(); ++i)
            {
                const int d = distance(p, palette[i]);
                if (d < bestDistance)
                {
                    bestDistance = d;
                    best = i;
                }
            }
            it = lookup.emplace(p, uint8_t(best)).first;
        }
        out.indices.push_back(it->second);
    }
    return out;
}

Image expand(const PalettedImage& paletted, int width, int height)
{
    Image out(width, height);
    for (size_t i = 0; i < out.pixels.size(); ++i)
        out.pixels[i] = paletted.palette[paletted.indices[i]];
    return out;
}
