// A small vector font (capitals, digits, a few signs) for headings and the
// product name: glyphs are polylines on a grid 6 units high, drawn as
// anti-aliased strokes at any size.
#pragma once

#include "Canvas.h"

#include <string>

namespace StrokeFont
{
// Width of the text in pixels for a cap height of capHeight pixels.
float width(const std::string& text, float capHeight, float tracking);

// Draws text with the top of the capitals at y.
void draw(Canvas& canvas, float x, float y, const std::string& text, float capHeight, float strokeWidth, float tracking,
          const Colour& ink);

// As draw, with a dark shadow below so the letters sit on the panel.
void drawEngraved(Canvas& canvas, float x, float y, const std::string& text, float capHeight, float strokeWidth,
                  float tracking, const Colour& ink);
} // namespace StrokeFont
