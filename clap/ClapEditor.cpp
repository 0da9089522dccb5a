#include "clap/ClapEditor.h"

#include <cstring>

#include "clap/ClapEffect.h"

#if defined(_WIN32)
const char* const ClapEditor::kWindowApi = clapid::kWindowWin32;
#else
const char* const ClapEditor::kWindowApi = clapid::kWindowX11;
#endif

namespace
{

ClapEditor& of(const clap_plugin_t* plugin) { return ClapEffect::of(plugin)->editorSide(); }

const clap_plugin_gui_t kGui = {
    [](const clap_plugin_t* p, const char* api, bool floating) { return of(p).isApiSupported(api, floating); },
    [](const clap_plugin_t*, const char** api, bool* floating) {
        if (!api || !floating)
            return false;
        *api = ClapEditor::kWindowApi;
        *floating = false;
        return true;
    },
    [](const clap_plugin_t* p, const char* api, bool floating) { return of(p).create(api, floating); },
    [](const clap_plugin_t* p) { of(p).destroy(); },
    // Physical pixels in a fixed-size panel: no scaling of our own.
    [](const clap_plugin_t*, double) { return false; },
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
        if (!width || !height || !of(p).isCreated() || !of(p).onMainThread())
            return false;
        of(p).getSize(*width, *height);
        return true;
    },
    [](const clap_plugin_t*) { return false; },
    [](const clap_plugin_t*, clap_gui_resize_hints_t* hints) {
        if (!hints)
            return false;
        *hints = clap_gui_resize_hints_t{false, false, false, 0, 0};
        return true;
    },
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
        if (!width || !height)
            return false;
        of(p).getSize(*width, *height);
        return true;
    },
    [](const clap_plugin_t* p, uint32_t width, uint32_t height) { return of(p).setSize(width, height); },
    [](const clap_plugin_t* p, const clap_window_t* window) { return window && of(p).setParent(*window); },
    // Embedded only: no floating window to keep above another.
    [](const clap_plugin_t*, const clap_window_t*) { return false; },
    [](const clap_plugin_t*, const char*) {},
    [](const clap_plugin_t* p) { return of(p).isCreated(); },
    [](const clap_plugin_t* p) { return of(p).isCreated(); },
};

const clap_plugin_timer_support_t kTimers = {
    [](const clap_plugin_t* p, clap_id timer) { of(p).onTimer(timer); },
};

const clap_plugin_posix_fd_support_t kDescriptors = {
    [](const clap_plugin_t* p, int fd, clap_posix_fd_flags_t) { of(p).onDescriptor(fd); },
};

} // namespace

ClapEditor::ClapEditor(const clap_host_t* host, EditorView& editor) : host(host), editor(editor) {}

ClapEditor::~ClapEditor() { destroy(); }

void ClapEditor::init()
{
    if (!host->get_extension)
        return;
    hostGui = static_cast<const clap_host_gui_t*>(host->get_extension(host, clapid::kGui));
    hostTimers = static_cast<const clap_host_timer_support_t*>(host->get_extension(host, clapid::kTimerSupport));
    hostDescriptors =
        static_cast<const clap_host_posix_fd_support_t*>(host->get_extension(host, clapid::kPosixFdSupport));
    hostThreads = static_cast<const clap_host_thread_check_t*>(host->get_extension(host, clapid::kThreadCheck));
}

const void* ClapEditor::extension(const char* id)
{
    if (std::strcmp(id, clapid::kGui) == 0)
        return &kGui;
    if (std::strcmp(id, clapid::kTimerSupport) == 0)
        return &kTimers;
#if !defined(_WIN32)
    if (std::strcmp(id, clapid::kPosixFdSupport) == 0)
        return &kDescriptors;
#endif
    return nullptr;
}

bool ClapEditor::onMainThread() const
{
    return !hostThreads || !hostThreads->is_main_thread || hostThreads->is_main_thread(host);
}

bool ClapEditor::isApiSupported(const char* api, bool floating) const
{
    return api && !floating && std::strcmp(api, kWindowApi) == 0;
}

bool ClapEditor::create(const char* api, bool floating)
{
    if (created || !isApiSupported(api, floating) || !onMainThread())
        return false;
    created = true;
    // The timer idles from now on; the descriptor is the window's, known
    // once it exists.
    if (hostTimers && hostTimers->register_timer && !hostTimers->register_timer(host, kIdleMilliseconds, &timer))
        timer = CLAP_INVALID_ID;
    return true;
}

void ClapEditor::destroy()
{
    if (!created || !onMainThread())
        return;
    if (descriptor >= 0 && hostDescriptors && hostDescriptors->unregister_fd)
        hostDescriptors->unregister_fd(host, descriptor);
    descriptor = -1;
    if (timer != CLAP_INVALID_ID && hostTimers && hostTimers->unregister_timer)
        hostTimers->unregister_timer(host, timer);
    timer = CLAP_INVALID_ID;
    editor.detach();
    editor.setWindowHost(nullptr);
    created = false;
}

void ClapEditor::getSize(uint32_t& width, uint32_t& height) const
{
    int w = 0;
    int h = 0;
    editor.getSize(w, h);
    width = (uint32_t)w;
    height = (uint32_t)h;
}

bool ClapEditor::setSize(uint32_t width, uint32_t height) const
{
    uint32_t w = 0;
    uint32_t h = 0;
    getSize(w, h);
    return created && width == w && height == h;
}

bool ClapEditor::setParent(const clap_window_t& window)
{
    if (!created || editor.isAttached() || !onMainThread() || !window.api || std::strcmp(window.api, kWindowApi) != 0)
        return false;
#if defined(_WIN32)
    void* parent = window.win32;
#else
    void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(window.x11));
#endif
    editor.setWindowHost(this);
    if (!editor.attach(parent))
    {
        editor.setWindowHost(nullptr);
        return false;
    }
    const int events = editor.getEventDescriptor();
    if (events >= 0 && hostDescriptors && hostDescriptors->register_fd &&
        hostDescriptors->register_fd(host, events, CLAP_POSIX_FD_READ | CLAP_POSIX_FD_ERROR))
        descriptor = events;
    if (timer == CLAP_INVALID_ID)
        editor.idleWithWindowTimer((int)kIdleMilliseconds);
    return true;
}

void ClapEditor::idleEditor()
{
    if (created && editor.isAttached())
        editor.idle();
}

void ClapEditor::onTimer(clap_id id)
{
    if (id == timer)
        idleEditor();
}

void ClapEditor::onDescriptor(int fd)
{
    if (fd == descriptor)
        idleEditor();
}

bool ClapEditor::resizeHostWindow(int width, int height)
{
    return hostGui && hostGui->request_resize && hostGui->request_resize(host, (uint32_t)width, (uint32_t)height);
}
