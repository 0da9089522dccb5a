// Points and rectangles in pixels. A rectangle contains its right and bottom
// edges for hit tests, and touching rectangles overlap.
#pragma once

#include <algorithm>

namespace VSTGUI
{

struct CPoint
{
    int x = 0;
    int y = 0;

    CPoint() = default;
    CPoint(int x, int y) : x(x), y(y) {}

    CPoint& offset(int dx, int dy)
    {
        x += dx;
        y += dy;
        return *this;
    }
    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }
};

struct CRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    CRect() = default;
    CRect(int left, int top, int right, int bottom) : left(left), top(top), right(right), bottom(bottom) {}

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    int getWidth() const { return width(); }
    int getHeight() const { return height(); }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& moveTo(int x, int y) { return offset(x - left, y - top); }
    CRect& inset(int dx, int dy)
    {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
        return *this;
    }
    // Intersection; an empty result keeps right >= left and bottom >= top.
    CRect& bound(const CRect& other)
    {
        left = std::max(left, other.left);
        top = std::max(top, other.top);
        right = std::max(left, std::min(right, other.right));
        bottom = std::max(top, std::min(bottom, other.bottom));
        return *this;
    }
    bool pointInside(const CPoint& where) const
    {
        return where.x >= left && where.x <= right && where.y >= top && where.y <= bottom;
    }
    bool rectOverlap(const CRect& other) const
    {
        return !(right < other.left || left > other.right || bottom < other.top || top > other.bottom);
    }
    CPoint topLeft() const { return CPoint(left, top); }

    bool operator==(const CRect& other) const
    {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
    bool operator!=(const CRect& other) const { return !(*this == other); }
};

} // namespace VSTGUI
