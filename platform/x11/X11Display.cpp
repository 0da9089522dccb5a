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

Key translateKey(XKeyEvent& event, char* text, int textSize)
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
    Key key;
    if (event.state & ShiftMask)
        key.modifiers |= kKeyModifierShift;
    if (event.state & Mod1Mask)
        key.modifiers |= kKeyModifierAlt;
    if (event.state & ControlMask)
        key.modifiers |= kKeyModifierControl;
    struct Mapping
    {
        KeySym keysym;
        KeyName name;
    };
    static const Mapping kMappings[] = {
        {XK_BackSpace, KeyName::back},
        {XK_Tab, KeyName::tab},
        {XK_ISO_Left_Tab, KeyName::tab},
        {XK_Clear, KeyName::clear},
        {XK_Return, KeyName::returnKey},
        {XK_Pause, KeyName::pause},
        {XK_Escape, KeyName::escape},
        {XK_space, KeyName::space},
        {XK_Next, KeyName::next},
        {XK_End, KeyName::end},
        {XK_Home, KeyName::home},
        {XK_Left, KeyName::left},
        {XK_Up, KeyName::up},
        {XK_Right, KeyName::right},
        {XK_Down, KeyName::down},
        {XK_Prior, KeyName::pageUp},
        {XK_Select, KeyName::select},
        {XK_Print, KeyName::print},
        {XK_KP_Enter, KeyName::enter},
        {XK_Insert, KeyName::insert},
        {XK_Delete, KeyName::deleteKey},
        {XK_Help, KeyName::help},
        {XK_KP_0, KeyName::numpad0},
        {XK_KP_1, KeyName::numpad1},
        {XK_KP_2, KeyName::numpad2},
        {XK_KP_3, KeyName::numpad3},
        {XK_KP_4, KeyName::numpad4},
        {XK_KP_5, KeyName::numpad5},
        {XK_KP_6, KeyName::numpad6},
        {XK_KP_7, KeyName::numpad7},
        {XK_KP_8, KeyName::numpad8},
        {XK_KP_9, KeyName::numpad9},
        {XK_KP_Multiply, KeyName::multiply},
        {XK_KP_Add, KeyName::add},
        {XK_KP_Separator, KeyName::separator},
        {XK_KP_Subtract, KeyName::subtract},
        {XK_KP_Decimal, KeyName::decimal},
        {XK_KP_Divide, KeyName::divide},
        {XK_F1, KeyName::f1},
        {XK_F2, KeyName::f2},
        {XK_F3, KeyName::f3},
        {XK_F4, KeyName::f4},
        {XK_F5, KeyName::f5},
        {XK_F6, KeyName::f6},
        {XK_F7, KeyName::f7},
        {XK_F8, KeyName::f8},
        {XK_F9, KeyName::f9},
        {XK_F10, KeyName::f10},
        {XK_F11, KeyName::f11},
        {XK_F12, KeyName::f12},
    };
    for (const Mapping& mapping : kMappings)
        if (mapping.keysym == keysym)
            key.name = mapping.name;
    if (count == 1 && static_cast<unsigned char>(buffer[0]) >= 0x20 && buffer[0] != 0x7F)
        key.character = static_cast<unsigned char>(buffer[0]);
    return key;
}

} // namespace platform
