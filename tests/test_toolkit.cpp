// The view framework with synthetic input: dispatch order, modal views, focus
// and tab, keys, wheel, dirty marking and the update cycle, drag and drop,
// idle pacing and resizing.
#include "tests/support/gui/GuiTestSupport.h"

#include "platform/SystemTime.h"

#include <gtest/gtest.h>

using namespace VSTGUI;
using namespace guitest;

namespace
{

// A view that records what reaches it.
class ProbeView : public CView
{
public:
    ProbeView(const CRect& size, std::vector<std::string>* log, const char* name, bool focus = false)
        : CView(size),
          log(log),
          name(name)
    {
        setWantsFocus(focus);
    }
    void draw(CDrawContext* context) override
    {
        draws++;
        context->setFillColor(colour);
        context->drawRect(size, kDrawFilled);
        setDirty(false);
    }
    void mouse(CDrawContext*, CPoint& where, long buttons) override
    {
        record("mouse " + std::to_string(where.x) + "," + std::to_string(where.y) + " b" + std::to_string(buttons));
    }
    long onKeyDown(const platform::Key& key) override
    {
        record("key " + std::to_string(static_cast<int>(key.name)));
        return handlesKeys ? 1 : -1;
    }
    bool onWheel(CDrawContext*, const CPoint& where, float distance) override
    {
        record("wheel " + std::to_string(where.x) + "," + std::to_string(where.y) + " " +
               std::to_string(static_cast<int>(distance)));
        return true;
    }
    void looseFocus(CDrawContext*) override { record("loose"); }
    void onDragEnter(CDrawContext*, CDragContainer* drag, const CPoint&) override
    {
        record("enter " + std::to_string(drag->getCount()));
    }
    void onDragLeave(CDrawContext*, CDragContainer*, const CPoint&) override { record("leave"); }
    void onDragMove(CDrawContext*, CDragContainer*, const CPoint&) override { record("move"); }
    bool onDrop(CDrawContext*, CDragContainer* drag, const CPoint&) override
    {
        long size = 0, type = 0;
        const char* item = drag->first(size, type);
        record(std::string("drop ") + (item ? item : "") + " t" + std::to_string(type));
        return true;
    }

    int draws = 0;
    bool handlesKeys = false;
    CColor colour = kRedCColor;

private:
    void record(const std::string& what)
    {
        if (log)
            log->push_back(name + ": " + what);
    }
    std::vector<std::string>* log;
    std::string name;
};

platform::Key key(unsigned char virt, unsigned char modifier = 0)
{
    platform::Key code = fromVstKeyCode({0, virt, modifier});
    return code;
}

} // namespace

TEST(ReferenceCounter, ForgetOnTheLastReferenceDestroys)
{
    static int destroyed;
    destroyed = 0;
    struct Counted : CReferenceCounter
    {
        ~Counted() override { destroyed++; }
    };
    auto* object = new Counted;
    object->remember();
    EXPECT_EQ(object->getNbReference(), 2);
    object->forget();
    EXPECT_EQ(destroyed, 0);
    object->forget();
    EXPECT_EQ(destroyed, 1);
}

TEST(Geometry, EdgesAreInsideAndTouchingRectanglesOverlap)
{
    CRect rect(10, 10, 20, 20);
    EXPECT_TRUE(rect.pointInside(CPoint(10, 10)));
    EXPECT_TRUE(rect.pointInside(CPoint(20, 20)));
    EXPECT_FALSE(rect.pointInside(CPoint(21, 15)));
    EXPECT_TRUE(rect.rectOverlap(CRect(20, 20, 30, 30)));
    EXPECT_FALSE(rect.rectOverlap(CRect(21, 0, 30, 30)));
    CRect bounded(rect);
    bounded.bound(CRect(15, 0, 40, 12));
    EXPECT_EQ(bounded, CRect(15, 10, 20, 12));
}

TEST(Containers, ViewsOwnershipFollowsAddAndRemove)
{
    ScriptedFrame scripted;
    auto* view = new CView(CRect(0, 0, 10, 10));
    scripted.frame->addView(view);
    EXPECT_EQ(view->getNbReference(), 2);
    EXPECT_EQ(view->getFrame(), scripted.frame);
    EXPECT_EQ(view->getParentView(), scripted.frame);
    EXPECT_TRUE(scripted.frame->isChild(view));
    view->remember();
    scripted.frame->removeView(view, false);
    EXPECT_EQ(view->getNbReference(), 2);
    scripted.frame->addView(view);
    // Asked to forget, the container also drops the creator's reference, but never
    // more references than exist.
    scripted.frame->removeView(view, true);
    EXPECT_EQ(view->getNbReference(), 1);
    view->forget();
}

namespace
{

// A view that takes itself off its container from its own handler (as a
// closing panel does) and goes on using its own state afterwards.
class SelfRemovingView : public CView
{
public:
    SelfRemovingView(const CRect& size, int* destroyed, int* seenInHandler)
        : CView(size),
          destroyed(destroyed),
          seenInHandler(seenInHandler)
    {}
    ~SelfRemovingView() override { ++*destroyed; }
    void mouse(CDrawContext*, CPoint&, long) override { removeSelf(); }
    bool onWheel(CDrawContext*, const CPoint&, float) override
    {
        removeSelf();
        return true;
    }

private:
    void removeSelf()
    {
        static_cast<CViewContainer*>(getParentView())->removeView(this, true);
        *seenInHandler = *destroyed;
        setDirty(true); // a use after free if the removal freed the view
    }
    int* destroyed;
    int* seenInHandler;
};

} // namespace

TEST(Containers, AViewRemovingItselfInItsHandlerLivesUntilTheHandlerReturns)
{
    int destroyed = 0;
    int seenInHandler = -1;
    ScriptedFrame scripted;
    CDrawContext* context = scripted.frame->createDrawContext();
    // Through a click, inside a nested container, the creator having let go.
    auto* group = new CViewContainer(CRect(0, 0, 100, 100), scripted.frame);
    scripted.frame->addView(group);
    group->forget();
    auto* clicked = new SelfRemovingView(CRect(10, 10, 20, 20), &destroyed, &seenInHandler);
    group->addView(clicked);
    clicked->forget();
    CPoint where(15, 15);
    scripted.frame->mouse(context, where, kLButton);
    EXPECT_EQ(seenInHandler, 0) << "not freed while its handler runs";
    EXPECT_EQ(destroyed, 1) << "released once the handler returned";
    EXPECT_EQ(group->getNbViews(), 0);

    // Through the wheel, straight in the frame; the creator's reference,
    // still held, is released too as asked.
    auto* turned = new SelfRemovingView(CRect(30, 30, 40, 40), &destroyed, &seenInHandler);
    scripted.frame->addView(turned);
    turned->remember(); // the test's own look at it afterwards
    EXPECT_TRUE(scripted.frame->onWheel(context, CPoint(35, 35), 1.0f));
    EXPECT_EQ(seenInHandler, 1);
    EXPECT_EQ(turned->getNbReference(), 1) << "the container's and the creator's references are gone";
    turned->forget();
    EXPECT_EQ(destroyed, 2);
    context->forget();
}

TEST(MouseDispatch, OverlappingViewsGiveTheClickToTheLastAdded)
{
    std::vector<std::string> log;
    ScriptedFrame scripted;
    scripted.frame->addView(new ProbeView(CRect(10, 10, 60, 60), &log, "first"));
    scripted.frame->addView(new ProbeView(CRect(40, 40, 90, 90), &log, "second"));
    CDrawContext* context = scripted.frame->createDrawContext();
    CPoint overlap(50, 50);
    scripted.frame->mouse(context, overlap, kLButton);
    CPoint onlyFirst(15, 15);
    scripted.frame->mouse(context, onlyFirst, kLButton);
    context->forget();
    EXPECT_EQ(log, (std::vector<std::string>{"second: mouse 50,50 b1", "first: mouse 15,15 b1"}));
}

TEST(MouseDispatch, DisabledViewsAreSkippedAndNestedPointsAreLocal)
{
    std::vector<std::string> log;
    ScriptedFrame scripted;
    auto* container = new CViewContainer(CRect(20, 30, 120, 130), scripted.frame);
    auto* below = new ProbeView(CRect(0, 0, 50, 50), &log, "below");
    auto* disabled = new ProbeView(CRect(0, 0, 50, 50), &log, "disabled");
    container->addView(below);
    container->addView(disabled);
    disabled->setMouseEnabled(false);
    scripted.frame->addView(container);
    CDrawContext* context = scripted.frame->createDrawContext();
    scripted.window->setPointer(0, 0, kLButton | kShift);
    CPoint where(30, 40);
    scripted.frame->mouse(context, where, -1);
    context->forget();
    EXPECT_EQ(log, (std::vector<std::string>{"below: mouse 10,10 b9"}));
}

TEST(MouseDispatch, ModalViewTakesClicksAndDropsThoseOutside)
{
    std::vector<std::string> log;
    ScriptedFrame scripted;
    scripted.frame->addView(new ProbeView(CRect(0, 0, 200, 200), &log, "panel"));
    auto* modal = new ProbeView(CRect(50, 50, 100, 100), &log, "modal");
    EXPECT_TRUE(scripted.frame->setModalView(modal));
    auto* second = new ProbeView(CRect(0, 0, 1, 1), nullptr, "second");
    EXPECT_FALSE(scripted.frame->setModalView(second));
    second->forget();
    CDrawContext* context = scripted.frame->createDrawContext();
    CPoint inside(60, 60), outside(10, 10);
    scripted.frame->mouse(context, inside, kLButton);
    scripted.frame->mouse(context, outside, kLButton);
    EXPECT_EQ(scripted.frame->getCurrentView(), modal);
    platform::Key down = key(VKEY_DOWN);
    scripted.frame->onKeyDown(down);
    EXPECT_TRUE(scripted.frame->setModalView(nullptr));
    scripted.frame->mouse(context, outside, kLButton);
    context->forget();
    EXPECT_EQ(log, (std::vector<std::string>{"modal: mouse 60,60 b1", "modal: key 14", "panel: mouse 10,10 b1"}));
    modal->forget();
}

TEST(Focus, AnyClickEndsTheFocusBeforeDispatchAndRemovalClearsIt)
{
    std::vector<std::string> log;
    ScriptedFrame scripted;
    auto* field = new ProbeView(CRect(0, 0, 50, 20), &log, "field", true);
    auto* other = new ProbeView(CRect(0, 30, 50, 50), &log, "other");
    scripted.frame->addView(field);
    scripted.frame->addView(other);
    scripted.frame->setFocusView(field);
    EXPECT_TRUE(field->isDirty());
    CDrawContext* context = scripted.frame->createDrawContext();
    CPoint where(10, 40);
    scripted.frame->mouse(context, where, kLButton);
    context->forget();
    EXPECT_EQ(scripted.frame->getFocusView(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"field: loose", "other: mouse 10,40 b1"}));

    scripted.frame->setFocusView(field);
    scripted.frame->removeView(field);
    EXPECT_EQ(scripted.frame->getFocusView(), nullptr);
}

TEST(Focus, TabWalksTheViewsThatWantFocusThroughNestedContainers)
{
    ScriptedFrame scripted;
    auto* a = new ProbeView(CRect(0, 0, 10, 10), nullptr, "a", true);
    auto* plain = new ProbeView(CRect(0, 20, 10, 30), nullptr, "plain");
    auto* group = new CViewContainer(CRect(50, 50, 150, 150), scripted.frame);
    auto* b = new ProbeView(CRect(0, 0, 10, 10), nullptr, "b", true);
    auto* c = new ProbeView(CRect(0, 20, 10, 30), nullptr, "c", true);
    group->addView(b);
    group->addView(c);
    scripted.frame->addView(a);
    scripted.frame->addView(plain);
    scripted.frame->addView(group);

    platform::Key tab = key(VKEY_TAB);
    EXPECT_EQ(scripted.frame->onKeyDown(tab), 1);
    EXPECT_EQ(scripted.frame->getFocusView(), a);
    EXPECT_EQ(scripted.frame->onKeyDown(tab), 1);
    EXPECT_EQ(scripted.frame->getFocusView(), b);
    EXPECT_EQ(scripted.frame->onKeyDown(tab), 1);
    EXPECT_EQ(scripted.frame->getFocusView(), c);
    EXPECT_EQ(scripted.frame->onKeyDown(tab), 1);
    EXPECT_EQ(scripted.frame->getFocusView(), a);
    platform::Key backTab = key(VKEY_TAB, kKeyShift);
    EXPECT_EQ(scripted.frame->onKeyDown(backTab), 1);
    EXPECT_EQ(scripted.frame->getFocusView(), c);
    EXPECT_EQ(scripted.frame->onKeyDown(backTab), 1);
    EXPECT_EQ(scripted.frame->getFocusView(), b);
}

TEST(Focus, TabWithoutAnyViewWantingFocusIsNotHandled)
{
    ScriptedFrame scripted;
    scripted.frame->addView(new ProbeView(CRect(0, 0, 10, 10), nullptr, "plain"));
    platform::Key tab = key(VKEY_TAB);
    EXPECT_EQ(scripted.frame->onKeyDown(tab), -1);
    platform::Key other = key(VKEY_SPACE);
    EXPECT_EQ(scripted.frame->onKeyDown(other), -1);
}

TEST(Keys, TheFocusViewHearsKeysFirstAndTheEditorReportsHandledKeys)
{
    std::vector<std::string> log;
    TestEffect effect;
    TestEditor editor(&effect);
    ScriptedFrame scripted(200, 200, &editor);
    editor.attachFrame(scripted.frame);
    auto* focused = new ProbeView(CRect(0, 0, 10, 10), &log, "focused", true);
    auto* other = new ProbeView(CRect(0, 20, 10, 30), &log, "other");
    scripted.frame->addView(focused);
    scripted.frame->addView(other);
    VstKeyCode up{0, VKEY_UP, 0};
    EXPECT_FALSE(editor.onKeyDown(up));
    scripted.frame->setFocusView(focused);
    focused->handlesKeys = true;
    EXPECT_TRUE(editor.onKeyDown(up));
    EXPECT_EQ(log, (std::vector<std::string>{"focused: key 12"}));
    editor.attachFrame(nullptr);
}

TEST(Wheel, GoesToTheViewUnderThePointInItsContainersCoordinates)
{
    std::vector<std::string> log;
    TestEffect effect;
    TestEditor editor(&effect);
    ScriptedFrame scripted(200, 200, &editor);
    editor.attachFrame(scripted.frame);
    auto* group = new CViewContainer(CRect(100, 100, 200, 200), scripted.frame);
    group->addView(new ProbeView(CRect(10, 10, 40, 40), &log, "knob"));
    scripted.frame->addView(group);
    scripted.window->setPointer(120, 125, 0);
    EXPECT_TRUE(editor.onWheel(2.0f));
    scripted.window->setPointer(5, 5, 0);
    EXPECT_FALSE(editor.onWheel(1.0f));
    EXPECT_EQ(log, (std::vector<std::string>{"knob: wheel 20,25 2"}));
    editor.attachFrame(nullptr);
}

TEST(Redraw, IdleDrawsOnlyDirtyViewsAfterTheFirstPaint)
{
    ScriptedFrame scripted(100, 100);
    auto* left = new ProbeView(CRect(0, 0, 50, 100), nullptr, "left");
    auto* right = new ProbeView(CRect(50, 0, 100, 100), nullptr, "right");
    right->colour = kGreenCColor;
    scripted.frame->addView(left);
    scripted.frame->addView(right);

    scripted.frame->idle();
    EXPECT_EQ(left->draws, 0) << "nothing is drawn before the window's first paint";
    EXPECT_TRUE(scripted.frame->isFirstPaintPending());
    scripted.frame->draw();
    EXPECT_FALSE(scripted.frame->isFirstPaintPending());
    EXPECT_EQ(left->draws, 1);
    EXPECT_EQ(scripted.window->pixel(10, 10), kRedCColor);
    EXPECT_EQ(scripted.window->pixel(60, 10), kGreenCColor);
    EXPECT_FALSE(scripted.frame->isDirty());

    right->colour = kBlueCColor;
    right->setDirty(true);
    EXPECT_TRUE(scripted.frame->isDirty());
    scripted.frame->idle();
    EXPECT_EQ(left->draws, 1);
    EXPECT_EQ(right->draws, 2);
    EXPECT_EQ(scripted.window->pixel(60, 10), kBlueCColor);
    EXPECT_FALSE(scripted.frame->isDirty());
    EXPECT_GT(scripted.window->processed, 0);

    scripted.frame->invalidate(CRect(0, 0, 10, 10));
    scripted.frame->idle();
    EXPECT_EQ(left->draws, 2);
    EXPECT_EQ(right->draws, 2);

    scripted.frame->setUpdatesDisabled(true);
    left->setDirty(true);
    scripted.frame->idle();
    EXPECT_EQ(left->draws, 2);
}

TEST(Redraw, ContainersDrawTheirChildrenThroughTheirOwnBuffer)
{
    ScriptedFrame scripted(100, 100);
    auto* group = new CViewContainer(CRect(20, 20, 80, 80), scripted.frame);
    group->setBackgroundColor(kYellowCColor);
    auto* inner = new ProbeView(CRect(10, 10, 20, 20), nullptr, "inner");
    group->addView(inner);
    scripted.frame->addView(group);
    scripted.frame->draw();
    EXPECT_EQ(scripted.window->pixel(21, 21), kYellowCColor);
    EXPECT_EQ(scripted.window->pixel(30, 30), kRedCColor);
    EXPECT_EQ(scripted.window->pixel(40, 40), kYellowCColor);
    EXPECT_EQ(scripted.window->pixel(10, 10), kBlackCColor);
    ASSERT_NE(group->getOffscreenContext(), nullptr);
    EXPECT_EQ(group->getOffscreenContext()->getPixel(10, 10), kRedCColor);

    // Mode 1: only the dirty child is redrawn, then the whole buffer is shown.
    group->setMode(kOnlyDirtyUpdate);
    int before = inner->draws;
    inner->colour = kCyanCColor;
    inner->setDirty(true);
    scripted.frame->idle();
    EXPECT_EQ(inner->draws, before + 1);
    EXPECT_EQ(scripted.window->pixel(30, 30), kCyanCColor);

    // Without a buffer the background under the child is repainted first.
    group->useOffscreen(false);
    EXPECT_EQ(group->getOffscreenContext(), nullptr);
    inner->colour = kMagentaCColor;
    inner->setDirty(true);
    scripted.frame->idle();
    EXPECT_EQ(scripted.window->pixel(30, 30), kMagentaCColor);
}

TEST(Redraw, ContainerDirtinessCountsOnlyChildrenInsideIt)
{
    ScriptedFrame scripted(100, 100);
    auto* group = new CViewContainer(CRect(0, 0, 50, 50), scripted.frame);
    auto* outside = new ProbeView(CRect(60, 60, 70, 70), nullptr, "outside");
    group->addView(outside);
    scripted.frame->addView(group);
    scripted.frame->draw();
    outside->setDirty(true);
    EXPECT_FALSE(group->isDirty());
}

TEST(ControlState, DirtyFollowsTheOldValue)
{
    CControl control(CRect(0, 0, 10, 10));
    EXPECT_TRUE(control.isDirty()) << "old value 1 differs from value 0";
    control.setDirty(false);
    EXPECT_FALSE(control.isDirty());
    control.setValue(0.25f);
    EXPECT_TRUE(control.isDirty());
    control.setDirty(false);
    EXPECT_EQ(control.getOldValue(), 0.25f);
    control.setValue(-1.0f);
    control.setDirty(true);
    EXPECT_EQ(control.getOldValue(), 0.0f);
    control.setValue(3.0f);
    control.bounceValue();
    EXPECT_EQ(control.getValue(), 1.0f);
    EXPECT_TRUE(control.isTypeOf("CView"));
    EXPECT_TRUE(control.isTypeOf("CControl"));
    EXPECT_FALSE(control.isTypeOf("CViewContainer"));
}

TEST(ControlState, ControlClickSetsTheDefaultAsOneEdit)
{
    TestEffect effect;
    TestEditor editor(&effect);
    ScriptedFrame scripted(100, 100, &editor);
    RecordingListener listener;
    auto* control = new CControl(CRect(0, 0, 10, 10), &listener, 7);
    scripted.frame->addView(control);
    control->setValue(0.9f);
    control->setDirty(false);
    EXPECT_FALSE(control->checkDefaultValue(nullptr, kLButton));
    EXPECT_FALSE(control->checkDefaultValue(nullptr, kLButton | kControl | kShift));
    EXPECT_TRUE(control->checkDefaultValue(nullptr, kLButton | kControl));
    EXPECT_EQ(control->getValue(), 0.5f);
    EXPECT_EQ(listener.values(), std::vector<float>{0.5f});
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 7", "end 7"}));
    EXPECT_EQ(scripted.frame->getFocusView(), control);
}

TEST(DragAndDrop, FollowsTheViewUnderThePointer)
{
    std::vector<std::string> log;
    ScriptedFrame scripted(200, 100);
    scripted.frame->addView(new ProbeView(CRect(0, 0, 100, 100), &log, "left"));
    scripted.frame->addView(new ProbeView(CRect(100, 0, 200, 100), &log, "right"));
    auto* files = new CDragContainer(true, {"/tmp/a.qdx", "/tmp/b.qdb"});
    CDrawContext* context = scripted.frame->createDrawContext();
    scripted.frame->onDragEnter(context, files, CPoint(10, 10));
    scripted.frame->onDragMove(context, files, CPoint(20, 10));
    scripted.frame->onDragMove(context, files, CPoint(150, 10));
    EXPECT_TRUE(scripted.frame->onDrop(context, files, CPoint(150, 20)));
    context->forget();
    files->forget();
    EXPECT_EQ(log, (std::vector<std::string>{"left: enter 2", "left: move", "left: leave", "right: enter 2",
                                             "right: drop /tmp/a.qdx t0", "right: leave"}));

    CDragContainer text(false, {"hello"});
    long size = 0, type = 0;
    EXPECT_STREQ(text.first(size, type), "hello");
    EXPECT_EQ(size, 5);
    EXPECT_EQ(type, CDragContainer::kText);
    EXPECT_EQ(text.next(size, type), nullptr);
    EXPECT_EQ(type, CDragContainer::kError);
}

TEST(Coordinates, NestedContainersConvertBetweenFrameAndLocalPoints)
{
    ScriptedFrame scripted(300, 300);
    auto* outer = new CViewContainer(CRect(10, 20, 210, 220), scripted.frame);
    auto* inner = new CViewContainer(CRect(5, 5, 105, 105), scripted.frame);
    auto* leaf = new CView(CRect(1, 2, 11, 12));
    inner->addView(leaf);
    outer->addView(inner);
    scripted.frame->addView(outer);
    CPoint point(0, 0);
    leaf->localToFrame(point);
    EXPECT_EQ(point, CPoint(15, 25));
    leaf->frameToLocal(point);
    EXPECT_EQ(point, CPoint(0, 0));
    EXPECT_EQ(scripted.frame->getViewAt(CPoint(17, 28), true), leaf);
    EXPECT_EQ(scripted.frame->getViewAt(CPoint(17, 28), false), outer);

    // A view reads the pointer in its parent's coordinates.
    scripted.window->setPointer(20, 30, 0);
    CDrawContext* context = scripted.frame->createDrawContext();
    CPoint where;
    leaf->getMouseLocation(context, where);
    EXPECT_EQ(where, CPoint(5, 5));
    EXPECT_EQ(context->offset, CPoint(0, 0));
    context->forget();
    EXPECT_EQ(inner->getCurrentView(), leaf);
    EXPECT_EQ(scripted.frame->getCurrentView(), outer);
}

TEST(IdleStuff, PacesTheRealIdleAndSleepsBetweenEarlyCalls)
{
    TestEffect effect;
    TestEditor editor(&effect);
    ScriptedFrame scripted(100, 100, &editor);
    editor.attachFrame(scripted.frame);
    uint32_t start = platform::getTicks();
    int calls = 0;
    while (platform::getTicks() - start < 300)
    {
        editor.doIdleStuff();
        calls++;
    }
    // Each early call sleeps 4 ms, so a drag loop does not spin; the real idle
    // runs once the next allowed time (30 ms after the last) is less than 15 ms away.
    EXPECT_LT(calls, 100);
    EXPECT_GE(effect.masterIdles, 300 / 30);
    EXPECT_LE(effect.masterIdles, 300 / 14);
    editor.attachFrame(nullptr);
}

TEST(Resize, UnchangedSizeTouchesNothingAndTheHostCanResize)
{
    TestEffect effect;
    TestEditor editor(&effect);
    ScriptedFrame scripted(100, 80, &editor);
    EXPECT_FALSE(scripted.frame->setSize(100, 80));
    EXPECT_EQ(scripted.window->resizes, 0);
    EXPECT_TRUE(effect.sizeRequests.empty());

    effect.hostCanSize = true;
    effect.hostAcceptsSize = true;
    EXPECT_TRUE(scripted.frame->setSize(140, 90));
    EXPECT_EQ(effect.sizeRequests, (std::vector<std::pair<int, int>>{{140, 90}}));
    EXPECT_EQ(scripted.window->getWidth(), 140);
    CRect size;
    scripted.frame->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 140, 90));
    EXPECT_TRUE(scripted.frame->isDirty());

    // Without the host the frame resizes its own window chain.
    effect.hostCanSize = false;
    EXPECT_TRUE(scripted.frame->setSize(60, 50));
    EXPECT_EQ(scripted.window->getWidth(), 60);
    EXPECT_EQ(scripted.window->getHeight(), 50);
}

TEST(Editor, RegistersItselfAndAnswersItsRectangleAndKnobMode)
{
    TestEffect effect;
    auto* editor = new TestEditor(&effect);
    EXPECT_EQ(effect.getEditor(), &editor->vst);
    ERect* rect = nullptr;
    EXPECT_TRUE(editor->vst.getRect(&rect));
    ASSERT_NE(rect, nullptr);
    EXPECT_TRUE(editor->vst.setKnobMode(2));
    ScriptedFrame scripted(10, 10, editor);
    EXPECT_EQ(scripted.frame->getKnobMode(), 2);
    EXPECT_EQ(scripted.frame->getEditor(), editor);
    EXPECT_TRUE(editor->vst.setKnobMode(0));
    EXPECT_TRUE(scripted.window->dropTarget);
    scripted.frame->setCursor(kCursorHand);
    EXPECT_EQ(scripted.window->cursor, kCursorHand);
    effect.setEditor(nullptr);
    delete editor;
}
