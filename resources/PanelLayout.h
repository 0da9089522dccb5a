// Where everything sits on the editor's 524 x 462 panel (left, top, right,
// bottom in editor pixels, right and bottom exclusive) and which skin bitmap
// each control shows. The skin painter lays its labels and backdrops out by
// these rectangles and the editor places its views on them, so the pictures
// and the controls cannot drift apart. Plain data: the skin generator reads it
// at build time without the rest of the plug-in.
#pragma once

namespace PanelLayout
{
struct Rect
{
    int left, top, right, bottom;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr float centreX() const { return (left + right) * 0.5f; }
    constexpr float centreY() const { return (top + bottom) * 0.5f; }
};

constexpr int kEditorWidth = 524;
constexpr int kEditorHeight = 462;

struct Placement
{
    const char* name;
    int bitmap;      // skin resource number
    int frameHeight; // height of one picture in the bitmap
    Rect rect;
};

// Every control with a bitmap of its own, in the editor's creation order.
enum class Control
{
    DetectorOrder,
    Oversample,
    MeterMode,
    Quantize,
    Autoblack,
    Bits,
    NoiseShape,
    Calibrate,
    AttZoom,
    AttShow1,
    AttShow2,
    AttShow4,
    Transient,
    Release,
    Leveller,
    Link,
    TransShape,
    Power,
    Drive,
    Output,
    AutoOut,
    PostMeter,
    MeterOvs,
    TruePeakGuard,
    SaveBank,
    LoadBank,
    SavePreset,
    LoadPreset,
    PresetStep,
    StoreA,
    RecallA,
    StoreB,
    RecallB,
    Count
};

constexpr int kControlCount = static_cast<int>(Control::Count);

constexpr Placement kControls[kControlCount] = {
    {"DetectorOrder", 139, 19, {44, 40, 77, 59}},  {"Oversample", 140, 19, {81, 40, 114, 59}},
    {"MeterMode", 141, 56, {223, 305, 258, 361}},  {"Quantize", 162, 19, {412, 40, 445, 59}},
    {"Autoblack", 163, 19, {449, 40, 482, 59}},    {"Bits", 142, 19, {412, 78, 445, 97}},
    {"NoiseShape", 143, 19, {449, 78, 482, 97}},   {"Calibrate", 145, 19, {269, 341, 302, 360}},
    {"AttZoom", 144, 19, {269, 265, 302, 284}},    {"AttShow1", 164, 19, {224, 265, 257, 284}},
    {"AttShow2", 165, 19, {224, 230, 257, 249}},   {"AttShow4", 166, 19, {269, 230, 302, 249}},
    {"Transient", 152, 48, {55, 169, 105, 217}},   {"Release", 153, 47, {56, 267, 105, 314}},
    {"Leveller", 147, 47, {421, 169, 469, 216}},   {"Link", 148, 47, {421, 267, 469, 314}},
    {"TransShape", 146, 25, {38, 121, 128, 146}},  {"Power", 149, 35, {245, 400, 280, 435}},
    {"Drive", 150, 55, {52, 349, 108, 404}},       {"Output", 151, 56, {417, 349, 475, 405}},
    {"AutoOut", 161, 24, {394, 368, 412, 392}},    {"PostMeter", 161, 24, {116, 368, 134, 392}},
    {"MeterOvs", 160, 19, {269, 307, 302, 326}},   {"TruePeakGuard", 168, 19, {81, 74, 114, 93}},
    {"SaveBank", 992, 14, {28, 447, 43, 461}},     {"LoadBank", 991, 14, {81, 447, 96, 461}},
    {"SavePreset", 992, 14, {108, 447, 123, 461}}, {"LoadPreset", 991, 14, {171, 447, 186, 461}},
    {"PresetStep", 997, 14, {332, 447, 364, 461}}, {"StoreA", 992, 14, {382, 447, 397, 461}},
    {"RecallA", 991, 14, {415, 447, 430, 461}},    {"StoreB", 992, 14, {446, 447, 461, 461}},
    {"RecallB", 991, 14, {480, 447, 495, 461}},
};

constexpr const Placement& placement(Control control) { return kControls[static_cast<int>(control)]; }

// The six number fields under the knobs and the glyph strip each one prints
// with (159 light on dark, 158 dark on light).
struct Field
{
    const char* name;
    int font;
    Rect rect;
};

enum class NumberField
{
    Drive,
    Output,
    Transient,
    Release,
    Leveller,
    Link,
    Count
};

constexpr int kFieldCount = static_cast<int>(NumberField::Count);

constexpr Field kFields[kFieldCount] = {
    {"Drive", 159, {43, 411, 117, 424}},     {"Output", 159, {410, 411, 484, 424}},
    {"Transient", 158, {45, 220, 119, 233}}, {"Release", 158, {45, 318, 119, 331}},
    {"Leveller", 158, {411, 220, 485, 233}}, {"Link", 158, {411, 318, 485, 331}},
};

constexpr const Field& field(NumberField which) { return kFields[static_cast<int>(which)]; }

// Meters and panels drawn by code.
constexpr int kBarTop = 42;     // highest bar top
constexpr int kBarBottom = 402; // bars grow upwards from here
constexpr int kBarWidth = 15;
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

static_assert(kInputBars[0].width() == kBarWidth && kReductionBars[1].width() == kBarWidth,
              "every bar is one bitmap column wide");
static_assert(kInputBars[0].top == kBarTop && kInputBars[0].bottom == kBarBottom, "bars span the scale");
static_assert(kPresetBar.bottom == kEditorHeight && kPresetBar.width() == kEditorWidth, "the bar closes the panel");
} // namespace PanelLayout
