#include "gui/GuiEditor.h"

#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "platform/SystemTime.h"

using namespace VSTGUI;

long GuiEditor::knobMode = 0;

namespace
{

// Drag loops call doIdleStuff on every pass; the real idle work runs at most
// every 30 ms, and early calls wait 4 ms so the loop does not spin.
constexpr uint32_t kIdleRate = 30;
constexpr uint32_t kIdleWait = 4;
constexpr uint32_t kIdleSlack = 15;

} // namespace

GuiEditor::GuiEditor() : lLastTicks(platform::getTicks()) {}

GuiEditor::~GuiEditor() = default;

bool GuiEditor::open(void* parent)
{
    systemWindow = parent;
    return true;
}

void GuiEditor::close() { systemWindow = nullptr; }

void GuiEditor::idle()
{
    if (inIdleStuff)
        return;
    if (frame)
        frame->idle();
}

bool GuiEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    CDrawContext* context = frame->createDrawContext();
    CPoint where;
    frame->getCurrentLocation(where);
    bool result = frame->onWheel(context, where, distance);
    context->forget();
    return result;
}

void GuiEditor::setParameter(int, float) {}

void GuiEditor::beginEdit(int) {}

void GuiEditor::endEdit(int) {}

// The editor's open() leaves it closed when it fails; a null parent is
// refused before anything is made.
bool GuiEditor::attach(void* parent) { return parent && open(parent); }

void* GuiEditor::getNativeWindow() const { return frame ? frame->getSystemWindow() : nullptr; }

void GuiEditor::getSize(int& width, int& height) const
{
    width = static_cast<int>(rect.width());
    height = static_cast<int>(rect.height());
}

bool GuiEditor::keyDown(const platform::Key& key) { return frame ? frame->onKeyDown(key) == 1 : false; }

bool GuiEditor::keyUp(const platform::Key& key) { return frame ? frame->onKeyUp(key) == 1 : false; }

int GuiEditor::getEventDescriptor() const
{
    return frame && frame->getPlatformWindow() ? frame->getPlatformWindow()->getEventDescriptor() : -1;
}

bool GuiEditor::idleWithWindowTimer(int milliseconds)
{
    return frame && frame->getPlatformWindow() && frame->getPlatformWindow()->startTimer(milliseconds);
}

void GuiEditor::timerIdle()
{
    if (inTimerIdle)
        return;
    inTimerIdle = true;
    idle();
    inTimerIdle = false;
}

bool GuiEditor::resizeHostWindow(int width, int height)
{
    return windowHost && windowHost->resizeHostWindow(width, height);
}

void GuiEditor::hostIdleDuringModalLoop()
{
    if (!windowHost || inIdleStuff)
        return;
    inIdleStuff = true;
    windowHost->idleHost();
    inIdleStuff = false;
}

void GuiEditor::doIdleStuff()
{
    uint32_t now = platform::getTicks();
    if (static_cast<int32_t>(now - lLastTicks) < 0)
    {
        platform::sleepMilliseconds(static_cast<int>(kIdleWait));
        now += kIdleWait;
        if (static_cast<int32_t>(lLastTicks - now) > static_cast<int32_t>(kIdleSlack))
            return;
    }
    idle();
    if (frame && frame->getPlatformWindow())
        frame->getPlatformWindow()->dispatchPendingPaint();
    lLastTicks = now + kIdleRate;
    inIdleStuff = true;
    if (windowHost)
        windowHost->idleHost();
    inIdleStuff = false;
}
