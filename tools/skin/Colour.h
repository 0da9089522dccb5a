// Colours in 0..1 floats while painting; bytes only when a picture is stored.
#pragma once

#include <algorithm>
#include <cstdint>

struct Colour
{
    float r = 0, g = 0, b = 0, a = 1;

    static Colour rgb(int r, int g, int b, float a = 1.0f) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }
    static Colour fromPixel(uint32_t p) { return rgb(int((p >> 16) & 255u), int((p >> 8) & 255u), int(p & 255u)); }

    Colour withAlpha(float alpha) const { return {r, g, b, alpha}; }

    uint32_t toPixel() const
    {
        auto byte = [](float v) {
            return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
        };
        return 0xFF000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
    }
};

inline Colour mix(const Colour& x, const Colour& y, float t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

inline Colour scaled(const Colour& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
