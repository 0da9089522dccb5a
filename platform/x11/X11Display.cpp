#include "platform/x11/X11Display.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform
{

namespace
{

X11Display* shared = nullptr;
bool trapFailed = false;
XErrorHandler hostHandler = nullptr;

int trapHandler(Display*, XErrorEvent*)
{
    trapFailed = true;
    return 0;
}

// Errors on the toolkit's own connection (a window the host destroyed under
// us) must not reach Xlib's default handler, which ends the host's process;
// errors on the host's connections go to the handler the host had.
int toolkitHandler(Display* display, XErrorEvent* error)
{
    if (shared && display == shared->get())
    {
        trapFailed = true;
        return 0;
    }
    return hostHandler ? hostHandler(display, error) : 0;
}

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1))
    {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

X11Display* X11Display::acquire()
{
    if (!shared)
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return nullptr;
        shared = new X11Display();
        shared->display = display;
        hostHandler = XSetErrorHandler(toolkitHandler);
    }
    shared->users++;
    return shared;
}

void X11Display::release()
{
    if (!shared || --shared->users > 0)
        return;
    // Give back the host's handler, unless someone installed another since.
    XErrorHandler current = XSetErrorHandler(hostHandler);
    if (current != toolkitHandler)
        XSetErrorHandler(current);
    XCloseDisplay(shared->display);
    delete shared;
    shared = nullptr;
}

X11EventHandler* X11Display::handlerFor(::Window window) const
{
    auto found = handlers.find(window);
    return found == handlers.end() ? nullptr : found->second;
}

void X11Display::dispatch(XEvent& event)
{
    if (X11EventHandler* handler = handlerFor(event.xany.window))
        handler->handleEvent(event);
}

bool X11Display::nextEventWithin(XEvent& event, int timeoutMs)
{
    if (!XPending(display))
    {
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        if (poll(&connection, 1, timeoutMs) <= 0 || !XPending(display))
            return false;
    }
    XNextEvent(display, &event);
    return true;
}

void X11Display::modalIdle()
{
    // By window, looked up afresh each time: a host may close an editor from
    // its idle call.
    std::vector<::Window> windows;
    for (const auto& entry : handlers)
        windows.push_back(entry.first);
    for (::Window window : windows)
        if (X11EventHandler* handler = handlerFor(window))
            handler->modalIdle();
}

void X11Display::dispatchPending()
{
    if (dispatchDepth > 0)
    {
        dispatchPaints();
        return;
    }
    dispatchDepth++;
    while (XPending(display))
    {
        XEvent event;
        XNextEvent(display, &event);
        dispatch(event);
    }
    dispatchDepth--;
}

void X11Display::dispatchPaints()
{
    dispatchDepth++;
    XEvent event;
    while (XCheckTypedEvent(display, Expose, &event))
        dispatch(event);
    dispatchDepth--;
}

Atom X11Display::atom(const char* name) { return XInternAtom(display, name, False); }

void X11Display::putPicture(::Window window, GC gc, SoftwareBitmap& picture, const IntRect& requested)
{
    IntRect area{std::max(requested.left, 0), std::max(requested.top, 0), std::min(requested.right, picture.width()),
                 std::min(requested.bottom, picture.height())};
    if (area.isEmpty())
        return;
    int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    int depth = DefaultDepth(display, screen);
    bool direct = (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                  visual->blue_mask == 0xFF;
    if (direct)
    {
        XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(picture.data()), static_cast<unsigned>(picture.width()),
                                     static_cast<unsigned>(picture.height()), 32, picture.width() * 4);
        if (!image)
            return;
        XPutImage(display, window, gc, image, area.left, area.top, area.left, area.top,
                  static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()));
        image->data = nullptr; // the pixels belong to the picture
        XDestroyImage(image);
        return;
    }
    // Other visuals: convert pixel by pixel into an image of the server's layout.
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()), 32, 0);
    if (!image)
        return;
    std::vector<char> bytes(static_cast<size_t>(image->bytes_per_line) * area.height());
    image->data = bytes.data();
    auto scale = [](uint32_t component, unsigned long mask) -> unsigned long {
        unsigned long width = mask >> shiftOf(mask);
        return (component * width / 255) << shiftOf(mask);
    };
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
        {
            uint32_t p = picture.row(area.top + y)[area.left + x];
            unsigned long pixel = scale(p >> 16 & 0xFF, visual->red_mask) | scale(p >> 8 & 0xFF, visual->green_mask) |
                                  scale(p & 0xFF, visual->blue_mask);
            XPutPixel(image, x, y, pixel);
        }
    XPutImage(display, window, gc, image, 0, 0, area.left, area.top, static_cast<unsigned>(area.width()),
              static_cast<unsigned>(area.height()));
    image->data = nullptr;
    XDestroyImage(image);
}

X11ErrorTrap::X11ErrorTrap(Display* display) : display(display)
{
    XSync(display, False);
    trapFailed = false;
    previous = XSetErrorHandler(trapHandler);
}

X11ErrorTrap::~X11ErrorTrap()
{
    XSync(display, False);
    XSetErrorHandler(previous);
}

bool X11ErrorTrap::failed() const
{
    XSync(display, False);
    return trapFailed;
}

VstKeyCode translateKey(XKeyEvent& event, char* text, int textSize)
{
    char buffer[16] = "";
    KeySym keysym = NoSymbol;
    int count = XLookupString(&event, buffer, sizeof buffer - 1, &keysym, nullptr);
    buffer[std::max(count, 0)] = 0;
    if (text && textSize > 0)
    {
        std::strncpy(text, buffer, static_cast<size_t>(textSize - 1));
        text[textSize - 1] = 0;
    }
    VstKeyCode key{0, 0, 0};
    if (event.state & ShiftMask)
        key.modifier |= 1; // MODIFIER_SHIFT
    if (event.state & Mod1Mask)
        key.modifier |= 2; // MODIFIER_ALTERNATE
    if (event.state & ControlMask)
        key.modifier |= 8; // MODIFIER_CONTROL
    struct Mapping
    {
        KeySym keysym;
        int virt;
    };
    static const Mapping kMappings[] = {
        {XK_BackSpace, VKEY_BACK},
        {XK_Tab, VKEY_TAB},
        {XK_ISO_Left_Tab, VKEY_TAB},
        {XK_Clear, VKEY_CLEAR},
        {XK_Return, VKEY_RETURN},
        {XK_Pause, VKEY_PAUSE},
        {XK_Escape, VKEY_ESCAPE},
        {XK_space, VKEY_SPACE},
        {XK_Next, VKEY_NEXT},
        {XK_End, VKEY_END},
        {XK_Home, VKEY_HOME},
        {XK_Left, VKEY_LEFT},
        {XK_Up, VKEY_UP},
        {XK_Right, VKEY_RIGHT},
        {XK_Down, VKEY_DOWN},
        {XK_Prior, VKEY_PAGEUP},
        {XK_Select, VKEY_SELECT},
        {XK_Print, VKEY_PRINT},
        {XK_KP_Enter, VKEY_ENTER},
        {XK_Insert, VKEY_INSERT},
        {XK_Delete, VKEY_DELETE},
        {XK_Help, VKEY_HELP},
        {XK_KP_0, VKEY_NUMPAD0},
        {XK_KP_1, VKEY_NUMPAD1},
        {XK_KP_2, VKEY_NUMPAD2},
        {XK_KP_3, VKEY_NUMPAD3},
        {XK_KP_4, VKEY_NUMPAD4},
        {XK_KP_5, VKEY_NUMPAD5},
        {XK_KP_6, VKEY_NUMPAD6},
        {XK_KP_7, VKEY_NUMPAD7},
        {XK_KP_8, VKEY_NUMPAD8},
        {XK_KP_9, VKEY_NUMPAD9},
        {XK_KP_Multiply, VKEY_MULTIPLY},
        {XK_KP_Add, VKEY_ADD},
        {XK_KP_Separator, VKEY_SEPARATOR},
        {XK_KP_Subtract, VKEY_SUBTRACT},
        {XK_KP_Decimal, VKEY_DECIMAL},
        {XK_KP_Divide, VKEY_DIVIDE},
        {XK_F1, VKEY_F1},
        {XK_F2, VKEY_F2},
        {XK_F3, VKEY_F3},
        {XK_F4, VKEY_F4},
        {XK_F5, VKEY_F5},
        {XK_F6, VKEY_F6},
        {XK_F7, VKEY_F7},
        {XK_F8, VKEY_F8},
        {XK_F9, VKEY_F9},
        {XK_F10, VKEY_F10},
        {XK_F11, VKEY_F11},
        {XK_F12, VKEY_F12},
    };
    for (const Mapping& mapping : kMappings)
        if (mapping.keysym == keysym)
            key.virt = static_cast<unsigned char>(mapping.virt);
    if (count == 1 && static_cast<unsigned char>(buffer[0]) >= 0x20 && buffer[0] != 0x7F)
        key.character = static_cast<unsigned char>(buffer[0]);
    return key;
}

} // namespace platform
