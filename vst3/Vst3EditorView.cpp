#include "vst3/Vst3EditorView.h"

#include <cstring>

using namespace vst3;

#if defined(_WIN32)
const char* const Vst3EditorView::kPlatformType = "HWND";
#else
const char* const Vst3EditorView::kPlatformType = "X11EmbedWindowID";
#endif

Vst3EditorView::Vst3EditorView(FUnknown* owner, EditorView& editor) : owner(owner), editor(editor) { owner->addRef(); }

Vst3EditorView::~Vst3EditorView()
{
    // A host that releases the view without removing it first.
    removed();
    setFrame(nullptr);
    owner->release();
}

tresult Vst3EditorView::queryInterface(const TUID iid, void** object)
{
    if (!object)
        return kInvalidArgument;
    if (sameUid(iid, iid::FUnknown) || sameUid(iid, iid::IPlugView))
    {
        *object = static_cast<IPlugView*>(this);
        addRef();
        return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
}

uint32_t Vst3EditorView::addRef() { return ++references; }

uint32_t Vst3EditorView::release()
{
    const uint32_t left = --references;
    if (left == 0)
        delete this;
    return left;
}

tresult Vst3EditorView::isPlatformTypeSupported(FIDString type)
{
    return type && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult Vst3EditorView::attached(void* parent, FIDString type)
{
    if (!parent || isPlatformTypeSupported(type) != kResultTrue)
        return kInvalidArgument;
    if (editor.isAttached())
        return kResultFalse; // open in another view of this effect
    editor.setWindowHost(this);
    if (!editor.attach(parent))
    {
        editor.setWindowHost(nullptr);
        return kResultFalse;
    }
    showing = true;
    if (runLoop)
        startIdling();
    else
        editor.idleWithWindowTimer(kIdleMilliseconds);
    return kResultOk;
}

void Vst3EditorView::startIdling()
{
    // A refusal of either leaves the editor shown; the other source may
    // still carry its idle.
    timerRegistered = runLoop->registerTimer(&timer, kIdleMilliseconds) == kResultOk;
    const int descriptor = editor.getEventDescriptor();
    eventsRegistered = descriptor >= 0 && runLoop->registerEventHandler(&events, descriptor) == kResultOk;
}

void Vst3EditorView::stopIdling()
{
    if (runLoop && timerRegistered)
        runLoop->unregisterTimer(&timer);
    if (runLoop && eventsRegistered)
        runLoop->unregisterEventHandler(&events);
    timerRegistered = eventsRegistered = false;
}

tresult Vst3EditorView::removed()
{
    stopIdling();
    // Only the view that opened the editor closes it.
    if (showing)
    {
        editor.detach();
        editor.setWindowHost(nullptr);
        showing = false;
    }
    return kResultOk;
}

tresult Vst3EditorView::onWheel(float distance) { return editor.wheel(distance) ? kResultTrue : kResultFalse; }

ViewRect Vst3EditorView::fixedSize() const
{
    int width = 0;
    int height = 0;
    editor.getSize(width, height);
    return ViewRect{0, 0, width, height};
}

tresult Vst3EditorView::getSize(ViewRect* size)
{
    if (!size)
        return kInvalidArgument;
    *size = fixedSize();
    return kResultOk;
}

tresult Vst3EditorView::onSize(ViewRect* newSize)
{
    if (!newSize)
        return kInvalidArgument;
    const ViewRect size = fixedSize();
    return newSize->right - newSize->left == size.right && newSize->bottom - newSize->top == size.bottom ? kResultOk
                                                                                                         : kResultFalse;
}

tresult Vst3EditorView::checkSizeConstraint(ViewRect* rect)
{
    if (!rect)
        return kInvalidArgument;
    const ViewRect size = fixedSize();
    rect->right = rect->left + size.right;
    rect->bottom = rect->top + size.bottom;
    return kResultOk;
}

tresult Vst3EditorView::setFrame(IPlugFrame* newFrame)
{
    // The run loop belongs to the frame: handlers registered with the old
    // one leave it first.
    stopIdling();
    if (runLoop)
        runLoop->release();
    runLoop = nullptr;
    frame = newFrame;
#if !defined(_WIN32)
    void* loop = nullptr;
    if (frame && frame->queryInterface(iid::IRunLoop.bytes, &loop) == kResultOk && loop)
        runLoop = static_cast<IRunLoop*>(loop);
    if (runLoop && showing)
        startIdling();
#endif
    return kResultOk;
}

bool Vst3EditorView::resizeHostWindow(int width, int height)
{
    ViewRect size{0, 0, width, height};
    return frame && frame->resizeView(this, &size) == kResultOk;
}

void Vst3EditorView::idleEditor()
{
    if (showing)
        editor.idle();
}

namespace
{

// A handler answers for FUnknown and its own interface.
tresult answer(FUnknown* handler, const TUID iid, const Uid& own, void** object)
{
    if (!object)
        return kInvalidArgument;
    if (sameUid(iid, iid::FUnknown) || sameUid(iid, own))
    {
        *object = handler;
        handler->addRef();
        return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
}

} // namespace

tresult Vst3EditorView::Timer::queryInterface(const TUID iid, void** object)
{
    return answer(this, iid, iid::ITimerHandler, object);
}

void Vst3EditorView::Timer::onTimer() { view.idleEditor(); }

tresult Vst3EditorView::Events::queryInterface(const TUID iid, void** object)
{
    return answer(this, iid, iid::IEventHandler, object);
}

void Vst3EditorView::Events::onFDIsSet(FileDescriptor) { view.idleEditor(); }
