// Where the editor puts its controls (left, top, right, bottom in editor
// pixels, right and bottom exclusive) and which bitmap each one shows. The
// panel painter places its labels by these rectangles, the control painters
// take the panel under them as their backdrop, and the mock-up pastes the
// bitmaps there.
#pragma once

#include <vector>

struct Rect
{
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    float centreX() const { return (left + right) * 0.5f; }
    float centreY() const { return (top + bottom) * 0.5f; }
};

namespace SkinLayout
{
constexpr int kEditorWidth = 524;
constexpr int kEditorHeight = 462;

struct Placement
{
    const char* name;
    int bitmap;       // resource number, 0 for controls drawn by code only
    int frameHeight;  // height of one picture in the bitmap, 0 when the bitmap is not a film strip
    Rect rect;
};

// Every control with a bitmap of its own, in the editor's creation order.
const std::vector<Placement>& placements();
// The placement of the control named so (the first one, for shared bitmaps).
const Placement& placement(const char* name);

// Meter geometry fixed by the drawing code.
constexpr int kBarTop = 42;          // highest bar top
constexpr int kBarBottom = 402;      // bars grow upwards from here
constexpr int kPixelsPerDb = 6;
constexpr Rect kInputScale{164, 38, 191, 405};
constexpr Rect kOutputScale{335, 38, 362, 405};
constexpr Rect kInputBars[2] = {{150, 42, 165, 402}, {191, 42, 206, 402}};
constexpr Rect kOutputBars[2] = {{320, 42, 335, 402}, {363, 42, 378, 402}};
constexpr Rect kReductionBars[2] = {{234, 42, 249, 187}, {275, 42, 290, 187}};
constexpr Rect kInputMeter{147, 38, 207, 408};
constexpr Rect kOutputMeter{319, 38, 379, 406};
constexpr Rect kReductionMeter{233, 39, 291, 192};
constexpr Rect kInputReadout{131, 415, 224, 426};
constexpr Rect kOutputReadout{303, 415, 396, 426};
constexpr Rect kReductionReadout{217, 199, 310, 210};
constexpr Rect kAboutButton{224, 370, 301, 401};
constexpr Rect kAboutPanel{43, 294, 481, 430};
constexpr Rect kPresetBar{0, 447, 524, 462};
constexpr Rect kNameField{202, 447, 313, 461};
constexpr Rect kPresetMenu{314, 447, 325, 461};
}
