// The meters as the user sees them. First the meter controls on their own,
// drawn into an offscreen picture with the real skin, for the ballistics on
// the tick count and the readouts' texts and colours; then the whole editor
// on Xvfb showing signals processed by the real kernel, read back from the
// screen with XGetImage.
#include "tests/EditorHarness.h"

#include "editor/CBarMeter.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterLCD.h"
#include "gui/cbitmap.h"
#include "gui/coffscreencontext.h"

#include <cmath>
#include <cstring>

using namespace VSTGUI;

namespace
{

float fromDecibels(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

// Anything that reads pixels: the screen or an offscreen picture.
using PixelAt = std::function<uint32_t(int x, int y)>;

PixelAt pixelsOf(const Screenshot& shot)
{
    return [&shot](int x, int y) {
        return shot.at(x, y);
    };
}

PixelAt pixelsOf(COffscreenContext& picture)
{
    return [&picture](int x, int y) {
        const CColor c = picture.getPixel(x, y);
        return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | c.blue;
    };
}

// Does the bar at barX (15 pixels wide, from y 42 to 402) show n lit pixels?
// Every row shows the lit or the unlit bitmap at row y + rowOffset; marker
// rows (three from markerTop) show the lit one whatever n is.
bool showsBar(const PixelAt& pixel, int barX, int n, int litId, int unlitId, int rowOffset, int markerTop = -1)
{
    for (int y = 42; y < 402; ++y)
    {
        const bool lit = y >= 402 - n || (markerTop >= 0 && y >= markerTop && y < markerTop + 3);
        for (int x = 0; x < 15; ++x)
            if (pixel(barX + x, y) != skinPixel(lit ? litId : unlitId, x, y + rowOffset))
                return false;
    }
    return true;
}

// The length of the bar on screen, when exactly one length fits; -1 otherwise.
int peakBarLength(const PixelAt& pixel, int barX)
{
    int found = -1;
    for (int n = 0; n <= 360; ++n)
        if (showsBar(pixel, barX, n, 130, 155, 6))
        {
            if (found >= 0)
                return -1;
            found = n;
        }
    return found;
}

// Pixels of the gain-reduction bar at x, growing down from y 42.
int reductionBarLength(const PixelAt& pixel, int x)
{
    int n = 0;
    while (n < 150 && pixel(x + 7, 42 + n) == skinPixel(156, 7, n))
        ++n;
    return n;
}

// Does the glyph of the character show at the text position (baseline left end)?
bool showsGlyph(const PixelAt& pixel, int font, char character, bool valueStyle, int x, int y)
{
    const int glyph = (character - 32) + (valueStyle ? 96 : 0);
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 5; ++column)
            if (pixel(x + column, y - 7 + row) != skinPixel(font, column, glyph * 8 + row))
                return false;
    return true;
}

bool showsText(const PixelAt& pixel, int font, const char* text, bool valueStyle, int x, int y)
{
    for (size_t i = 0; text[i]; ++i)
        if (!showsGlyph(pixel, font, text[i], valueStyle, x + 6 * static_cast<int>(i), y))
            return false;
    return true;
}

// The left value box of a readout with its left edge x0 and bottom edge y1:
// the box colour where no text is, and the centred text.
uint32_t boxColour(const PixelAt& pixel, int x0, int y1) { return pixel(x0 + 1, y1 - 10); }
bool showsLeftValue(const PixelAt& pixel, int x0, int y1, const char* text, int font)
{
    return showsText(pixel, font, text, true, x0 + 17 - 3 * static_cast<int>(std::strlen(text)), y1 - 2);
}

constexpr uint32_t kGreyBox = 0x4F4F4F;
constexpr uint32_t kRedBox = 0xE53505;

struct MeterBitmaps
{
    MeterBitmaps()
    {
        const int ids[8] = {128, 155, 130, 131, 132, 133, 129, 154};
        for (int i = 0; i < 8; ++i)
            in[i] = new CBitmap(ids[i]);
    }
    ~MeterBitmaps()
    {
        for (CBitmap* bitmap : in)
            bitmap->forget();
    }
    CBitmap* in[8];
};

} // namespace

TEST(MeterControls, PeakBarHoldsFor50MillisecondsThenFallsAt866DecibelsPerSecond)
{
    MeterBitmaps bitmaps;
    CMeterIn* meter = new CMeterIn(CRect(147, 38, 207, 408), nullptr, 27, bitmaps.in);
    COffscreenContext picture(nullptr, 524, 462);
    const PixelAt pixel = pixelsOf(picture);
    const float silence = 0.0f;

    meter->setLevels(1000, 0.5f, 0.25f, 0.1f, 0.1f);
    meter->draw(&picture);
    EXPECT_EQ(peakBarLength(pixel, 150), 252); // -6.02 dB on the -48..+12 scale
    EXPECT_EQ(peakBarLength(pixel, 191), 216); // -12.04 dB

    struct Step
    {
        uint32_t ticks;
        int expected;
    };
    const Step steps[] = {
        {1050, 252}, // held for 50 ms
        {2050, 200}, // a second later: 8.66 dB lower
        {5950, 0},   // at the bottom of the scale about 4.9 s after the drop
    };
    for (const Step& step : steps)
    {
        meter->setLevels(step.ticks, silence, silence, silence, silence);
        meter->draw(&picture);
        EXPECT_EQ(peakBarLength(pixel, 150), step.expected) << "at " << step.ticks << " ms";
    }
    // A new peak above the falling value takes over at once.
    meter->setLevels(6000, 1.0f, 1.0f, 0.0f, 0.0f);
    meter->draw(&picture);
    EXPECT_EQ(peakBarLength(pixel, 150), 288);
    meter->reset();
    meter->setLevels(6010, silence, silence, silence, silence);
    meter->draw(&picture);
    EXPECT_EQ(peakBarLength(pixel, 150), 0);
    meter->forget();
}

TEST(MeterControls, KModesShowTheLevelWithThePeakMarkerAndTheModesScale)
{
    MeterBitmaps bitmaps;
    CMeterOut* meter = new CMeterOut(CRect(319, 38, 379, 406), nullptr, 27, bitmaps.in);
    COffscreenContext picture(nullptr, 524, 462);
    const PixelAt pixel = pixelsOf(picture);
    struct Mode
    {
        int mode;
        int bottomRow;
        int scale;
    };
    // Level -20 dB (n = 240), peak -10 dB (marker at n = 300).
    for (const Mode& m : {Mode{1, 432, 133}, Mode{2, 420, 132}, Mode{3, 384, 131}})
    {
        meter->setMode(m.mode);
        meter->setLevels(100, fromDecibels(-10), fromDecibels(-10), fromDecibels(-20), fromDecibels(-20));
        meter->draw(&picture);
        EXPECT_TRUE(showsBar(pixel, 320, 240, 154, 129, m.bottomRow - 402, 402 - 300)) << "mode " << m.mode;
        EXPECT_TRUE(showsBar(pixel, 363, 240, 154, 129, m.bottomRow - 402, 402 - 300)) << "mode " << m.mode;
        EXPECT_EQ(pixel(340, 200), skinPixel(m.scale, 5, 162)) << "scale of mode " << m.mode;
    }
    meter->forget();
}

TEST(MeterControls, ReductionBarLengthsAtBothRanges)
{
    CBitmap* bar = new CBitmap(156);
    CBitmap* background = new CBitmap(167);
    CMeterGR* meter = new CMeterGR(CRect(233, 39, 291, 192), nullptr, 27, bar, background);
    bar->forget();
    background->forget();
    COffscreenContext picture(nullptr, 524, 462);
    const PixelAt pixel = pixelsOf(picture);
    struct Case
    {
        double db;
        bool zoom;
        int expected;
    };
    const Case cases[] = {{-0.05, false, 0}, {-3, false, 19}, {-3, true, 37}, {-27, false, 145}, {-12, true, 145}};
    uint32_t ticks = 0;
    for (const Case& c : cases)
    {
        meter->reset();
        meter->setZoom(c.zoom ? 0.75f : 0.25f);
        meter->setLevels(ticks += 10, fromDecibels(c.db), fromDecibels(c.db));
        meter->draw(&picture);
        EXPECT_EQ(reductionBarLength(pixel, 234), c.expected) << c.db << " dB, zoom " << c.zoom;
        EXPECT_EQ(reductionBarLength(pixel, 275), c.expected) << c.db << " dB, zoom " << c.zoom;
        // The background of the range in use.
        EXPECT_EQ(pixel(260, 185), skinPixel(167, 27, 146 + (c.zoom ? 153 : 0)));
    }
    // Released: back up at 30 dB per second after the 50 ms hold.
    meter->reset();
    meter->setZoom(0.25f);
    meter->setLevels(1000, fromDecibels(-12), fromDecibels(-12));
    meter->draw(&picture);
    meter->setLevels(1350, 1.0f, 1.0f); // 50 ms hold + 300 ms: 9 dB back
    meter->draw(&picture);
    EXPECT_EQ(reductionBarLength(pixel, 234), 19);
    meter->forget();
}

TEST(MeterControls, PeakReadoutShowsTheHighestPeakRedAboveFullScaleAndRelativeInKModes)
{
    CBitmap* background = new CBitmap(128);
    CBitmap* font = new CBitmap(137);
    CBitmap* overFont = new CBitmap(138);
    CMeterLCD* readout = new CMeterLCD(CRect(131, 415, 224, 426), nullptr, 27, background, font, overFont);
    COffscreenContext picture(nullptr, 524, 462);
    const PixelAt pixel = pixelsOf(picture);

    readout->draw(&picture);
    EXPECT_TRUE(showsLeftValue(pixel, 131, 426, "-oo", 137));
    EXPECT_TRUE(showsText(pixel, 137, "dBFS", false, 166, 424));
    EXPECT_EQ(boxColour(pixel, 131, 426), kGreyBox);

    readout->setLevels(0.5f, 0.25f);
    readout->setLevels(0.1f, 0.1f); // the readout keeps the highest
    readout->draw(&picture);
    EXPECT_TRUE(showsLeftValue(pixel, 131, 426, "-6.0", 137));
    EXPECT_TRUE(showsText(pixel, 137, "-12.0", true, 191 + 17 - 15, 424));

    readout->setLevels(fromDecibels(1.5), 0.5f);
    readout->setMode(3); // K-20: 20 dB higher, in dBr
    readout->draw(&picture);
    EXPECT_EQ(boxColour(pixel, 131, 426), kRedBox);
    EXPECT_TRUE(showsLeftValue(pixel, 131, 426, "+21.5", 138));
    EXPECT_TRUE(showsText(pixel, 137, "dBr", false, 169, 424));
    EXPECT_EQ(boxColour(pixel, 191, 426), kGreyBox) << "the right channel stayed below full scale";

    readout->reset();
    readout->draw(&picture);
    EXPECT_EQ(boxColour(pixel, 131, 426), kGreyBox);
    EXPECT_TRUE(showsLeftValue(pixel, 131, 426, "-oo", 137)); // -120 + 20 is still -100
    background->forget();
    font->forget();
    overFont->forget();
    readout->forget();
}

namespace
{

class MetersOnScreen : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        if (HasFatalFailure())
            return;
        // The input meter shows the raw input (post), nothing but the limiter acts.
        host->setParameter(kPostMeter, 0.75f);
        host->setParameter(kLeveller, 1.0f);
        host->setParameter(kAutoOut, 0.25f);
        host->setParameter(kOutput, 1.0f);
        host->setParameter(kDrive, 0.5f);
        host->setParameter(kMeterType, 0.25f);
        host->setParameter(kAttShow, 0.9375f);
        host->setParameter(kAttZoom, 0.25f);
    }
    void constant(float level)
    {
        startProcessing([level](long, int) { return level; });
    }
};

} // namespace

TEST_F(MetersOnScreen, ConstantHalfScaleShowsA252PixelPeakBarAndItsReadout)
{
    ASSERT_TRUE(openEditor());
    constant(0.5f);
    pump(600);
    const Screenshot shot = screenshot();
    const PixelAt pixel = pixelsOf(shot);
    EXPECT_EQ(peakBarLength(pixel, 150), 252);
    EXPECT_EQ(peakBarLength(pixel, 191), 252);
    EXPECT_TRUE(showsLeftValue(pixel, 131, 426, "-6.0", 137));
    EXPECT_EQ(boxColour(pixel, 131, 426), kGreyBox);
}

TEST_F(MetersOnScreen, KModeBarsFollowTheLevelAndPeaksAboveFullScaleTurnTheReadoutRed)
{
    host->setParameter(kMeterType, 0.75f);
    host->setParameter(kScale, stepValue(0, 3)); // K-12
    ASSERT_TRUE(openEditor());
    constant(0.5f); // level sqrt(2) * 0.5: -3.01 dB, a bar of 342; peak -6.02 dB, a marker at 324
    pump(2500);
    Screenshot shot = screenshot();
    EXPECT_TRUE(showsBar(pixelsOf(shot), 150, 342, 154, 129, 432 - 402, 402 - 324));
    EXPECT_TRUE(showsLeftValue(pixelsOf(shot), 131, 426, "+6.0", 137)) << "K-12 reads 12 dB above dBFS";

    host->setParameter(kScale, stepValue(2, 3)); // K-20: the same bar on the K-20 rows
    pump(200);
    shot = screenshot();
    EXPECT_TRUE(showsBar(pixelsOf(shot), 150, 342, 154, 129, 384 - 402, 402 - 324));

    stopProcessing();
    constant(1.25f);
    pump(300);
    shot = screenshot();
    EXPECT_EQ(boxColour(pixelsOf(shot), 131, 426), kRedBox);
    EXPECT_TRUE(showsLeftValue(pixelsOf(shot), 131, 426, "+21.9", 138));
}

TEST_F(MetersOnScreen, ThreeDecibelsOfReductionShow19PixelsOr37Zoomed)
{
    // The limiter's ceiling for a constant driven far above it.
    constant(0.5f);
    host->setParameter(kDrive, 0.75f); // +12 dB
    pump(1500);
    const double ceiling = std::fabs(lastOutLeft.load());
    ASSERT_GT(ceiling, 0.5);
    // Drive so that the limiter takes 3 dB off.
    const double driveDb = 20.0 * std::log10(ceiling / 0.5) + 3.0;
    host->setParameter(kDrive, static_cast<float>(0.5 + driveDb / 48.0));
    ASSERT_TRUE(openEditor());
    pump(1500);
    const double reduction = 20.0 * std::log10(std::fabs(lastOutLeft.load()) / 0.5) - driveDb;
    ASSERT_NEAR(reduction, -3.0, 0.03);
    Screenshot shot = screenshot();
    EXPECT_EQ(reductionBarLength(pixelsOf(shot), 234), 19);
    EXPECT_EQ(reductionBarLength(pixelsOf(shot), 275), 19);

    host->setParameter(kAttZoom, 0.75f);
    pump(300);
    shot = screenshot();
    EXPECT_EQ(reductionBarLength(pixelsOf(shot), 234), 37);
}

TEST_F(MetersOnScreen, ClickOnAnyMeterResetsAllSix)
{
    constant(0.5f);
    host->setParameter(kDrive, 0.75f);
    ASSERT_TRUE(openEditor());
    pump(800);
    stopProcessing();
    constant(0.0f); // silence: the readouts keep their highest values, the bars fall slowly
    pump(40);
    // No audio after this: the gain reduction read after the click is the
    // restarted hold (none), not the release still under way in the silence.
    stopProcessing();
    Screenshot before = screenshot();
    ASSERT_GT(peakBarLength(pixelsOf(before), 150), 240);
    ASSERT_TRUE(showsLeftValue(pixelsOf(before), 131, 426, "-6.0", 137));
    ASSERT_GT(reductionBarLength(pixelsOf(before), 234), 0);

    host->clearCalls();
    act([](User& user) { user.click(350, 200); }, 60); // the output meter
    const Screenshot after = screenshot();
    const PixelAt pixel = pixelsOf(after);
    EXPECT_EQ(peakBarLength(pixel, 150), 0);
    EXPECT_EQ(peakBarLength(pixel, 320), 0);
    EXPECT_EQ(reductionBarLength(pixel, 234), 0);
    EXPECT_TRUE(showsLeftValue(pixel, 131, 426, "-oo", 137));
    EXPECT_TRUE(showsLeftValue(pixel, 303, 426, "-oo", 137));
    EXPECT_TRUE(showsLeftValue(pixel, 217, 210, "0.0", 137));
    EXPECT_EQ(host->countCalls(audioMasterAutomate), 0u) << "a meter click sets no parameter";
}
