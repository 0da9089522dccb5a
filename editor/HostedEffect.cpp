#include "editor/HostedEffect.h"

#include "editor/Editor.h"

HostedEffect::HostedEffect() : core(this)
{
    // The format that shows the editor gives it a window host of its own, if any.
    ownEditor = new Editor(core);
}

HostedEffect::~HostedEffect()
{
    // The editor reads the core; it goes first.
    delete ownEditor.exchange(nullptr);
}

EditorView& HostedEffect::editor() { return *ownEditor.load(); }

void HostedEffect::setAutomationSink(AutomationSink newSink, void* context, GestureSink gestures)
{
    sink = nullptr;
    gestureSink = nullptr;
    sinkThread = std::this_thread::get_id();
    sinkContext = context;
    gestureSink = gestures;
    sink = newSink;
}

bool HostedEffect::onSinkThread() const { return quiet == 0 && std::this_thread::get_id() == sinkThread.load(); }

void HostedEffect::automate(int index, float value)
{
    AutomationSink target = sink;
    if (target && onSinkThread())
        target(sinkContext, index, value);
}

void HostedEffect::gesture(int index, bool grabbed)
{
    GestureSink target = gestureSink;
    if (target && sink && onSinkThread())
        target(sinkContext, index, grabbed);
}

void HostedEffect::parameterChanged(int index, float value)
{
    if (Editor* e = ownEditor.load())
        e->setParameter(index, value);
}
