// Colours as red, green, blue and alpha bytes; only blending uses alpha.
#pragma once

namespace VSTGUI
{

struct CColor
{
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    unsigned char alpha = 255;

    bool operator==(const CColor& other) const
    {
        return red == other.red && green == other.green && blue == other.blue && alpha == other.alpha;
    }
    bool operator!=(const CColor& other) const { return !(*this == other); }
};

constexpr CColor kTransparentCColor = {255, 255, 255, 0};
constexpr CColor kBlackCColor = {0, 0, 0, 255};
constexpr CColor kWhiteCColor = {255, 255, 255, 255};
constexpr CColor kGreyCColor = {127, 127, 127, 255};
constexpr CColor kRedCColor = {255, 0, 0, 255};
constexpr CColor kGreenCColor = {0, 255, 0, 255};
constexpr CColor kBlueCColor = {0, 0, 255, 255};
constexpr CColor kYellowCColor = {255, 255, 0, 255};
constexpr CColor kMagentaCColor = {255, 0, 255, 255};
constexpr CColor kCyanCColor = {0, 255, 255, 255};

} // namespace VSTGUI
