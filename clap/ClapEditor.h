// The editor as a CLAP host sees it: the "gui" extension opening the editor
// embedded in the host's window ("x11" on Linux, "win32" on Windows), kept
// idle on Linux by the host's timer and the X connection's descriptor
// ("timer-support", "posix-fd-support"), on Windows by a timer of the
// editor's own window. Every call is the host's main thread's; where the
// host can tell ("thread-check"), a call from another thread is refused.
#pragma once

#include <cstdint>

#include "clap/ClapInterface.h"
#include "gui/EditorView.h"

class ClapEditor : private EditorWindowHost
{
public:
    // host and editor outlive this object.
    ClapEditor(const clap_host_t* host, EditorView& editor);
    ~ClapEditor() override;
    ClapEditor(const ClapEditor&) = delete;
    ClapEditor& operator=(const ClapEditor&) = delete;

    // How often the host's timer idles the editor.
    static constexpr uint32_t kIdleMilliseconds = 20;
    // The window API this build's editor embeds in.
    static const char* const kWindowApi;

    // The host's extensions, once it is initialised.
    void init();
    // The extension tables for the plug-in's get_extension; null for others.
    static const void* extension(const char* id);

    // True off the main thread only when the host says so.
    bool onMainThread() const;

    bool isApiSupported(const char* api, bool floating) const;
    bool create(const char* api, bool floating);
    void destroy();
    void getSize(uint32_t& width, uint32_t& height) const;
    bool setSize(uint32_t width, uint32_t height) const;
    bool setParent(const clap_window_t& window);
    bool isCreated() const { return created; }
    void onTimer(clap_id timer);
    void onDescriptor(int descriptor);

private:
    bool resizeHostWindow(int width, int height) override;
    void idleEditor();

    const clap_host_t* const host;
    EditorView& editor;
    const clap_host_gui_t* hostGui = nullptr;
    const clap_host_timer_support_t* hostTimers = nullptr;
    const clap_host_posix_fd_support_t* hostDescriptors = nullptr;
    const clap_host_thread_check_t* hostThreads = nullptr;

    bool created = false;
    clap_id timer = CLAP_INVALID_ID;
    int descriptor = -1;
};
