#include "Canvas.h"

#include <cmath>

namespace
{
constexpr float kPi = 3.14159265358979f;
}

float roundRectDistance(float x, float y, float x0, float y0, float x1, float y1, float radius)
{
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float segmentDistance(float x, float y, float ax, float ay, float bx, float by)
{
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
    const float ex = px - dx * t, ey = py - dy * t;
    return std::sqrt(ex * ex + ey * ey);
}

Canvas::Canvas(int width, int height, Colour fill) : w(width), h(height), px(size_t(width) * size_t(height), fill) {}

Canvas::Canvas(const Image& from) : w(from.width), h(from.height), px(from.pixels.size())
{
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = Colour::fromPixel(from.pixels[i]);
}

void Canvas::set(int x, int y, const Colour& c)
{
    if (x >= 0 && y >= 0 && x < w && y < h)
        px[size_t(y) * size_t(w) + size_t(x)] = c;
}

void Canvas::blend(int x, int y, const Colour& c, float coverage)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    const float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    if (a <= 0)
        return;
    Colour& d = px[size_t(y) * size_t(w) + size_t(x)];
    d.r += (c.r - d.r) * a;
    d.g += (c.g - d.g) * a;
    d.b += (c.b - d.b) * a;
}

void Canvas::fill(float x0, float y0, float x1, float y1, const Distance& distance, const Shader& shader,
                  float softness)
{
    const int ix0 = std::max(0, int(std::floor(x0 - softness)));
    const int iy0 = std::max(0, int(std::floor(y0 - softness)));
    const int ix1 = std::min(w, int(std::ceil(x1 + softness)));
    const int iy1 = std::min(h, int(std::ceil(y1 + softness)));
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x)
        {
            const float fx = x + 0.5f, fy = y + 0.5f;
            const float d = distance(fx, fy);
            const float coverage = std::clamp(0.5f - d / softness, 0.0f, 1.0f);
            if (coverage > 0)
                blend(x, y, shader(fx, fy), coverage);
        }
}

void Canvas::fillRect(float x0, float y0, float x1, float y1, const Colour& c)
{
    fillRect(x0, y0, x1, y1, [c](float, float) { return c; });
}

void Canvas::fillRect(float x0, float y0, float x1, float y1, const Shader& s)
{
    // Exact area coverage, so whole-pixel rectangles stay hard-edged.
    for (int y = std::max(0, int(std::floor(y0))); y < std::min(h, int(std::ceil(y1))); ++y)
        for (int x = std::max(0, int(std::floor(x0))); x < std::min(w, int(std::ceil(x1))); ++x)
        {
            const float cx = std::min(x1, x + 1.0f) - std::max(x0, float(x));
            const float cy = std::min(y1, y + 1.0f) - std::max(y0, float(y));
            if (cx > 0 && cy > 0)
                blend(x, y, s(x + 0.5f, y + 0.5f), cx * cy);
        }
}

void Canvas::fillRoundRect(float x0, float y0, float x1, float y1, float radius, const Shader& s, float softness)
{
    fill(
        x0, y0, x1, y1, [=](float x, float y) { return roundRectDistance(x, y, x0, y0, x1, y1, radius); }, s, softness);
}

void Canvas::fillRoundRect(float x0, float y0, float x1, float y1, float radius, const Colour& c, float softness)
{
    fillRoundRect(
        x0, y0, x1, y1, radius, [c](float, float) { return c; }, softness);
}

void Canvas::strokeRoundRect(float x0, float y0, float x1, float y1, float radius, float width, const Colour& c)
{
    fill(
        x0 - width, y0 - width, x1 + width, y1 + width,
        [=](float x, float y) { return std::fabs(roundRectDistance(x, y, x0, y0, x1, y1, radius)) - width * 0.5f; },
        [c](float, float) { return c; });
}

void Canvas::fillCircle(float cx, float cy, float radius, const Shader& s, float softness)
{
    fill(
        cx - radius, cy - radius, cx + radius, cy + radius,
        [=](float x, float y) { return std::hypot(x - cx, y - cy) - radius; }, s, softness);
}

void Canvas::fillCircle(float cx, float cy, float radius, const Colour& c, float softness)
{
    fillCircle(
        cx, cy, radius, [c](float, float) { return c; }, softness);
}

void Canvas::ring(float cx, float cy, float radius, float width, const Colour& c)
{
    const float r = radius + width;
    fill(
        cx - r, cy - r, cx + r, cy + r,
        [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - radius) - width * 0.5f; },
        [c](float, float) { return c; });
}

void Canvas::arc(float cx, float cy, float radius, float width, float a0, float a1, const Shader& s, bool roundCaps)
{
    if (a1 < a0)
        std::swap(a0, a1);
    const float mid = (a0 + a1) * 0.5f, half = (a1 - a0) * 0.5f;
    const float ex0 = cx + radius * std::sin(a0), ey0 = cy - radius * std::cos(a0);
    const float ex1 = cx + radius * std::sin(a1), ey1 = cy - radius * std::cos(a1);
    const float r = radius + width;
    fill(
        cx - r, cy - r, cx + r, cy + r,
        [=](float x, float y) {
            const float dx = x - cx, dy = y - cy;
            float a = std::atan2(dx, -dy) - mid;
            while (a > kPi)
                a -= 2 * kPi;
            while (a < -kPi)
                a += 2 * kPi;
            const float radial = std::fabs(std::hypot(dx, dy) - radius) - width * 0.5f;
            if (std::fabs(a) <= half)
                return radial;
            if (roundCaps)
                return std::min(std::hypot(x - ex0, y - ey0), std::hypot(x - ex1, y - ey1)) - width * 0.5f;
            // Butt ends: distance to the end rays, intersected with the ring.
            const float along = std::hypot(dx, dy) * std::sin(std::fabs(a) - half);
            return std::max(radial, along);
        },
        s, 1.0f);
}

void Canvas::line(float x0, float y0, float x1, float y1, float width, const Colour& c)
{
    strokeSegments({x0, y0, x1, y1}, width, c);
}

void Canvas::strokeSegments(const std::vector<float>& segs, float width, const Colour& c, float softness)
{
    if (segs.size() < 4)
        return;
    float bx0 = segs[0], by0 = segs[1], bx1 = segs[0], by1 = segs[1];
    for (size_t i = 0; i + 1 < segs.size(); i += 2)
    {
        bx0 = std::min(bx0, segs[i]);
        bx1 = std::max(bx1, segs[i]);
        by0 = std::min(by0, segs[i + 1]);
        by1 = std::max(by1, segs[i + 1]);
    }
    const float pad = width + softness;
    fill(
        bx0 - pad, by0 - pad, bx1 + pad, by1 + pad,
        [&](float x, float y) {
            float d = 1e9f;
            for (size_t i = 0; i + 3 < segs.size(); i += 4)
                d = std::min(d, segmentDistance(x, y, segs[i], segs[i + 1], segs[i + 2], segs[i + 3]));
            return d - width * 0.5f;
        },
        [c](float, float) { return c; }, softness);
}

Image Canvas::toImage() const
{
    Image out(w, h);
    for (size_t i = 0; i < px.size(); ++i)
        out.pixels[i] = px[i].toPixel();
    return out;
}
