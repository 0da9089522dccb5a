#include "StrokeFont.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace
{
struct Glyph
{
    char c;
    float advance;     // in grid units, without tracking
    const char* paths; // polylines "x,y x,y ...", separated by ';'
};

// Capitals are 4 units wide and 6 high (y down), round letters cut as octagons
// so they keep an engineered look at small sizes.
const Glyph kGlyphs[] = {
    {' ', 3, ""},
    {'A', 4, "0,6 0,2 1.5,0 2.5,0 4,2 4,6;0,3.6 4,3.6"},
    {'B', 4, "0,0 3,0 4,1 4,2 3,3 0,3;3,3 4,4 4,5 3,6 0,6 0,0"},
    {'C', 4, "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5"},
    {'D', 4, "0,0 2.5,0 4,1.5 4,4.5 2.5,6 0,6 0,0"},
    {'E', 4, "4,0 0,0 0,6 4,6;0,3 3,3"},
    {'F', 4, "4,0 0,0 0,6;0,3 3,3"},
    {'G', 4, "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.2 2.2,3.2"},
    {'H', 4, "0,0 0,6;4,0 4,6;0,3 4,3"},
    {'I', 0, "0,0 0,6"},
    {'J', 4, "4,0 4,5 3,6 1,6 0,5"},
    {'K', 4, "0,0 0,6;4,0 0,3.6;1.4,2.8 4,6"},
    {'L', 4, "0,0 0,6 4,6"},
    {'M', 5, "0,6 0,0 2.5,3.5 5,0 5,6"},
    {'N', 4, "0,6 0,0 4,6 4,0"},
    {'O', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
    {'P', 4, "0,6 0,0 3,0 4,1 4,2.4 3,3.4 0,3.4"},
    {'Q', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0;2.6,4.4 4.2,6.2"},
    {'R', 4, "0,6 0,0 3,0 4,1 4,2.4 3,3.4 0,3.4;2,3.4 4,6"},
    {'S', 4, "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5"},
    {'T', 4, "0,0 4,0;2,0 2,6"},
    {'U', 4, "0,0 0,5 1,6 3,6 4,5 4,0"},
    {'V', 4, "0,0 2,6 4,0"},
    {'W', 6, "0,0 1.5,6 3,1.5 4.5,6 6,0"},
    {'X', 4, "0,0 4,6;4,0 0,6"},
    {'Y', 4, "0,0 2,3 4,0;2,3 2,6"},
    {'Z', 4, "0,0 4,0 0,6 4,6"},
    {'0', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
    {'1', 2, "0,1 1.5,0 1.5,6"},
    {'2', 4, "0,1 1,0 3,0 4,1 4,2 0,6 4,6"},
    {'3', 4, "0,0 4,0 2,2.6 3,2.6 4,3.6 4,5 3,6 1,6 0,5"},
    {'4', 4, "3,6 3,0 0,4 4,4"},
    {'5', 4, "4,0 0,0 0,2.6 3,2.6 4,3.6 4,5 3,6 1,6 0,5"},
    {'6', 4, "3.5,0 1.5,0 0,1.5 0,5 1,6 3,6 4,5 4,3.8 3,2.8 0,2.8"},
    {'7', 4, "0,0 4,0 1.5,6"},
    {'8', 4, "1,0 3,0 4,1 4,2 3,3 1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3;1,3 0,2 0,1 1,0"},
    {'9', 4, "0.5,6 2.5,6 4,4.5 4,1 3,0 1,0 0,1 0,2.2 1,3.2 4,3.2"},
    {'-', 3, "0,3 3,3"},
    {'+', 4, "0,3 4,3;2,1 2,5"},
    {'.', 0, "0,5.6 0,6"},
    {'/', 3, "0,6 3,0"},
    {'&', 4, "4,6 1,2 1,1 1.8,0 2.6,0 3.2,1 3.2,1.8 0,4 0,5 1,6 2.5,6 4,4"},
};

const Glyph* find(char c)
{
    c = char(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

std::vector<float> segmentsOf(const Glyph& g, float x, float y, float unit)
{
    std::vector<float> out;
    std::string paths(g.paths);
    std::stringstream all(paths);
    std::string path;
    while (std::getline(all, path, ';'))
    {
        std::stringstream points(path);
        std::string point;
        bool havePrevious = false;
        float px = 0, py = 0;
        while (points >> point)
        {
            const size_t comma = point.find(',');
            const float gx = std::strtof(point.substr(0, comma).c_str(), nullptr);
            const float gy = std::strtof(point.substr(comma + 1).c_str(), nullptr);
            const float qx = x + gx * unit, qy = y + gy * unit;
            if (havePrevious)
                out.insert(out.end(), {px, py, qx, qy});
            px = qx;
            py = qy;
            havePrevious = true;
        }
    }
    return out;
}
} // namespace

float StrokeFont::width(const std::string& text, float capHeight, float tracking)
{
    const float unit = capHeight / 6.0f;
    float w = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const Glyph* g = find(text[i]);
        w += (g ? g->advance : 3) * unit + (i + 1 < text.size() ? tracking : 0);
    }
    return w;
}

void StrokeFont::draw(Canvas& canvas, float x, float y, const std::string& text, float capHeight, float strokeWidth,
                      float tracking, const Colour& ink)
{
    const float unit = capHeight / 6.0f;
    std::vector<float> segs;
    for (char c : text)
    {
        const Glyph* g = find(c);
        if (g)
        {
            const std::vector<float> s = segmentsOf(*g, x, y, unit);
            segs.insert(segs.end(), s.begin(), s.end());
        }
        x += (g ? g->advance : 3) * unit + tracking;
    }
    canvas.strokeSegments(segs, strokeWidth, ink);
}

void StrokeFont::drawEngraved(Canvas& canvas, float x, float y, const std::string& text, float capHeight,
                              float strokeWidth, float tracking, const Colour& ink)
{
    draw(canvas, x, y + 1, text, capHeight, strokeWidth, tracking, Colour::rgb(0, 0, 0, 0.6f));
    draw(canvas, x, y, text, capHeight, strokeWidth, tracking, ink);
}
