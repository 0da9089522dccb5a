// The standard controls with synthetic input: value mappings, drag loops,
// wheel and keys, drawing of their frames, text fields and option menus.
#include "tests/support/gui/GuiTestSupport.h"

#include "editor/CMeterGR.h"
#include "editor/CZelvoButton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace VSTGUI;
using namespace guitest;

namespace
{

// A frame with an editor, so edit gestures are recorded.
struct ControlBench
{
    ControlBench() : editor(&effect), scripted(300, 300, &editor)
    {
        editor.attachFrame(scripted.frame);
        context = scripted.frame->createDrawContext();
    }
    ~ControlBench()
    {
        context->forget();
        editor.attachFrame(nullptr);
    }
    template <typename Control>
    Control* add(Control* control)
    {
        scripted.frame->addView(control);
        return control;
    }
    void click(CControl* control, int x, int y, int buttons = kLButton)
    {
        CPoint where(x, y);
        control->mouse(context, where, buttons);
    }

    TestEffect effect;
    TestEditor editor;
    // Outlives the frame: closing a frame with an edit open reports the
    // edit's end to its listener.
    RecordingListener listener;
    ScriptedFrame scripted;
    CDrawContext* context = nullptr;
};

// The values a listener heard, repeats merged: a control reports its value on
// every pass of a drag loop until it is redrawn.
std::vector<float> heard(const RecordingListener& listener)
{
    std::vector<float> result;
    for (float value : listener.values())
        if (result.empty() || result.back() != value)
            result.push_back(value);
    return result;
}

std::vector<PointerStep> line(int x0, int y0, int x1, int y1, int steps, int buttons)
{
    std::vector<PointerStep> path;
    for (int i = 0; i <= steps; ++i)
        path.push_back(PointerStep{x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, buttons});
    return path;
}

} // namespace

TEST(OnOffButton, ToggleTruncatesTheValue)
{
    ControlBench bench;
    auto* button = bench.add(new COnOffButton(CRect(0, 0, 20, 20), &bench.listener, 3, nullptr));
    button->setValue(0.5f);
    bench.click(button, 5, 5);
    EXPECT_EQ(button->getValue(), 1.0f);
    bench.click(button, 5, 5);
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(bench.listener.values(), (std::vector<float>{1.0f, 0.0f}));
    // Right clicks and clicks a listener claims do nothing.
    bench.click(button, 5, 5, kRButton);
    bench.listener.modifierAnswer = 1;
    bench.click(button, 5, 5, kLButton | kShift);
    EXPECT_EQ(button->getValue(), 0.0f);
    button->setMouseEnabled(false);
    bench.listener.modifierAnswer = 0;
    bench.click(button, 5, 5);
    EXPECT_EQ(button->getValue(), 0.0f);
}

// A host may automate any float: huge, infinite, not a number, negative.
// The controls that turn it into an integer must decide without converting
// what has no integer (the sanitizer build stops on such a conversion).
TEST(HostValues, ButtonsMenusAndKnobsTakeAnyFloatWithoutUndefinedConversions)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ControlBench bench;
    auto* onOff = bench.add(new COnOffButton(CRect(0, 0, 20, 20), &bench.listener, 3, nullptr));
    auto* oversampling = bench.add(new COversamplingButton(CRect(30, 0, 50, 20), &bench.listener, 6, nullptr));
    // trunc(value) != 0 turns the button off, 0 turns it on; NaN is not 0.
    const std::pair<float, float> toggles[] = {{1e30f, 0.0f}, {-1e30f, 0.0f}, {inf, 0.0f},   {-inf, 0.0f},
                                               {nan, 0.0f},   {-0.5f, 1.0f},  {-1.0f, 0.0f}, {0.99f, 1.0f}};
    for (CControl* button : {static_cast<CControl*>(onOff), static_cast<CControl*>(oversampling)})
        for (const auto& toggle : toggles)
        {
            button->setValue(toggle.first);
            bench.click(button, button->left() + 5, 5);
            EXPECT_EQ(button->getValue(), toggle.second) << "from " << toggle.first;
        }

    COptionMenu menu(CRect(0, 0, 50, 20), nullptr, 37, nullptr, nullptr, 0);
    menu.addEntry("a");
    menu.addEntry("b");
    menu.setValue(1.0f);
    for (float outside : {1e30f, -1e30f, inf, -inf, nan, 2.0f, -1.0f})
    {
        menu.setValue(outside);
        EXPECT_EQ(menu.getCurrent(), 1) << outside << " selects nothing";
    }
    menu.setValue(-0.5f); // truncates to entry 0
    EXPECT_EQ(menu.getCurrent(), 0);

    // An infinite value shows the knob at the end it lies beyond.
    CAnimKnob knob(CRect(0, 0, 40, 40), nullptr, 1, 101, 40, nullptr);
    CPoint atEnd, beyond;
    for (float end : {0.0f, 1.0f})
    {
        knob.setValue(end);
        knob.valueToPoint(atEnd);
        knob.setValue(end > 0.0f ? inf : -inf);
        knob.valueToPoint(beyond);
        EXPECT_EQ(beyond, atEnd);
        knob.draw(bench.context);
        EXPECT_FALSE(knob.isDirty());
    }

    // The reduction meter's bar for readings no signal should give.
    EXPECT_EQ(CMeterGR::barLength(-inf, false), CMeterGR::kMaxBarLength);
    EXPECT_EQ(CMeterGR::barLength(-1e30f, true), CMeterGR::kMaxBarLength);
    EXPECT_EQ(CMeterGR::barLength(nan, false), 0);
    EXPECT_EQ(CMeterGR::barLength(-1.0f, false), 7);
}

TEST(OnOffButton, DrawsTheLowerHalfWhenOn)
{
    ControlBench bench;
    CBitmap* bitmap = makeStrip(20, 10, {argb(200, 0, 0), argb(0, 200, 0)});
    auto* button = bench.add(new COnOffButton(CRect(5, 5, 25, 15), nullptr, 0, bitmap));
    bitmap->forget();
    bench.scripted.frame->draw();
    EXPECT_EQ(bench.scripted.window->pixel(10, 10), rgb(200, 0, 0));
    button->setValue(1.0f);
    bench.scripted.frame->idle();
    EXPECT_EQ(bench.scripted.window->pixel(10, 10), rgb(0, 200, 0));
}

TEST(KickButton, PressAndReleaseInsideReportsOneThenZero)
{
    ControlBench bench;
    auto* kick = bench.add(new CKickButton(CRect(10, 10, 30, 30), &bench.listener, 40, 20, nullptr));
    bench.scripted.window->playPath({{15, 15, kLButton}, {16, 16, kLButton}, {16, 16, 0}});
    bench.click(kick, 15, 15);
    EXPECT_EQ(heard(bench.listener), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(bench.editor.edits, (std::vector<std::string>{"begin 40", "end 40"}));
}

TEST(KickButton, DraggedOutsideBeforeReleaseEndsAtZero)
{
    ControlBench bench;
    auto* kick = bench.add(new CKickButton(CRect(10, 10, 30, 30), &bench.listener, 40, 20, nullptr));
    bench.scripted.window->playPath({{15, 15, kLButton}, {60, 60, kLButton}, {60, 60, kLButton}, {60, 60, 0}});
    bench.click(kick, 15, 15);
    EXPECT_EQ(heard(bench.listener), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(kick->getValue(), 0.0f);
}

TEST(KickButton, ModifiedClickTogglesOnceWithoutALoop)
{
    ControlBench bench;
    auto* kick = bench.add(new CKickButton(CRect(10, 10, 30, 30), &bench.listener, 40, 20, nullptr));
    bench.scripted.window->setPointer(15, 15, kLButton | kShift);
    bench.click(kick, 15, 15, kLButton | kShift);
    EXPECT_EQ(bench.listener.values(), (std::vector<float>{1.0f, 0.0f}));
}

TEST(RockerSwitch, VerticalUpperHalfReportsMinusOneThenZero)
{
    ControlBench bench;
    auto* rocker =
        bench.add(new CRockerSwitch(CRect(0, 0, 20, 40), &bench.listener, 33, 40, nullptr, CPoint(0, 0), kVertical));
    bench.scripted.window->playPath({{10, 5, kLButton}, {10, 6, kLButton}, {10, 6, 0}});
    bench.click(rocker, 10, 5);
    EXPECT_EQ(heard(bench.listener), (std::vector<float>{-1.0f, 0.0f}));
    EXPECT_EQ(bench.editor.edits, (std::vector<std::string>{"begin 33", "end 33"}));
}

TEST(RockerSwitch, HorizontalHalvesAndLeavingRestoresTheEntryValue)
{
    ControlBench bench;
    auto* rocker = bench.add(new CRockerSwitch(CRect(0, 0, 40, 20), &bench.listener, 33, 20, nullptr));
    bench.scripted.window->playPath(
        {{35, 10, kLButton}, {5, 10, kLButton}, {80, 80, kLButton}, {80, 80, kRButton}, {80, 80, 0}});
    bench.click(rocker, 35, 10);
    EXPECT_EQ(heard(bench.listener), (std::vector<float>{1.0f, -1.0f, 0.0f}));
}

TEST(RockerSwitch, WheelStepsOnceAndSpringsBack)
{
    ControlBench bench;
    auto* rocker = bench.add(new CRockerSwitch(CRect(0, 0, 40, 20), &bench.listener, 33, 20, nullptr));
    EXPECT_TRUE(rocker->onWheel(bench.context, CPoint(5, 5), 1.0f));
    EXPECT_TRUE(rocker->onWheel(bench.context, CPoint(5, 5), -2.0f));
    EXPECT_EQ(bench.listener.values(), (std::vector<float>{-1.0f, 0.0f, 1.0f, 0.0f}));
}

TEST(RockerSwitch, DrawsOneFramePerState)
{
    ControlBench bench;
    CBitmap* strip = makeStrip(10, 10, {argb(1, 0, 0), argb(2, 0, 0), argb(3, 0, 0)});
    auto* rocker = bench.add(new CRockerSwitch(CRect(0, 0, 10, 10), nullptr, 0, 10, strip));
    strip->forget();
    for (float value : {-1.0f, 0.0f, 1.0f})
    {
        rocker->setValue(value);
        bench.scripted.frame->drawView(rocker);
        EXPECT_EQ(bench.scripted.window->pixel(5, 5), rgb(static_cast<int>(value) + 2, 0, 0));
    }
}

class KnobDrag : public ::testing::Test
{
protected:
    void SetUp() override
    {
        knob = bench.add(new CKnob(CRect(0, 0, 100, 100), &bench.listener, 5, nullptr, nullptr));
        bench.editor.setKnobMode(kCircularMode);
    }
    void TearDown() override { bench.editor.setKnobMode(kCircularMode); }
    ControlBench bench;
    CKnob* knob = nullptr;
};

TEST_F(KnobDrag, ValueAndAngleMapBothWays)
{
    knob->setValue(0.0f);
    CPoint point;
    knob->valueToPoint(point);
    // 0 sits at the lower left (225 degrees), 1 at the lower right, 0.5 at the top.
    EXPECT_LT(point.x, 50);
    EXPECT_GT(point.y, 50);
    knob->setValue(0.5f);
    knob->valueToPoint(point);
    EXPECT_EQ(point, CPoint(50, 3));
    EXPECT_NEAR(knob->valueFromPoint(CPoint(50, 0)), 0.5f, 1e-4);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(100, 50)), 5.0f / 6.0f, 1e-4);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 50)), 1.0f / 6.0f, 1e-4);
    // In the dead gap at the bottom: the nearer end.
    EXPECT_EQ(knob->valueFromPoint(CPoint(45, 100)), 0.0f);
    EXPECT_EQ(knob->valueFromPoint(CPoint(55, 100)), 1.0f);
}

TEST_F(KnobDrag, CircularDragThroughTheGapPinsTheEndItCameFrom)
{
    knob->setValue(0.9f);
    // From the right side down through the bottom gap to the left side.
    std::vector<PointerStep> path = {{95, 70, kLButton}, {70, 95, kLButton}, {55, 99, kLButton}, {45, 99, kLButton},
                                     {30, 95, kLButton}, {5, 70, kLButton},  {5, 70, 0}};
    bench.scripted.window->playPath(path);
    bench.click(knob, 95, 70);
    ASSERT_FALSE(bench.listener.values().empty());
    for (float value : bench.listener.values())
        EXPECT_GT(value, 0.5f) << "the value never jumps to the other end";
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(bench.editor.edits, (std::vector<std::string>{"begin 5", "end 5"}));
}

TEST_F(KnobDrag, LinearDragCovers200PixelsOr300WithShift)
{
    bench.editor.setKnobMode(kLinearMode);
    knob->setValue(0.0f);
    bench.scripted.window->playPath(line(50, 50, 150, 50, 10, kLButton));
    bench.scripted.window->playPath([&] {
        auto path = line(50, 50, 150, 50, 10, kLButton);
        path.push_back({150, 50, 0});
        return path;
    }());
    bench.click(knob, 50, 50);
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5);

    knob->setValue(0.0f);
    auto path = line(50, 50, 200, -100, 15, kLButton | kShift);
    path.push_back({200, -100, kShift});
    bench.scripted.window->playPath(path);
    bench.click(knob, 50, 50, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 1.0f, 1e-5) << "150 right and 150 up make 300 pixels";

    // Alt switches back to circular for one drag.
    knob->setValue(0.2f);
    bench.scripted.window->playPath({{50, 0, kLButton | kAlt}, {50, 0, 0}});
    bench.click(knob, 50, 0, kLButton | kAlt);
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-4);
}

TEST_F(KnobDrag, ShiftChangeKeepsTheValueContinuous)
{
    bench.editor.setKnobMode(kLinearMode);
    knob->setValue(0.0f);
    // Shift is noticed with the next movement: up to there the old scale holds,
    // after it the finer one, with no jump at the change.
    std::vector<PointerStep> path = {{50, 50, kLButton},           {90, 50, kLButton},
                                     {90, 50, kLButton | kShift},  {120, 50, kLButton | kShift},
                                     {150, 50, kLButton | kShift}, {150, 50, 0}};
    bench.scripted.window->playPath(path);
    bench.click(knob, 50, 50);
    std::vector<float> values = heard(bench.listener);
    ASSERT_GE(values.size(), 3u);
    EXPECT_NEAR(values[values.size() - 2], 70.0f / 200.0f, 1e-5);
    EXPECT_NEAR(knob->getValue(), 70.0f / 200.0f + 30.0f / 300.0f, 1e-5);
}

TEST_F(KnobDrag, WheelAndArrowKeysStepAsOneEditEach)
{
    knob->setValue(0.5f);
    knob->setDirty(false);
    EXPECT_TRUE(knob->onWheel(bench.context, CPoint(10, 10), 2.0f));
    EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6);
    bench.scripted.window->setPointer(0, 0, kShift);
    EXPECT_TRUE(knob->onWheel(bench.context, CPoint(10, 10), -1.0f));
    EXPECT_NEAR(knob->getValue(), 0.69f, 1e-6);
    const platform::Key up = fromVstKeyCode({0, VKEY_UP, 0});
    const platform::Key left = fromVstKeyCode({0, VKEY_LEFT, kKeyShift});
    const platform::Key other = fromVstKeyCode({'a', 0, 0});
    EXPECT_EQ(knob->onKeyDown(up), 1);
    EXPECT_NEAR(knob->getValue(), 0.79f, 1e-6);
    EXPECT_EQ(knob->onKeyDown(left), 1);
    EXPECT_NEAR(knob->getValue(), 0.78f, 1e-6);
    EXPECT_EQ(knob->onKeyDown(other), -1);
    for (int i = 0; i < 5; ++i)
    {
        knob->onKeyDown(up);
        bench.scripted.frame->draw(); // a redraw between presses, as the idle cycle gives
    }
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(bench.editor.edits.size(), 2u * 4 + 2 * 3); // the last two presses at the top change nothing
    knob->setMouseEnabled(false);
    EXPECT_FALSE(knob->onWheel(bench.context, CPoint(10, 10), 1.0f));
}

TEST_F(KnobDrag, ControlClickRestoresTheDefault)
{
    knob->setValue(0.1f);
    bench.click(knob, 10, 10, kLButton | kControl);
    EXPECT_EQ(knob->getValue(), 0.5f);
}

TEST(Knob, DrawsTheHandleLineAndItsShadow)
{
    ControlBench bench;
    auto* knob = bench.add(new CKnob(CRect(0, 0, 40, 40), nullptr, 0, nullptr, nullptr));
    knob->setValue(0.5f);
    knob->setColorHandle(kWhiteCColor);
    knob->setColorShadowHandle(kRedCColor);
    bench.scripted.frame->draw();
    // Straight up from the centre: the shadow from (19, 3) to (19, 20), the handle
    // one pixel right and up, from (20, 2) to (20, 19), each without its end point.
    ScriptedWindow& screen = *bench.scripted.window;
    EXPECT_EQ(screen.pixel(19, 3), kRedCColor);
    EXPECT_EQ(screen.pixel(19, 19), kRedCColor);
    EXPECT_EQ(screen.pixel(19, 20), kBlackCColor);
    EXPECT_EQ(screen.pixel(20, 2), kWhiteCColor);
    EXPECT_EQ(screen.pixel(20, 18), kWhiteCColor);
    EXPECT_EQ(screen.pixel(20, 19), kBlackCColor);
    EXPECT_EQ(screen.pixel(21, 10), kBlackCColor);
}

TEST(AnimKnob, PicksTheFrameForTheValueAndSkipsInvisibleChanges)
{
    ControlBench bench;
    std::vector<uint32_t> colors;
    for (int i = 0; i < 5; ++i)
        colors.push_back(argb(i * 10, 0, 0));
    CBitmap* strip = makeStrip(10, 10, colors);
    auto* knob = bench.add(new CAnimKnob(CRect(0, 0, 10, 10), nullptr, 0, 5, 10, strip));
    strip->forget();
    struct Case
    {
        float value;
        int frame;
    };
    for (Case c : {Case{0.0f, 0}, Case{0.24f, 0}, Case{0.25f, 1}, Case{0.99f, 3}, Case{1.0f, 4}, Case{-0.5f, 0}})
    {
        knob->setValue(c.value);
        bench.scripted.frame->drawView(knob);
        EXPECT_EQ(bench.scripted.window->pixel(5, 5), rgb(c.frame * 10, 0, 0)) << c.value;
    }
    knob->setInverseBitmap(true);
    knob->setValue(0.0f);
    bench.scripted.frame->drawView(knob);
    EXPECT_EQ(bench.scripted.window->pixel(5, 5), rgb(40, 0, 0));

    knob->setValue(0.5f);
    bench.scripted.frame->drawView(knob);
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.5001f);
    EXPECT_FALSE(knob->isDirty()) << "too small a change to move the handle";
    knob->setValue(0.7f);
    EXPECT_TRUE(knob->isDirty());
}

TEST(ParamDisplay, DrawsBackgroundFrameAndThreeDimensionalEdges)
{
    ControlBench bench;
    auto* display = bench.add(new CParamDisplay(CRect(10, 10, 50, 30)));
    display->setBackColor(kBlueCColor);
    display->setFrameColor(kGreenCColor);
    display->setFontColor(kWhiteCColor);
    display->setValue(0.25f);
    bench.scripted.frame->draw();
    ScriptedWindow& screen = *bench.scripted.window;
    EXPECT_EQ(screen.pixel(10, 10), kGreenCColor);
    EXPECT_EQ(screen.pixel(49, 29), kGreenCColor);
    EXPECT_EQ(screen.pixel(12, 12), kBlueCColor);
    EXPECT_EQ(screen.pixel(50, 30), kBlackCColor);

    display->setStyle(k3DIn);
    display->setDirty(true);
    bench.scripted.frame->idle();
    // Sunken: left and top in the back colour, right and bottom in the frame colour.
    EXPECT_EQ(screen.pixel(10, 20), kBlueCColor);
    EXPECT_EQ(screen.pixel(30, 11), kBlueCColor);
    EXPECT_EQ(screen.pixel(49, 20), kGreenCColor);
    EXPECT_EQ(screen.pixel(30, 29), kGreenCColor);

    display->setStyle(kNoDrawStyle);
    display->setBackColor(kRedCColor);
    bench.scripted.frame->idle();
    EXPECT_EQ(screen.pixel(12, 12), kBlueCColor);
}

TEST(ParamDisplay, TextComesFromTheConvertersOrTheValue)
{
    ControlBench bench;
    static float seen;
    auto* display = bench.add(new CParamDisplay(CRect(0, 0, 80, 20)));
    display->setStringConvert([](float value, char* text) {
        seen = value;
        std::strcpy(text, "x");
    });
    display->setValue(0.75f);
    bench.scripted.frame->draw();
    EXPECT_EQ(seen, 0.75f);
    EXPECT_FALSE(display->isDirty());
    EXPECT_TRUE(display->isTypeOf("CParamDisplay"));
}

class TextEditing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        field = bench.add(new CTextEdit(CRect(20, 20, 120, 40), &bench.listener, 31, "Current"));
        bench.scripted.frame->draw();
    }
    ControlBench bench;
    CTextEdit* field = nullptr;
};

TEST_F(TextEditing, ClickOpensTheBoxWithTheTextAtTheFieldsPlace)
{
    CPoint where(30, 30);
    bench.scripted.frame->mouse(bench.context, where, kLButton);
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(bench.scripted.window->editText, "Current");
    EXPECT_EQ(bench.scripted.window->editRect.left, 20);
    EXPECT_EQ(bench.scripted.window->editRect.bottom, 40);
    EXPECT_EQ(bench.scripted.frame->getFocusView(), field);
    EXPECT_EQ(bench.editor.edits, (std::vector<std::string>{"begin 31"}));
}

TEST_F(TextEditing, UnchangedTextOnLeavingReportsNoChange)
{
    bench.click(field, 30, 30);
    bench.scripted.window->editListener->editBoxFocusLost();
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(bench.listener.changes.empty());
    EXPECT_EQ(bench.editor.edits, (std::vector<std::string>{"begin 31", "end 31"}));
    EXPECT_EQ(bench.scripted.frame->getFocusView(), nullptr);
}

TEST_F(TextEditing, ReturnTakesTheTypedText)
{
    bench.click(field, 30, 30);
    bench.scripted.window->editText = "Loud master";
    bench.scripted.window->editListener->editBoxReturn();
    EXPECT_TRUE(field->wasReturnPressed());
    char text[256];
    field->getText(text);
    EXPECT_STREQ(text, "Loud master");
    ASSERT_EQ(bench.listener.changes.size(), 1u);
    EXPECT_EQ(bench.listener.changes[0].tag, 31);
    EXPECT_EQ(bench.scripted.window->openEditBoxes, 0);
}

TEST_F(TextEditing, AClickElsewhereEndsTheEditAndKeepsAtMost255Characters)
{
    bench.click(field, 30, 30);
    bench.scripted.window->editText = std::string(300, 'k');
    CPoint elsewhere(200, 200);
    bench.scripted.frame->mouse(bench.context, elsewhere, kLButton);
    EXPECT_FALSE(field->isEditing());
    char text[256];
    field->getText(text);
    EXPECT_EQ(std::string(text), std::string(255, 'k'));

    field->setText(std::string(400, 'z').c_str());
    field->getText(text);
    EXPECT_EQ(std::strlen(text), 255u);
}

TEST_F(TextEditing, DoubleClickStyleNeedsTwoClicks)
{
    field->setStyle(kDoubleClickStyle);
    bench.click(field, 30, 30);
    EXPECT_FALSE(field->isEditing());
    bench.click(field, 30, 30);
    EXPECT_TRUE(field->isEditing());
}

TEST_F(TextEditing, KeysFromTheHostReachTheOpenBox)
{
    bench.click(field, 30, 30);
    bench.scripted.window->editText.clear();
    VstKeyCode a{'a', 0, 0};
    EXPECT_TRUE(bench.editor.onKeyDown(a));
    EXPECT_EQ(bench.scripted.window->editText, "a");
}

TEST(OptionMenu, EntriesInsertRemoveAndTheCurrentOneFollows)
{
    COptionMenu menu(CRect(0, 0, 50, 20), nullptr, 37);
    EXPECT_EQ(menu.getCurrent(), -1);
    EXPECT_TRUE(menu.addEntry("Current"));
    EXPECT_EQ(menu.getCurrent(), 0);
    menu.addEntry("-");
    menu.addEntry("Loud");
    menu.addEntry("Gentle");
    EXPECT_TRUE(menu.setCurrent(3));
    menu.addEntry("First", 0);
    EXPECT_EQ(menu.getCurrent(), 4) << "the current entry moves down with the insertion";
    char text[256];
    EXPECT_EQ(menu.getCurrent(text, false), 3) << "counted without the separator";
    EXPECT_STREQ(text, "Gentle");
    EXPECT_TRUE(menu.setCurrent(2, false));
    EXPECT_EQ(menu.getCurrent(), 3);
    EXPECT_FALSE(menu.setCurrent(2)) << "a separator cannot be current";

    EXPECT_TRUE(menu.removeEntry(3));
    EXPECT_EQ(menu.getCurrent(), 2) << "removing the current entry makes the previous one current";
    EXPECT_EQ(menu.getIndex("Gentle"), 3);
    EXPECT_TRUE(menu.setEntry(3, "Soft"));
    EXPECT_TRUE(menu.getEntry(3, text));
    EXPECT_STREQ(text, "Soft");
    EXPECT_FALSE(menu.removeEntry(9));
    while (menu.getNbEntries() > 0)
        menu.removeEntry(0);
    EXPECT_EQ(menu.getCurrent(), -1);
}

TEST(OptionMenu, HoldsAtMost1024Entries)
{
    COptionMenu menu(CRect(0, 0, 50, 20), nullptr, 37);
    for (int i = 0; i < 1024; ++i)
        ASSERT_TRUE(menu.addEntry(std::to_string(i).c_str()));
    EXPECT_FALSE(menu.addEntry("one too many"));
    EXPECT_EQ(menu.getNbEntries(), 1024);
    menu.removeAllEntry();
    EXPECT_EQ(menu.getNbEntries(), 0);
}

TEST(OptionMenu, SetValueSelectsAndTogglesChecksWithMultipleCheckStyle)
{
    COptionMenu menu(CRect(0, 0, 50, 20), nullptr, 37, nullptr, nullptr, kMultipleCheckStyle);
    menu.addEntry("a");
    menu.addEntry("b");
    menu.setValue(1.7f);
    EXPECT_EQ(menu.getCurrent(), 1);
    EXPECT_TRUE(menu.isCheckEntry(1));
    menu.setValue(1.0f);
    EXPECT_FALSE(menu.isCheckEntry(1));
    menu.setValue(5.0f);
    EXPECT_EQ(menu.getCurrent(), 1);
    menu.checkEntryAlone(0);
    EXPECT_TRUE(menu.isCheckEntry(0));
    EXPECT_FALSE(menu.isCheckEntry(1));
}

TEST(OptionMenu, PopUpShowsTheEntriesAndReportsTheChoiceOnItsMenu)
{
    ControlBench bench;
    auto* group = new CViewContainer(CRect(100, 100, 300, 300), bench.scripted.frame);
    auto* menu = new COptionMenu(CRect(10, 20, 60, 35), &bench.listener, 37, nullptr, nullptr, kCheckStyle);
    group->addView(menu);
    bench.scripted.frame->addView(group);
    auto* presets = new COptionMenu(CRect(0, 0, 1, 1), nullptr, 0);
    presets->addEntry("Soft");
    presets->addEntry("Hard");
    menu->addEntry("Current");
    menu->addEntry("-");
    menu->addEntry("-TFactory");
    menu->addEntry("-GLocked");
    menu->addEntry(presets, "More");
    menu->addEntry("Last");
    menu->setNbItemsPerColumn(3);
    presets->forget();

    // The submenu's second entry: commands count through the whole tree in build order.
    bench.scripted.window->menuChoice = 7;
    CPoint where(110, 125);
    bench.scripted.frame->mouse(bench.context, where, kRButton);
    const auto& items = bench.scripted.window->lastMenu;
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].text, "Current");
    EXPECT_TRUE(items[0].checked);
    EXPECT_EQ(items[1].kind, platform::MenuItem::separator);
    EXPECT_EQ(items[2].kind, platform::MenuItem::title);
    EXPECT_EQ(items[2].text, "Factory");
    EXPECT_EQ(items[3].kind, platform::MenuItem::greyed);
    EXPECT_TRUE(items[3].columnBreak);
    EXPECT_EQ(items[4].kind, platform::MenuItem::submenu);
    EXPECT_EQ(items[4].text, "More");
    ASSERT_EQ(items[4].items.size(), 2u);
    EXPECT_EQ(items[4].items[1].command, 7);
    EXPECT_EQ(items[5].command, 8);
    EXPECT_EQ(bench.scripted.window->menuX, 110);
    EXPECT_EQ(bench.scripted.window->menuY, 135);

    ASSERT_EQ(bench.listener.changes.size(), 1u);
    EXPECT_EQ(bench.listener.changes[0].control, menu->getSubMenu(0));
    EXPECT_EQ(bench.listener.changes[0].value, 1.0f);
    long index = -1;
    EXPECT_EQ(menu->getLastItemMenu(index), menu->getSubMenu(0));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(menu->getCurrent(), 0);
    EXPECT_EQ(bench.scripted.frame->getFocusView(), nullptr);
    EXPECT_EQ(bench.editor.edits, (std::vector<std::string>{"begin 37", "end 37"}));

    // A cancelled menu changes nothing; the pop-up style opens at the top.
    menu->setStyle(kPopupStyle);
    bench.scripted.window->menuChoice = 0;
    bench.scripted.frame->mouse(bench.context, where, kLButton);
    EXPECT_EQ(bench.listener.changes.size(), 1u);
    EXPECT_EQ(bench.scripted.window->menuY, 120);
    EXPECT_FALSE(bench.scripted.window->lastMenu[0].checked);

    bench.scripted.window->menuChoice = 8;
    bench.scripted.frame->mouse(bench.context, where, kLButton);
    EXPECT_EQ(bench.listener.changes.back().control, menu);
    EXPECT_EQ(menu->getCurrent(), 5);
}
