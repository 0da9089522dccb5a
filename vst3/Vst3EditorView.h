// The editor as a VST3 host sees it: an IPlugView that opens the editor in
// the host's window ("X11EmbedWindowID" on Linux, "HWND" on Windows) and
// keeps it idled: on Linux from the host's run loop (a timer, and the X
// connection's descriptor when events wait), on Windows from a timer of the
// editor's own window. It holds a reference to the effect that owns the
// editor, so the editor outlives the view.
#pragma once

#include <atomic>

#include "gui/EditorView.h"
#include "vst3/Vst3Interface.h"

class Vst3EditorView final : public vst3::IPlugView, private EditorWindowHost
{
public:
    // owner is referenced until the view goes; editor belongs to it.
    Vst3EditorView(vst3::FUnknown* owner, EditorView& editor);
    Vst3EditorView(const Vst3EditorView&) = delete;
    Vst3EditorView& operator=(const Vst3EditorView&) = delete;

    // How often the host's timer idles the editor.
    static constexpr int kIdleMilliseconds = 20;
    // The native window type this build's editor can open in.
    static const char* const kPlatformType;

    // FUnknown.
    vst3::tresult ZELVO_VST3_API queryInterface(const vst3::TUID iid, void** object) override;
    uint32_t ZELVO_VST3_API addRef() override;
    uint32_t ZELVO_VST3_API release() override;

    // IPlugView, on the host's interface thread.
    vst3::tresult ZELVO_VST3_API isPlatformTypeSupported(vst3::FIDString type) override;
    vst3::tresult ZELVO_VST3_API attached(void* parent, vst3::FIDString type) override;
    vst3::tresult ZELVO_VST3_API removed() override;
    vst3::tresult ZELVO_VST3_API onWheel(float distance) override;
    // The editor's window takes its keys itself.
    vst3::tresult ZELVO_VST3_API onKeyDown(char16_t, int16_t, int16_t) override { return vst3::kResultFalse; }
    vst3::tresult ZELVO_VST3_API onKeyUp(char16_t, int16_t, int16_t) override { return vst3::kResultFalse; }
    vst3::tresult ZELVO_VST3_API getSize(vst3::ViewRect* size) override;
    vst3::tresult ZELVO_VST3_API onSize(vst3::ViewRect* newSize) override;
    vst3::tresult ZELVO_VST3_API onFocus(vst3::TBool) override { return vst3::kResultOk; }
    vst3::tresult ZELVO_VST3_API setFrame(vst3::IPlugFrame* frame) override;
    // The panel has one size.
    vst3::tresult ZELVO_VST3_API canResize() override { return vst3::kResultFalse; }
    vst3::tresult ZELVO_VST3_API checkSizeConstraint(vst3::ViewRect* rect) override;

private:
    ~Vst3EditorView();

    // The run loop's callbacks, objects of their own that share the view's count.
    struct Timer final : vst3::ITimerHandler
    {
        explicit Timer(Vst3EditorView& view) : view(view) {}
        vst3::tresult ZELVO_VST3_API queryInterface(const vst3::TUID iid, void** object) override;
        uint32_t ZELVO_VST3_API addRef() override { return view.addRef(); }
        uint32_t ZELVO_VST3_API release() override { return view.release(); }
        void ZELVO_VST3_API onTimer() override;
        Vst3EditorView& view;
    };
    struct Events final : vst3::IEventHandler
    {
        explicit Events(Vst3EditorView& view) : view(view) {}
        vst3::tresult ZELVO_VST3_API queryInterface(const vst3::TUID iid, void** object) override;
        uint32_t ZELVO_VST3_API addRef() override { return view.addRef(); }
        uint32_t ZELVO_VST3_API release() override { return view.release(); }
        void ZELVO_VST3_API onFDIsSet(vst3::FileDescriptor fd) override;
        Vst3EditorView& view;
    };

    void idleEditor();
    // The editor's one size, at the origin.
    vst3::ViewRect fixedSize() const;
    // The host's run loop (runLoop set) calls the editor's idle.
    void startIdling();
    void stopIdling();
    bool resizeHostWindow(int width, int height) override;

    std::atomic<uint32_t> references{1};
    vst3::FUnknown* const owner;
    EditorView& editor;
    vst3::IPlugFrame* frame = nullptr;
    vst3::IRunLoop* runLoop = nullptr;
    // This view opened the editor (another view of the effect may show it).
    bool showing = false;
    bool timerRegistered = false;
    bool eventsRegistered = false;
    Timer timer{*this};
    Events events{*this};
};
