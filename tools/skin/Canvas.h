// A floating-point painting surface with anti-aliased shapes. Every shape is
// a signed distance function evaluated at pixel centres, so edges get exact
// coverage without supersampling and thin strokes stay crisp when they sit on
// pixel centres.
#pragma once

#include "Colour.h"
#include "Image.h"

#include <functional>
#include <vector>

class Canvas
{
public:
    using Shader = std::function<Colour(float x, float y)>;
    using Distance = std::function<float(float x, float y)>;

    Canvas(int width, int height, Colour fill = Colour::rgb(0, 0, 0));
    explicit Canvas(const Image& from);

    int width() const { return w; }
    int height() const { return h; }

    Colour get(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
    void set(int x, int y, const Colour& c);
    // Source-over blend of c with its alpha times coverage.
    void blend(int x, int y, const Colour& c, float coverage = 1.0f);

    // Fills where distance < 0 inside the box (x0, y0)..(x1, y1); softness
    // widens the edge ramp (1 = plain anti-aliasing, more = blurred shadow).
    void fill(float x0, float y0, float x1, float y1, const Distance& distance, const Shader& shader,
              float softness = 1.0f);

    void fillRect(float x0, float y0, float x1, float y1, const Colour& c);
    void fillRect(float x0, float y0, float x1, float y1, const Shader& s);
    void fillRoundRect(float x0, float y0, float x1, float y1, float radius, const Shader& s, float softness = 1.0f);
    void fillRoundRect(float x0, float y0, float x1, float y1, float radius, const Colour& c, float softness = 1.0f);
    // An outline of the given width centred on the rounded rectangle's edge.
    void strokeRoundRect(float x0, float y0, float x1, float y1, float radius, float width, const Colour& c);
    void fillCircle(float cx, float cy, float radius, const Shader& s, float softness = 1.0f);
    void fillCircle(float cx, float cy, float radius, const Colour& c, float softness = 1.0f);
    void ring(float cx, float cy, float radius, float width, const Colour& c);
    // Arc of a circle from angle a0 to a1 (radians, clockwise from 12 o'clock),
    // stroked with the given width and round caps when roundCaps is set.
    void arc(float cx, float cy, float radius, float width, float a0, float a1, const Shader& s, bool roundCaps);
    void line(float x0, float y0, float x1, float y1, float width, const Colour& c);
    // A set of segments drawn as one shape, so joints do not double-blend.
    void strokeSegments(const std::vector<float>& segs, float width, const Colour& c, float softness = 1.0f);

    Image toImage() const;

private:
    int w, h;
    std::vector<Colour> px;
};

// Distance helpers shared by painters that compose their own shapes.
float roundRectDistance(float x, float y, float x0, float y0, float x1, float y1, float radius);
float segmentDistance(float x, float y, float ax, float ay, float bx, float by);
