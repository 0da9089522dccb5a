// The editor as a host sees it and as a user works it: opened in a host
// window on the X server, idled while the audio thread runs, clicked,
// dragged and typed into with XTest at the panel's coordinates, and
// checked through the host's parameter reports and screenshots.
#include "tests/EditorHarness.h"

#include "editor/CMyTextEdit.h"
#include "effect/ParameterText.h"
#include "platform/Registry.h"
#include "presets/FactoryPresets.h"

#include <sys/stat.h>

#include <cmath>
#include <fstream>

namespace
{

float stepCentre(int i, int n) { return static_cast<float>(i) / n + 0.5f / n; }

// Is the control's rectangle on screen the given picture of its bitmap?
bool showsPicture(const Screenshot& shot, int bitmap, int left, int top, int right, int bottom, int pictureHeight,
                  int picture)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (shot.at(x, y) != skinPixel(bitmap, x - left, y - top + picture * pictureHeight))
                return false;
    return true;
}

// The top-level window with this title, or 0.
Window findWindowTitled(Display* display, const char* title)
{
    Window root, parentWindow, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parentWindow, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i)
    {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name)
        {
            if (std::string(name) == title)
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

TEST_F(EditorTest, HostOpensIdlesAndClosesTheEditorRepeatedlyWhileAudioRuns)
{
    EXPECT_TRUE(host->effect->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(host->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 524);
    EXPECT_EQ(rect->bottom - rect->top, 462);

    startProcessing([](long frame, int) { return 0.5f * std::sin(0.05f * static_cast<float>(frame)); });
    for (int round = 0; round < 8; ++round)
    {
        ASSERT_TRUE(openEditor()) << "round " << round;
        pump(60);
        // The panel's background shows where no control is.
        const Screenshot shot = screenshot();
        ASSERT_EQ(shot.width, 524);
        EXPECT_EQ(shot.at(5, 300), skinPixel(128, 5, 300));
        EXPECT_EQ(shot.at(515, 20), skinPixel(128, 515, 20));
        closeEditor();
        host->dispatch(effEditIdle); // idle with the window closed does nothing
    }
    // Parameter changes while closed reach the effect and show on the next opening.
    host->setParameter(kPower, stepCentre(0, 2));
    ASSERT_TRUE(openEditor());
    const Screenshot shot = screenshot();
    EXPECT_TRUE(showsPicture(shot, 149, 245, 400, 280, 435, 35, 0));
    host->setParameter(kPower, stepCentre(1, 2));
    pump(80);
    EXPECT_TRUE(showsPicture(screenshot(), 149, 245, 400, 280, 435, 35, 1));
}

// Every knob's Control-click returns to the default its parameter's row
// gives, the value the "Current" program starts from.
TEST_F(EditorTest, EveryKnobControlClickReturnsToItsParameterDefault)
{
    struct Knob
    {
        ParamId index;
        int x, y;
    };
    const Knob knobs[] = {{kTransient, 80, 193}, {kRelease, 80, 290}, {kLeveller, 445, 192},
                          {kLink, 445, 290},     {kDrive, 80, 376},   {kOutput, 446, 377}};
    for (const Knob& k : knobs)
        host->setParameter(k.index, 0.0f);
    ASSERT_TRUE(openEditor());
    for (const Knob& k : knobs)
    {
        act([&](User& user) { user.clickWith(XK_Control_L, k.x, k.y); });
        EXPECT_EQ(host->getParameter(k.index), kParameterTable[k.index].defaultValue) << kParameterTable[k.index].name;
    }
}

TEST_F(EditorTest, KnobDragOf400PixelsCoversTheRangeAsOneEditAndControlClickSetsTheDefault)
{
    host->setParameter(kTransient, 0.0f);
    ASSERT_TRUE(openEditor());
    host->clearCalls();
    act([](User& user) {
        user.move(80, 193);
        user.press();
        for (int x = 80; x <= 480; x += 25)
            user.move(x, 193);
        user.move(480, 193);
        user.pause(60);
        user.release();
    });
    EXPECT_FLOAT_EQ(host->getParameter(kTransient), 1.0f);
    std::vector<float> values = automated(kTransient);
    ASSERT_GE(values.size(), 2u);
    EXPECT_FLOAT_EQ(values.back(), 1.0f);
    for (size_t i = 1; i < values.size(); ++i)
        EXPECT_GE(values[i], values[i - 1]) << "the value only rises while the pointer moves right";
    EXPECT_EQ(count(audioMasterBeginEdit, kTransient), 1u);
    EXPECT_EQ(count(audioMasterEndEdit, kTransient), 1u);
    // The knob shows its last picture.
    pump(60);
    EXPECT_TRUE(showsPicture(screenshot(), 152, 55, 169, 105, 217, 48, 100));
    // The dragged knob has the keyboard focus: the host's arrow keys step it.
    host->clearCalls();
    EXPECT_EQ(host->dispatch(effEditKeyDown, 0, VKEY_DOWN), 1);
    EXPECT_FLOAT_EQ(host->getParameter(kTransient), 1.0f - 0.03125f);
    EXPECT_EQ(count(audioMasterBeginEdit, kTransient), 1u);

    host->clearCalls();
    act([](User& user) { user.clickWith(XK_Control_L, 80, 193); });
    EXPECT_FLOAT_EQ(host->getParameter(kTransient), 0.2f);
    EXPECT_EQ(count(audioMasterBeginEdit, kTransient), 0u);
    EXPECT_EQ(count(audioMasterEndEdit, kTransient), 0u);

    // A wheel notch moves the Release knob by its step, as one edit.
    host->setParameter(kRelease, 0.5f);
    host->clearCalls();
    act([](User& user) { user.click(80, 290, 4); });
    EXPECT_FLOAT_EQ(host->getParameter(kRelease), 0.5f + 0.03125f);
    EXPECT_EQ(count(audioMasterBeginEdit, kRelease), 1u);
}

TEST_F(EditorTest, AttShowBitButtonsSetAndClearTheirBitOfTheMask)
{
    host->setParameter(kAttShow, stepCentre(5, 8));
    ASSERT_TRUE(openEditor());
    // Mask 5: bits 1 and 4 lit, bit 2 dark.
    Screenshot shot = screenshot();
    EXPECT_TRUE(showsPicture(shot, 164, 224, 265, 257, 284, 19, 1));
    EXPECT_TRUE(showsPicture(shot, 165, 224, 230, 257, 249, 19, 0));
    EXPECT_TRUE(showsPicture(shot, 166, 269, 230, 302, 249, 19, 1));

    host->clearCalls();
    act([](User& user) { user.click(240, 240); });
    ASSERT_FALSE(automated(kAttShow).empty());
    EXPECT_FLOAT_EQ(automated(kAttShow).back(), 0.9375f);
    EXPECT_TRUE(showsPicture(screenshot(), 165, 224, 230, 257, 249, 19, 1));

    host->clearCalls();
    act([](User& user) { user.click(240, 240); });
    ASSERT_FALSE(automated(kAttShow).empty());
    EXPECT_FLOAT_EQ(automated(kAttShow).back(), 0.6875f);

    // From the host: 0.5 is mask 4, lighting the bit-4 button only.
    host->setParameter(kAttShow, 0.5f);
    pump(80);
    shot = screenshot();
    EXPECT_TRUE(showsPicture(shot, 164, 224, 265, 257, 284, 19, 0));
    EXPECT_TRUE(showsPicture(shot, 165, 224, 230, 257, 249, 19, 0));
    EXPECT_TRUE(showsPicture(shot, 166, 269, 230, 302, 249, 19, 1));
}

TEST_F(EditorTest, SpeedSwitchAnswersOnlyAtItsThreeHotSpots)
{
    host->setParameter(kTransShape, stepCentre(1, 3));
    ASSERT_TRUE(openEditor());
    struct Case
    {
        int x, y;
        float expected;
    };
    const Case cases[] = {
        {47, 131, stepCentre(0, 3)},  {60, 130, stepCentre(0, 3)},  // between the spots: nothing
        {113, 139, stepCentre(2, 3)}, {113, 144, stepCentre(2, 3)}, // below the spots: nothing
        {80, 124, stepCentre(1, 3)},
    };
    for (const Case& c : cases)
    {
        act([&](User& user) { user.click(c.x, c.y); });
        EXPECT_FLOAT_EQ(host->getParameter(kTransShape), c.expected) << "click at " << c.x << ", " << c.y;
    }
    EXPECT_TRUE(showsPicture(screenshot(), 146, 38, 121, 128, 146, 25, 1));
}

TEST_F(EditorTest, ModeSelectorBandsChooseMeterTypeAndStepTheKScale)
{
    host->setParameter(kMeterType, stepCentre(0, 2));
    host->setParameter(kScale, stepCentre(1, 3));
    ASSERT_TRUE(openEditor());
    const int x = 240;
    act([&](User& user) { user.click(x, 333); }); // middle band
    EXPECT_FLOAT_EQ(host->getParameter(kMeterType), stepCentre(0, 2));
    EXPECT_FLOAT_EQ(host->getParameter(kScale), stepCentre(1, 3));

    act([&](User& user) { user.click(x, 355); }); // bottom band: K metering, scale kept
    EXPECT_FLOAT_EQ(host->getParameter(kMeterType), stepCentre(1, 2));
    EXPECT_FLOAT_EQ(host->getParameter(kScale), stepCentre(1, 3));
    EXPECT_TRUE(showsPicture(screenshot(), 141, 223, 305, 258, 361, 56, 4));

    act([&](User& user) { user.click(x, 355); }); // again: the next K scale
    EXPECT_FLOAT_EQ(host->getParameter(kScale), stepCentre(2, 3));
    act([&](User& user) { user.click(x, 355); });
    EXPECT_FLOAT_EQ(host->getParameter(kScale), stepCentre(0, 3));
    EXPECT_FLOAT_EQ(host->getParameter(kMeterType), stepCentre(1, 2));

    act([&](User& user) { user.click(x, 310); }); // top band: peak metering
    EXPECT_FLOAT_EQ(host->getParameter(kMeterType), stepCentre(0, 2));
    EXPECT_TRUE(showsPicture(screenshot(), 141, 223, 305, 258, 361, 56, 0));
}

TEST_F(EditorTest, CalibrateButtonCyclesItsFourStatesAndBlinks)
{
    host->setParameter(kCalibrate, stepCentre(0, 4));
    ASSERT_TRUE(openEditor());
    const float expected[] = {stepCentre(1, 4), stepCentre(2, 4), stepCentre(3, 4), stepCentre(0, 4)};
    for (float value : expected)
    {
        act([](User& user) { user.click(285, 350); });
        EXPECT_FLOAT_EQ(host->getParameter(kCalibrate), value);
    }
    // State 2 shows picture 3 and its alternate, picture 6, in turn every 256 ms.
    host->setParameter(kCalibrate, stepCentre(2, 4));
    bool seen[7] = {};
    for (int i = 0; i < 40; ++i)
    {
        pump(25);
        const Screenshot shot = screenshot();
        for (int picture = 0; picture < 7; ++picture)
            if (showsPicture(shot, 145, 269, 341, 302, 360, 19, picture))
                seen[picture] = true;
    }
    EXPECT_TRUE(seen[3]);
    EXPECT_TRUE(seen[6]);
    EXPECT_FALSE(seen[0] || seen[1] || seen[2] || seen[4] || seen[5]);
}

TEST_F(EditorTest, TypedTextsAreReadAsNumbersClampedToTheParameterRange)
{
    ASSERT_TRUE(openEditor());
    struct Case
    {
        const char* field;
        int x, y;
        int parameter;
        const char* text;
        float expected;
    };
    const Case cases[] = {
        {"Output", 447, 417, kOutput, "-30", 0.0f},
        {"Leveller", 448, 226, kLeveller, "OFF", 1.0f},
        {"Release", 82, 324, kRelease, "abc", 0.0f},
        {"Drive", 80, 417, kDrive, "12", 0.7491446f}, // 2^(8(v - 0.5)) is +12 dB
        {"Transient", 82, 226, kTransient, "40", 0.4f},
    };
    for (const Case& c : cases)
    {
        host->setParameter(c.parameter, 0.5f);
        pump(40);
        host->clearCalls();
        act([&](User& user) {
            user.click(c.x, c.y);
            user.pause(150);
            user.clearField();
            user.type(c.text);
            user.key(XK_Return);
        });
        EXPECT_NEAR(host->getParameter(c.parameter), c.expected, 1e-6) << c.field << " <- " << c.text;
        EXPECT_EQ(count(audioMasterBeginEdit, c.parameter), 1u) << c.field;
        EXPECT_EQ(count(audioMasterEndEdit, c.parameter), 1u) << c.field;
        ASSERT_FALSE(automated(c.parameter).empty()) << c.field;
    }
}

// The fields under the gain knobs show the level of the gain itself, as the
// host's display and the sound have it ("TV Hot": Drive +9.03 dB, Output
// -10.03 dB), and a typed level gives a gain of that level.
TEST(EntryFields, GainFieldsShowAndReadTheTrueLevelOfTheGain)
{
    const FactoryPreset* tvHot = nullptr;
    for (const FactoryPreset& preset : kFactoryPresets)
        if (std::string(preset.name) == "TV Hot")
            tvHot = &preset;
    ASSERT_NE(tvHot, nullptr);
    char text[256] = "";
    auto shown = [&](int tag, float value) {
        EXPECT_TRUE(CMyTextEdit::displayText(tag, value, text));
        return std::string(text);
    };
    EXPECT_EQ(shown(kDrive, (float)tvHot->values[kDrive]), "+9.03dB");
    EXPECT_EQ(shown(kOutput, (float)tvHot->values[kOutput]), "-10.03dB");
    EXPECT_EQ(shown(kDrive, 1.0f), "+24.08dB");
    EXPECT_EQ(shown(kOutput, 0.0f), "-12.04dB");
    EXPECT_EQ(shown(kLeveller, 0.5f), "-6.02dB");
    EXPECT_EQ(shown(kLeveller, 1.0f), "off");
    ASSERT_TRUE(CMyTextEdit::editText(kDrive, (float)tvHot->values[kDrive], text));
    EXPECT_STREQ(text, "9.03");

    // Field and host display agree everywhere, to the field's two decimals.
    for (int index : {kDrive, kOutput, kLeveller})
        for (int k = 0; k < 100; ++k)
        {
            const float v = k / 100.0f;
            EXPECT_NEAR(std::atof(shown(index, v).c_str()), std::atof(parameterValueText(index, v).c_str()), 0.0051)
                << kParameterTable[index].name << " at " << v;
        }

    struct Typed
    {
        int tag;
        const char* text;
        double level; // dB of the gain the value gives
    };
    const Typed typed[] = {{kDrive, "+9", 9.0},     {kDrive, "-3.5", -3.5},  {kOutput, "-10", -10.0},
                           {kLeveller, "-1", -1.0}, {kDrive, "99", 24.0824}, {kOutput, "-30", -12.0412}};
    for (const Typed& t : typed)
    {
        float value = -1.0f;
        ASSERT_TRUE(CMyTextEdit::valueFromText(t.tag, t.text, value));
        EXPECT_NEAR(parameterUnitValue(t.tag, value), t.level, 1e-4) << t.text;
    }
    float value = -1.0f;
    ASSERT_TRUE(CMyTextEdit::valueFromText(kDrive, "+9", value));
    EXPECT_EQ(shown(kDrive, value), "+9.00dB");
    ASSERT_TRUE(CMyTextEdit::valueFromText(kLeveller, "Off", value));
    EXPECT_EQ(value, 1.0f);

    // The other fields keep their texts; the name field has no number.
    EXPECT_EQ(shown(kRelease, 0.5f), "50.0ms");
    EXPECT_EQ(shown(kTransient, 0.5f), "50.0%");
    EXPECT_EQ(shown(kLink, 0.33f), "33.0%");
    EXPECT_FALSE(CMyTextEdit::displayText(31, 0.5f, text));
    EXPECT_FALSE(CMyTextEdit::valueFromText(kBits, "16", value));
}

// A parameter shown to hosts has its control on the panel: a change from
// the host changes what the panel shows.
TEST_F(EditorTest, EveryVisibleParameterShowsOnThePanel)
{
    ASSERT_TRUE(openEditor());
    for (int i = 0; i < kHostVisibleCount; ++i)
    {
        const ParameterInfo& row = kParameterTable[i];
        const float low = row.steps ? stepValue(0, row.steps) : 0.2f;
        const float high = row.steps ? stepValue(row.steps - 1, row.steps) : 0.8f;
        host->setParameter(i, low);
        pump(80);
        const Screenshot before = screenshot();
        host->setParameter(i, high);
        pump(80);
        EXPECT_NE(screenshot().pixels, before.pixels) << row.name << " has no control on the panel";
        // Back, so that nothing (the calibration light's blinking) changes the next pictures.
        host->setParameter(i, row.defaultValue);
        pump(80);
    }
}

TEST_F(EditorTest, RightClickStoresTheMeteringPreferencesAndLightsTheButtons)
{
    host->setParameter(kAttShow, 0.9375f);
    host->setParameter(kScale, 0.5f);
    host->setParameter(kMeterType, 0.0f);
    host->setParameter(kAttZoom, 0.0f);
    host->setParameter(kMeterOvs, 0.0f);
    host->setParameter(kPostMeter, 0.0f);
    ASSERT_TRUE(openEditor());

    // A left click only toggles.
    act([](User& user) { user.click(285, 275); });
    EXPECT_FLOAT_EQ(host->getParameter(kAttZoom), stepCentre(1, 2));
    platform::RegistryKey key;
    EXPECT_FALSE(key.open("SOFTWARE\\Korvane\\QDXzelvo\\PREFS"));
    host->setParameter(kAttZoom, 0.0f);

    // Lit for half a second: watch for it while the host idles.
    act([](User& user) { user.click(285, 275, 3); }, 0);
    Screenshot lit;
    const auto watchEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    do
    {
        pump(10);
        lit = screenshot();
    } while (!showsPicture(lit, 144, 269, 265, 302, 284, 19, 2) && std::chrono::steady_clock::now() < watchEnd);
    EXPECT_TRUE(showsPicture(lit, 144, 269, 265, 302, 284, 19, 2));
    EXPECT_TRUE(showsPicture(lit, 160, 269, 307, 302, 326, 19, 2));
    EXPECT_TRUE(showsPicture(lit, 161, 116, 368, 134, 392, 24, 2));
    EXPECT_TRUE(showsPicture(lit, 141, 223, 305, 258, 361, 56, 6));
    EXPECT_FALSE(showsPicture(lit, 161, 394, 368, 412, 392, 24, 2)) << "AutoOut is no metering preference";

    ASSERT_TRUE(key.open("SOFTWARE\\Korvane\\QDXzelvo\\PREFS"));
    const char* names[] = {"Metering_Scale",   "Metering_Type",  "Metering_Zoom",
                           "Metering_AttShow", "Metering_Recon", "Metering_Post"};
    const uint32_t expected[] = {1, 0, 0, 7, 0, 0};
    for (int i = 0; i < 6; ++i)
    {
        uint32_t value = 99;
        EXPECT_TRUE(key.queryDword(names[i], &value)) << names[i];
        EXPECT_EQ(value, expected[i]) << names[i];
    }
    key.close();

    pump(700);
    Screenshot unlit = screenshot();
    EXPECT_TRUE(showsPicture(unlit, 144, 269, 265, 302, 284, 19, 0));
    EXPECT_TRUE(showsPicture(unlit, 141, 223, 305, 258, 361, 56, 1));

    // A new instance starts with the stored settings.
    host->setParameter(kAttShow, stepCentre(4, 8));
    act([](User& user) { user.click(240, 333, 3); }); // the mode selector stores too
    TestHost second;
    EXPECT_FLOAT_EQ(second.getParameter(kAttShow), 0.5625f);
    EXPECT_FLOAT_EQ(second.getParameter(kScale), stepCentre(1, 3));
    second.close();
}

TEST_F(EditorTest, FailureToStoreThePreferencesIsShownInAMessageBox)
{
    // A settings folder below a plain file cannot be created.
    const std::string blocker = settings + "/blocker";
    std::ofstream(blocker) << "x";
    setenv("XDG_CONFIG_HOME", (blocker + "/settings").c_str(), 1);
    ASSERT_TRUE(openEditor());
    bool boxSeen = false;
    act([&](User& user) {
        user.click(240, 240, 3);
        for (int i = 0; i < 100 && !boxSeen; ++i)
        {
            user.pause(50);
            Window box = findWindowTitled(user.display, "Error...");
            if (!box)
                continue;
            boxSeen = true;
            XWindowAttributes attributes;
            XGetWindowAttributes(user.display, box, &attributes);
            Window child;
            int boxX = 0, boxY = 0;
            XTranslateCoordinates(user.display, box, DefaultRootWindow(user.display), 0, 0, &boxX, &boxY, &child);
            // The OK button sits centred 16 pixels above the bottom edge.
            XTestFakeMotionEvent(user.display, -1, boxX + attributes.width / 2, boxY + attributes.height - 28,
                                 CurrentTime);
            XFlush(user.display);
            user.pause(30);
            user.press();
            user.release();
        }
    });
    EXPECT_TRUE(boxSeen) << "no message box titled Error...";
    platform::RegistryKey key;
    EXPECT_FALSE(key.open("SOFTWARE\\Korvane\\QDXzelvo\\PREFS"));
}

namespace
{

// The glyph's pixels that are not the transparent key colour (black) show at
// the text position: text printed transparently over the about panel.
bool showsTransparentText(const Screenshot& shot, const char* text, int x, int y)
{
    int inked = 0;
    for (size_t i = 0; text[i]; ++i)
    {
        const int glyph = text[i] - 32;
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 5; ++column)
            {
                const uint32_t ink = skinPixel(158, column, glyph * 8 + row);
                if (ink == 0)
                    continue;
                ++inked;
                if (shot.at(x + 6 * static_cast<int>(i) + column, y - 7 + row) != ink)
                    return false;
            }
    }
    return inked > 0;
}

} // namespace

TEST_F(EditorTest, AboutPanelShowsTheLatencyTakesTheNextClickAndFreezesTheMeters)
{
    host->setParameter(kPower, stepCentre(1, 2));
    ASSERT_TRUE(openEditor());
    const Screenshot closed = screenshot();
    act([](User& user) { user.click(262, 385); });
    Screenshot open = screenshot();
    // Blended at 200/255 over the panel: changed, and not the panel bitmap itself.
    EXPECT_NE(open.at(60, 420), closed.at(60, 420));
    EXPECT_TRUE(showsTransparentText(open, "159", 470 - 18, 309 + 28));
    EXPECT_TRUE(showsTransparentText(open, "Current process latency (samples):", 55, 309 + 28));

    // The latency follows the sample rate.
    host->setSampleRate(96000.0f);
    pump(80);
    EXPECT_TRUE(showsTransparentText(screenshot(), "287", 470 - 18, 309 + 28));

    // A click on the Power button only closes the panel.
    host->clearCalls();
    act([](User& user) { user.click(262, 417); });
    EXPECT_EQ(host->countCalls(audioMasterAutomate), 0u);
    EXPECT_FLOAT_EQ(host->getParameter(kPower), stepCentre(1, 2));
    const Screenshot again = screenshot();
    EXPECT_EQ(again.at(60, 420), closed.at(60, 420));
    act([](User& user) { user.click(262, 417); });
    EXPECT_FLOAT_EQ(host->getParameter(kPower), stepCentre(0, 2)) << "closed, the button works again";
}

// The guard's key under OVS: lit while the guard is on, switching it between
// step centres, and following the host.
TEST_F(EditorTest, TruePeakGuardKeyShowsAndSwitchesTheGuard)
{
    host->setParameter(kTruePeakGuard, 0.0f);
    ASSERT_TRUE(openEditor());
    EXPECT_TRUE(showsPicture(screenshot(), 168, 81, 74, 114, 93, 19, 0));

    host->clearCalls();
    act([](User& user) { user.click(97, 83); });
    ASSERT_FALSE(automated(kTruePeakGuard).empty());
    EXPECT_FLOAT_EQ(host->getParameter(kTruePeakGuard), 0.75f);
    EXPECT_EQ(host->parameterDisplay(kTruePeakGuard), "on");
    EXPECT_TRUE(showsPicture(screenshot(), 168, 81, 74, 114, 93, 19, 1));

    host->setParameter(kTruePeakGuard, 0.25f);
    pump(80);
    EXPECT_TRUE(showsPicture(screenshot(), 168, 81, 74, 114, 93, 19, 0));
    // The key next to it still belongs to Oversample.
    EXPECT_TRUE(showsPicture(screenshot(), 140, 81, 40, 114, 59, 19, int(host->getParameter(kOversample) >= 0.5f)));
}

TEST_F(EditorTest, RequantizerSelectorsStepAndDimWhileQuantizeIsOff)
{
    host->setParameter(kQuantize, stepCentre(0, 2));
    host->setParameter(kBits, stepCentre(0, 3));
    host->setParameter(kNoiseShape, stepCentre(3, 4));
    host->setParameter(kAutoblack, stepCentre(1, 2));
    ASSERT_TRUE(openEditor());
    Screenshot shot = screenshot();
    EXPECT_TRUE(showsPicture(shot, 142, 412, 78, 445, 97, 19, 0));
    EXPECT_TRUE(showsPicture(shot, 143, 449, 78, 482, 97, 19, 3));
    EXPECT_TRUE(showsPicture(shot, 163, 449, 40, 482, 59, 19, 2));

    act([](User& user) { user.click(428, 49); }); // Quantize on
    EXPECT_FLOAT_EQ(host->getParameter(kQuantize), stepCentre(1, 2));
    shot = screenshot();
    EXPECT_TRUE(showsPicture(shot, 162, 412, 40, 445, 59, 19, 1));
    EXPECT_TRUE(showsPicture(shot, 142, 412, 78, 445, 97, 19, 3));
    EXPECT_TRUE(showsPicture(shot, 143, 449, 78, 482, 97, 19, 6));
    EXPECT_TRUE(showsPicture(shot, 163, 449, 40, 482, 59, 19, 1));

    act([](User& user) {
        user.click(465, 87); // noise shaping: after the last curve comes off
        user.click(428, 87); // word length: the next one
        user.click(465, 49); // auto-black off
    });
    EXPECT_FLOAT_EQ(host->getParameter(kNoiseShape), 0.125f);
    EXPECT_FLOAT_EQ(host->getParameter(kBits), stepCentre(1, 3));
    EXPECT_FLOAT_EQ(host->getParameter(kAutoblack), stepCentre(0, 2));
    shot = screenshot();
    EXPECT_TRUE(showsPicture(shot, 143, 449, 78, 482, 97, 19, 0));
    EXPECT_TRUE(showsPicture(shot, 142, 412, 78, 445, 97, 19, 4));
    EXPECT_TRUE(showsPicture(shot, 163, 449, 40, 482, 59, 19, 0));

    // The oversampling switch toggles between exactly 0 and 1.
    host->setParameter(kOversample, 0.75f);
    act([](User& user) { user.click(97, 49); });
    EXPECT_FLOAT_EQ(host->getParameter(kOversample), 1.0f);
    act([](User& user) { user.click(97, 49); });
    EXPECT_FLOAT_EQ(host->getParameter(kOversample), 0.0f);
    // The panel's other on/off buttons move between step centres.
    host->setParameter(kDetectorOrder, 0.3f);
    act([](User& user) { user.click(60, 49); });
    EXPECT_FLOAT_EQ(host->getParameter(kDetectorOrder), 0.75f);
    act([](User& user) { user.click(60, 49); });
    EXPECT_FLOAT_EQ(host->getParameter(kDetectorOrder), 0.25f);
}

// A host that idles the editor only every 100 ms gets a press and its release
// in the same idle: the click must still count, from the events themselves.
TEST_F(EditorTest, QuickClicksAndTapsCountWhenTheHostIdlesEvery100Ms)
{
    host->setParameter(kDetectorOrder, stepCentre(0, 2));
    ASSERT_TRUE(openEditor());
    for (int hold : {0, 20})
    {
        host->clearCalls();
        act(
            [&](User& user) {
                for (int i = 0; i < 10; ++i)
                {
                    user.tap(60, 50, hold);
                    user.pause(250);
                }
            },
            150, 100);
        const std::vector<float> values = automated(kDetectorOrder);
        ASSERT_EQ(values.size(), 10u) << "clicks held " << hold << " ms";
        for (size_t i = 0; i < values.size(); ++i)
            EXPECT_FLOAT_EQ(values[i], stepCentre(i % 2 == 0 ? 1 : 0, 2)) << "click " << i << ", held " << hold;
    }

    // A tap on a knob is a drag that ends at once: one edit, opened and closed,
    // and the host's idle returns.
    host->setParameter(kTransient, 0.5f);
    host->clearCalls();
    act(
        [](User& user) {
            user.tap(80, 193, 0);
            user.pause(250);
        },
        150, 100);
    EXPECT_EQ(count(audioMasterBeginEdit, kTransient), 1u);
    EXPECT_EQ(count(audioMasterEndEdit, kTransient), 1u);
    EXPECT_FLOAT_EQ(host->getParameter(kTransient), 0.5f);

    // A right tap is a right click: it stores the metering preferences and
    // toggles nothing.
    host->setParameter(kAttZoom, 0.0f);
    act(
        [](User& user) {
            user.tap(285, 275, 0, 3);
            user.pause(250);
        },
        150, 100);
    platform::RegistryKey key;
    EXPECT_TRUE(key.open("SOFTWARE\\Korvane\\QDXzelvo\\PREFS")) << "the right tap stored the preferences";
    key.close();
    EXPECT_FLOAT_EQ(host->getParameter(kAttZoom), 0.0f);
}

// Shift held across wheel notches, a short Shift-drag, Shift with an arrow
// key: each is a fine step the host hears of, even when it is too small to
// change the knob's picture.
TEST_F(EditorTest, FineKnobMovesReachTheHost)
{
    host->setParameter(kDrive, 0.5f);
    ASSERT_TRUE(openEditor());
    host->clearCalls();
    act(
        [](User& user) {
            user.move(80, 376);
            user.keyDown(XK_Shift_L);
            user.pause(20);
            for (int notch = 0; notch < 5; ++notch)
            {
                user.tap(80, 376, 0, 4);
                user.pause(30);
            }
            user.pause(20);
            user.keyUp(XK_Shift_L);
            user.pause(250);
        },
        150, 100);
    const std::vector<float> values = automated(kDrive);
    EXPECT_EQ(values.size(), 5u) << "five notches, five reports";
    const float plainStep = 0.0130208395f;
    float previous = 0.5f;
    for (float v : values)
    {
        EXPECT_GT(v, previous);
        EXPECT_NEAR(v - previous, plainStep * 0.1f, 1e-5f) << "a tenth of a plain notch";
        previous = v;
    }
    EXPECT_EQ(count(audioMasterBeginEdit, kDrive), 5u);
    EXPECT_EQ(count(audioMasterEndEdit, kDrive), 5u);

    // A Shift-drag of five pixels on Transient moves it by a quarter of one
    // picture of its film strip: the host still gets the new value.
    host->setParameter(kTransient, 0.5f);
    host->clearCalls();
    act([](User& user) {
        user.move(80, 193);
        user.keyDown(XK_Shift_L);
        user.press();
        for (int x = 81; x <= 85; ++x)
            user.move(x, 193);
        user.pause(60);
        user.release();
        user.keyUp(XK_Shift_L);
    });
    EXPECT_NEAR(host->getParameter(kTransient), 0.5f + 5.0f / 2000.0f, 1e-6f);
    ASSERT_FALSE(automated(kTransient).empty());
    EXPECT_NEAR(automated(kTransient).back(), 0.5f + 5.0f / 2000.0f, 1e-6f);

    // Shift with an arrow key on the knob that has the focus: a tenth of its step.
    host->clearCalls();
    EXPECT_EQ(host->dispatch(effEditKeyDown, 0, VKEY_UP, nullptr, 1.0f), 1);
    EXPECT_NEAR(host->getParameter(kTransient), 0.5f + 5.0f / 2000.0f + 0.003125f, 1e-6f);
    EXPECT_EQ(automated(kTransient).size(), 1u);
}

// The host's window may use a 32-bit (ARGB) visual: the editor still opens in
// it and draws its whole panel.
TEST_F(EditorTest, EditorDrawsFullyInsideAHostWindowWithA32BitVisual)
{
    const int screen = DefaultScreen(display);
    XVisualInfo info{};
    ASSERT_TRUE(XMatchVisualInfo(display, screen, 32, TrueColor, &info)) << "the X server offers no 32-bit visual";
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(display, RootWindow(display, screen), info.visual, AllocNone);
    attributes.border_pixel = 0;
    attributes.background_pixel = 0x80000000u;
    Window argbParent = XCreateWindow(display, RootWindow(display, screen), 60, 40, 600, 520, 0, 32, InputOutput,
                                      info.visual, CWColormap | CWBorderPixel | CWBackPixel, &attributes);
    ASSERT_NE(argbParent, 0u);
    XMapWindow(display, argbParent);
    XSync(display, False);

    const bool openedHere = host->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(argbParent)) == 1;
    EXPECT_TRUE(openedHere) << "the editor refused a host window with a 32-bit visual";
    Window root = 0, up = 0, *children = nullptr;
    unsigned childCount = 0;
    XQueryTree(display, argbParent, &root, &up, &children, &childCount);
    const Window frameWindow = childCount > 0 ? children[0] : 0;
    if (children)
        XFree(children);
    if (openedHere)
    {
        pump(300);
        ASSERT_NE(frameWindow, 0u);
        XSync(display, False);
        // The frame's own pixels: where the panel shows its background
        // bitmap, they must be that bitmap.
        XImage* image = XGetImage(display, frameWindow, 0, 0, 524, 462, AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        int matching = 0;
        for (int y = 0; y < 462; ++y)
            for (int x = 0; x < 524; ++x)
                if ((static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu) == skinPixel(128, x, y))
                    ++matching;
        XDestroyImage(image);
        EXPECT_GT(matching, 524 * 462 / 2) << "the panel is mostly its background picture";
        host->dispatch(effEditClose);
    }
    XDestroyWindow(display, argbParent);
    XFreeColormap(display, attributes.colormap);
    XSync(display, False);
}

namespace
{

Window focusedWindow(Display* display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

} // namespace

// An entry field borrows the keyboard focus while it is edited and gives it
// back to the host's window however the edit ends; closing the editor with
// the field open ends the edit as losing the focus does.
TEST_F(EditorTest, EntryFieldsGiveTheFocusBackAndClosingMidEditKeepsTheTypedText)
{
    ASSERT_TRUE(openEditor());
    XSetInputFocus(display, parent, RevertToParent, CurrentTime);
    XSync(display, False);
    ASSERT_EQ(focusedWindow(display), parent);

    auto startEdit = [&](int x, int y, const char* text) {
        act([&](User& user) {
            user.click(x, y);
            user.pause(150);
            user.clearField();
            user.type(text);
        });
    };

    // Return.
    host->setParameter(kDrive, 0.5f);
    host->clearCalls();
    startEdit(80, 417, "12");
    EXPECT_NE(focusedWindow(display), parent) << "the field has the keyboard while it is edited";
    act([](User& user) { user.key(XK_Return); });
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.7491446f) << "a gain of +12 dB";
    EXPECT_EQ(focusedWindow(display), parent) << "after Return";

    // Escape leaves the value as it was.
    host->clearCalls();
    startEdit(80, 417, "-24");
    act([](User& user) { user.key(XK_Escape); });
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.7491446f) << "Escape keeps the value";
    EXPECT_EQ(count(audioMasterBeginEdit, kDrive), 1u);
    EXPECT_EQ(count(audioMasterEndEdit, kDrive), 1u);
    EXPECT_EQ(focusedWindow(display), parent) << "after Escape";

    // A click elsewhere on the panel.
    startEdit(447, 417, "-3");
    act([](User& user) { user.click(500, 300); });
    EXPECT_FLOAT_EQ(host->getParameter(kOutput), 0.7508554f) << "a gain of -3 dB";
    EXPECT_EQ(focusedWindow(display), parent) << "after a click elsewhere";

    // The host closes the editor with the field still open.
    host->clearCalls();
    startEdit(80, 417, "6");
    closeEditor();
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.6245723f) << "the typed text (+6 dB) is taken";
    EXPECT_EQ(count(audioMasterBeginEdit, kDrive), 1u);
    EXPECT_EQ(count(audioMasterEndEdit, kDrive), 1u) << "every begin has its end";
    EXPECT_FALSE(automated(kDrive).empty());
    XSync(display, False);
    EXPECT_EQ(focusedWindow(display), parent) << "after the editor closed";
}
