// Drawing contexts, offscreen contexts and bitmaps, checked pixel by pixel on
// the software device the Linux build draws with.
#include "tests/support/gui/GuiTestSupport.h"

#include "platform/ResourceBitmaps.h"
#include "platform/x11/FontRenderer.h"

#include <gtest/gtest.h>

using namespace VSTGUI;
using guitest::rgb;

namespace
{

// The pixels of the context that differ from the background, as a bounding box.
CRect paintedArea(const COffscreenContext& context, const CColor& background)
{
    CRect box(1 << 20, 1 << 20, -1, -1);
    for (int y = 0; y < context.getHeight(); ++y)
        for (int x = 0; x < context.getWidth(); ++x)
            if (context.getPixel(x, y) != background)
            {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

int countPixels(const COffscreenContext& context, const CColor& color)
{
    int count = 0;
    for (int y = 0; y < context.getHeight(); ++y)
        for (int x = 0; x < context.getWidth(); ++x)
            count += context.getPixel(x, y) == color;
    return count;
}

} // namespace

TEST(OffscreenContext, StartsEntirelyInItsBackgroundColour)
{
    COffscreenContext black(nullptr, 60, 370, kBlackCColor);
    EXPECT_EQ(countPixels(black, kBlackCColor), 60 * 370);

    const CColor teal = rgb(10, 120, 130);
    COffscreenContext coloured(nullptr, 33, 7, teal);
    EXPECT_EQ(countPixels(coloured, teal), 33 * 7);
    EXPECT_EQ(coloured.getFillColor(), teal);
    EXPECT_EQ(coloured.getFrameColor(), teal);
}

TEST(DrawContext, FillRectLeavesTheTopAndLeftEdge)
{
    COffscreenContext context(nullptr, 40, 40, kBlackCColor);
    context.setFillColor(kWhiteCColor);
    context.fillRect(CRect(10, 10, 20, 20));
    EXPECT_EQ(paintedArea(context, kBlackCColor), CRect(11, 11, 20, 20));
    EXPECT_EQ(countPixels(context, kWhiteCColor), 81);
}

TEST(DrawContext, DrawRectStylesCoverTheRectangleWithoutItsRightAndBottomLimits)
{
    struct Case
    {
        int style;
        int outlinePixels;
        int fillPixels;
    };
    // Style 0: the 36 edge pixels of a 10 x 10 box; 1: all 100 filled; 2: both.
    for (Case c : {Case{kDrawStroked, 36, 0}, Case{kDrawFilled, 0, 100}, Case{kDrawFilledAndStroked, 36, 64}})
    {
        COffscreenContext context(nullptr, 40, 40, kBlackCColor);
        context.setFillColor(kBlueCColor);
        context.setFrameColor(kRedCColor);
        context.drawRect(CRect(10, 10, 20, 20), c.style);
        SCOPED_TRACE(c.style);
        EXPECT_EQ(paintedArea(context, kBlackCColor), CRect(10, 10, 20, 20));
        EXPECT_EQ(countPixels(context, kRedCColor), c.outlinePixels);
        EXPECT_EQ(countPixels(context, kBlueCColor), c.fillPixels);
    }
}

TEST(DrawContext, LinesLeaveOutTheirEndPointAndFollowTheOffset)
{
    COffscreenContext context(nullptr, 40, 40, kBlackCColor);
    context.setFrameColor(kWhiteCColor);
    context.offset = CPoint(5, 3);
    context.moveTo(CPoint(0, 0));
    context.lineTo(CPoint(10, 0));
    EXPECT_EQ(paintedArea(context, kBlackCColor), CRect(5, 3, 15, 4));
    context.moveTo(CPoint(0, 10));
    context.lineTo(CPoint(4, 14));
    EXPECT_EQ(context.getPixel(5, 13), kWhiteCColor);
    EXPECT_EQ(context.getPixel(8, 16), kWhiteCColor);
    EXPECT_EQ(context.getPixel(9, 17), kBlackCColor);
}

TEST(DrawContext, DottedPensLeaveGapsAndWidePensGrow)
{
    COffscreenContext dotted(nullptr, 40, 10, kBlackCColor);
    dotted.setFrameColor(kWhiteCColor);
    dotted.setLineStyle(kLineOnOffDash);
    dotted.moveTo(CPoint(0, 5));
    dotted.lineTo(CPoint(30, 5));
    EXPECT_EQ(countPixels(dotted, kWhiteCColor), 15);

    COffscreenContext wide(nullptr, 40, 20, kBlackCColor);
    wide.setFrameColor(kWhiteCColor);
    wide.setLineWidth(3);
    wide.moveTo(CPoint(5, 10));
    wide.lineTo(CPoint(30, 10));
    CRect area = paintedArea(wide, kBlackCColor);
    EXPECT_EQ(area.height(), 3);
    EXPECT_EQ(area.top, 9);
}

TEST(DrawContext, ClipRectConfinesDrawing)
{
    COffscreenContext context(nullptr, 40, 40, kBlackCColor);
    context.setClipRect(CRect(0, 0, 15, 15));
    CRect clip;
    context.getClipRect(clip);
    EXPECT_EQ(clip, CRect(0, 0, 15, 15));
    context.setFillColor(kWhiteCColor);
    context.drawRect(CRect(10, 10, 30, 30), kDrawFilled);
    EXPECT_EQ(paintedArea(context, kBlackCColor), CRect(10, 10, 15, 15));
    context.resetClipRect();
    context.drawRect(CRect(10, 10, 30, 30), kDrawFilled);
    EXPECT_EQ(paintedArea(context, kBlackCColor), CRect(10, 10, 30, 30));
}

TEST(DrawContext, FontIndexOutsideTheTableFallsBackToTheBoldSystemFont)
{
    COffscreenContext reference(nullptr, 80, 20, kBlackCColor);
    reference.setFont(kNormalFont);
    reference.setFont(kSystemFont);
    EXPECT_EQ(reference.getFont(), kSystemFont);
    EXPECT_EQ(reference.getFontSize(), 12);
    reference.drawString("Gain", CRect(0, 0, 80, 20));

    COffscreenContext fallback(nullptr, 80, 20, kBlackCColor);
    fallback.setFont(kNormalFont);
    fallback.setFont(9);
    EXPECT_EQ(fallback.getFont(), kSystemFont);
    EXPECT_EQ(fallback.getFontSize(), 12);
    fallback.drawString("Gain", CRect(0, 0, 80, 20));

    int differences = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x)
            differences += reference.getPixel(x, y) != fallback.getPixel(x, y);
    EXPECT_EQ(differences, 0);
    EXPECT_GT(countPixels(fallback, kWhiteCColor), 10);

    // The regular face of the same size draws thinner strokes than the system font.
    COffscreenContext regular(nullptr, 80, 20, kBlackCColor);
    regular.setFont(kNormalFont, 12, kNormalFace);
    regular.drawString("Gain", CRect(0, 0, 80, 20));
    EXPECT_LT(80 * 20 - countPixels(regular, kBlackCColor), 80 * 20 - countPixels(fallback, kBlackCColor));
}

TEST(DrawContext, StringsAreAlignedAndVerticallyCentred)
{
    auto boxOf = [](CHoriTxtAlign align) {
        COffscreenContext context(nullptr, 120, 30, kBlackCColor);
        context.setFont(kNormalFontBig);
        context.drawString("Limit", CRect(10, 0, 110, 30), false, align);
        return paintedArea(context, kBlackCColor);
    };
    CRect left = boxOf(kLeftText);
    CRect centre = boxOf(kCenterText);
    CRect right = boxOf(kRightText);
    EXPECT_GE(left.left, 11);
    EXPECT_LE(left.left, 13);
    EXPECT_LE(right.right, 110);
    EXPECT_GE(right.right, 106);
    int middle = (centre.left + centre.right) / 2;
    EXPECT_NEAR(middle, 60, 3);
    EXPECT_NEAR((centre.top + centre.bottom) / 2, 15, 3);
    EXPECT_EQ(left.width(), right.width());
}

TEST(DrawContext, OpaqueStringsFillTheTextCellWithTheFillColour)
{
    COffscreenContext context(nullptr, 100, 30, kBlackCColor);
    context.setFillColor(kBlueCColor);
    context.setFontColor(kWhiteCColor);
    context.drawString("Ceiling", CRect(0, 0, 100, 30), true, kCenterText);
    int blue = countPixels(context, kBlueCColor);
    EXPECT_GT(blue, 100);
    // The cell is only as wide as the text: the corners stay untouched.
    EXPECT_EQ(context.getPixel(0, 0), kBlackCColor);
    EXPECT_EQ(context.getPixel(99, 29), kBlackCColor);

    // Transparent text leaves the background around the glyphs.
    COffscreenContext transparent(nullptr, 100, 30, kBlackCColor);
    transparent.setFillColor(kBlueCColor);
    transparent.drawString("Ceiling", CRect(0, 0, 100, 30), false, kCenterText);
    EXPECT_EQ(countPixels(transparent, kBlueCColor), 0);
}

TEST(DrawContext, FontsAreFoundByPath)
{
    platform::FontDescription arial;
    std::string file = platform::findFontFile(arial);
    ASSERT_FALSE(file.empty());
    EXPECT_NE(file.find("LiberationSans-Regular"), std::string::npos) << file;
    arial.bold = true;
    EXPECT_NE(platform::findFontFile(arial).find("Bold"), std::string::npos);
    // A cell of 12 pixels: ascent and descent add up to the requested size.
    EXPECT_EQ(platform::getRenderFont(arial).getHeight(), 12);
}

class BitmapCopies : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<uint32_t> pixels;
        // 4 x 2: black, red, green, blue / white, black, grey, black
        for (uint32_t p : {guitest::argb(0, 0, 0), guitest::argb(255, 0, 0), guitest::argb(0, 255, 0),
                           guitest::argb(0, 0, 255), guitest::argb(255, 255, 255), guitest::argb(0, 0, 0),
                           guitest::argb(100, 100, 100), guitest::argb(0, 0, 0)})
            pixels.push_back(p);
        bitmap = new CBitmap(4, 2, pixels.data());
    }
    void TearDown() override { bitmap->forget(); }
    CBitmap* bitmap = nullptr;
};

TEST_F(BitmapCopies, OpaqueCopyTakesTheAreaAtTheOffset)
{
    COffscreenContext context(nullptr, 10, 10, rgb(9, 9, 9));
    bitmap->draw(&context, CRect(2, 3, 5, 4), CPoint(1, 0));
    EXPECT_EQ(context.getPixel(2, 3), kRedCColor);
    EXPECT_EQ(context.getPixel(3, 3), kGreenCColor);
    EXPECT_EQ(context.getPixel(4, 3), kBlueCColor);
    EXPECT_EQ(context.getPixel(5, 3), rgb(9, 9, 9));
    EXPECT_EQ(context.getPixel(2, 4), rgb(9, 9, 9));
    // Beyond the picture nothing is drawn.
    bitmap->draw(&context, CRect(0, 0, 10, 10), CPoint(3, 1));
    EXPECT_EQ(context.getPixel(0, 0), kBlackCColor);
    EXPECT_EQ(context.getPixel(1, 0), rgb(9, 9, 9));
}

TEST_F(BitmapCopies, TransparentCopySkipsTheKeyColour)
{
    COffscreenContext context(nullptr, 10, 10, rgb(9, 9, 9));
    bitmap->drawTransparent(&context, CRect(0, 0, 4, 2));
    EXPECT_EQ(context.getPixel(0, 0), rgb(9, 9, 9));
    EXPECT_EQ(context.getPixel(1, 0), kRedCColor);
    EXPECT_EQ(context.getPixel(1, 1), rgb(9, 9, 9));
    EXPECT_EQ(context.getPixel(0, 1), kWhiteCColor);

    bitmap->setTransparentColor(kRedCColor);
    COffscreenContext keyed(nullptr, 10, 10, rgb(9, 9, 9));
    bitmap->drawTransparent(&keyed, CRect(0, 0, 4, 2));
    EXPECT_EQ(keyed.getPixel(0, 0), kBlackCColor);
    EXPECT_EQ(keyed.getPixel(1, 0), rgb(9, 9, 9));
}

TEST(BitmapCopy, AllBlackPictureDrawnTransparentlyChangesNothing)
{
    std::vector<uint32_t> black = guitest::solidPixels(16, 16, guitest::argb(0, 0, 0));
    CBitmap bitmap(16, 16, black.data());
    COffscreenContext context(nullptr, 20, 20, rgb(30, 60, 90));
    context.setFillColor(rgb(200, 10, 10));
    context.drawRect(CRect(0, 0, 8, 8), kDrawFilled);
    bitmap.drawTransparent(&context, CRect(0, 0, 16, 16));
    EXPECT_EQ(countPixels(context, rgb(200, 10, 10)), 64);
    EXPECT_EQ(countPixels(context, rgb(30, 60, 90)), 400 - 64);
}

TEST(BitmapCopy, BlendWithOpacity200Leaves55PartsOfTheTarget)
{
    std::vector<uint32_t> white = guitest::solidPixels(4, 4, guitest::argb(255, 255, 255));
    CBitmap bitmap(4, 4, white.data());
    COffscreenContext context(nullptr, 4, 4, kBlackCColor);
    bitmap.drawAlphaBlend(&context, CRect(0, 0, 4, 4), CPoint(0, 0), 200);
    EXPECT_EQ(context.getPixel(2, 2), rgb(200, 200, 200));

    std::vector<uint32_t> black = guitest::solidPixels(4, 4, guitest::argb(0, 0, 0));
    CBitmap shade(4, 4, black.data());
    COffscreenContext bright(nullptr, 4, 4, rgb(255, 102, 0));
    shade.drawAlphaBlend(&bright, CRect(0, 0, 4, 4), CPoint(0, 0), 200);
    EXPECT_EQ(bright.getPixel(0, 0), rgb(55, 22, 0));
    // Opacity 0 leaves the target, 255 replaces it.
    shade.drawAlphaBlend(&bright, CRect(0, 0, 4, 4), CPoint(0, 0), 0);
    EXPECT_EQ(bright.getPixel(0, 0), rgb(55, 22, 0));
    bitmap.drawAlphaBlend(&bright, CRect(0, 0, 4, 4), CPoint(0, 0), 255);
    EXPECT_EQ(bright.getPixel(0, 0), kWhiteCColor);
}

TEST(BitmapResources, LoadByNumberAndEmptyWhenMissing)
{
    std::vector<uint32_t> pixels = guitest::solidPixels(7, 5, guitest::argb(1, 2, 3));
    platform::overrideResourceBitmap(9001, 7, 5, pixels.data());
    CBitmap found(9001);
    EXPECT_TRUE(found.isLoaded());
    EXPECT_EQ(found.getWidth(), 7);
    EXPECT_EQ(found.getHeight(), 5);
    EXPECT_EQ(found.getResourceID(), 9001);
    COffscreenContext context(nullptr, 10, 10, kBlackCColor);
    found.draw(&context, CRect(0, 0, 7, 5));
    EXPECT_EQ(context.getPixel(6, 4), rgb(1, 2, 3));
    platform::overrideResourceBitmap(9001, 0, 0, nullptr);

    CBitmap missing(9002);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
    EXPECT_EQ(missing.getHeight(), 0);
    COffscreenContext untouched(nullptr, 10, 10, kBlackCColor);
    missing.draw(&untouched, CRect(0, 0, 10, 10));
    missing.drawTransparent(&untouched, CRect(0, 0, 10, 10));
    missing.drawAlphaBlend(&untouched, CRect(0, 0, 10, 10));
    EXPECT_EQ(countPixels(untouched, kBlackCColor), 100);

    EXPECT_FALSE(found.loadFromPath("/tmp/anything.bmp"));
    EXPECT_FALSE(found.isLoaded());
    EXPECT_EQ(found.getWidth(), 0);
}

TEST(OffscreenContext, CopyFromPlacesTheSourceAreaAtTheTargetsOffset)
{
    COffscreenContext source(nullptr, 20, 20, kBlackCColor);
    source.setFillColor(kGreenCColor);
    source.drawRect(CRect(5, 5, 10, 10), kDrawFilled);
    COffscreenContext target(nullptr, 40, 40, kWhiteCColor);
    target.offset = CPoint(10, 0);
    source.copyFrom(&target, CRect(0, 0, 10, 10), CPoint(5, 5));
    EXPECT_EQ(paintedArea(target, kWhiteCColor), CRect(10, 0, 20, 10));
    EXPECT_EQ(countPixels(target, kGreenCColor), 25);
}

TEST(DrawContext, StateSettersKeepTheirValues)
{
    COffscreenContext context(nullptr, 10, 10);
    EXPECT_EQ(context.getLineWidth(), 1);
    EXPECT_EQ(context.getLineStyle(), kLineSolid);
    EXPECT_EQ(context.getFontColor(), kWhiteCColor);
    context.setLineWidth(2);
    context.setLineStyle(kLineOnOffDash);
    context.setFontColor(kRedCColor);
    context.setFont(kNormalFontSmall, 0, kItalicFace | kUnderlineFace);
    EXPECT_EQ(context.getLineWidth(), 2);
    EXPECT_EQ(context.getLineStyle(), kLineOnOffDash);
    EXPECT_EQ(context.getFontColor(), kRedCColor);
    EXPECT_EQ(context.getFont(), kNormalFontSmall);
    EXPECT_EQ(context.getFontSize(), 11);
    EXPECT_EQ(context.getFontStyle(), kItalicFace | kUnderlineFace);
    EXPECT_GT(context.getStringWidth("Release"), 20);
    EXPECT_EQ(context.getStringWidth(""), 0);
}
