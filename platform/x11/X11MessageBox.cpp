// Message boxes on X11: a small modal window of the toolkit's own with the
// text and an OK button.
#include "platform/MessageBox.h"
#include "platform/SystemTime.h"
#include "platform/x11/FontRenderer.h"
#include "platform/x11/SoftwareDevice.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Native.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

namespace platform
{

namespace
{

MessageBoxRecorder& recorder()
{
    static MessageBoxRecorder instance;
    return instance;
}

constexpr int kMargin = 16;
constexpr int kLineHeight = 18;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;

} // namespace

void setMessageBoxRecorder(MessageBoxRecorder newRecorder) { recorder() = std::move(newRecorder); }

void showMessageBox(const char* caption, const char* text)
{
    caption = caption ? caption : "";
    text = text ? text : "";
    if (recorder())
    {
        recorder()(caption, text);
        return;
    }
    X11Display* connection = X11Display::acquire();
    if (!connection)
    {
        // No screen to show it on: the message still reaches whoever runs the program.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    Display* display = connection->get();
    FontDescription font;
    font.size = 13;
    RenderFont& renderer = getRenderFont(font);
    std::vector<std::string> lines;
    std::istringstream split(text);
    for (std::string line; std::getline(split, line);)
        lines.push_back(line);
    if (lines.empty())
        lines.emplace_back();
    int width = kButtonWidth + 2 * kMargin;
    for (const auto& line : lines)
        width = std::max(width, renderer.getTextWidth(line.c_str()) + 2 * kMargin);
    int height = kMargin + static_cast<int>(lines.size()) * kLineHeight + kMargin + kButtonHeight + kMargin;
    int screen = DefaultScreen(display);
    int x = (DisplayWidth(display, screen) - width) / 2;
    int y = (DisplayHeight(display, screen) - height) / 2;

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
    ::Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                    static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                    CWBackPixmap | CWEventMask, &attributes);
    XStoreName(display, window, caption);
    Atom deleteWindow = connection->atom("WM_DELETE_WINDOW");
    XSetWMProtocols(display, window, &deleteWindow, 1);
    Atom dialogType = connection->atom("_NET_WM_WINDOW_TYPE_DIALOG");
    XChangeProperty(display, window, connection->atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&dialogType), 1);
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize | PPosition;
    hints.x = x;
    hints.y = y;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(display, window, &hints);
    GC gc = XCreateGC(display, window, 0, nullptr);

    SoftwareBitmap picture(width, height);
    IntRect button{(width - kButtonWidth) / 2, height - kMargin - kButtonHeight, (width + kButtonWidth) / 2,
                   height - kMargin};
    {
        SoftwareDevice device(picture);
        device.selectBrush(makeColorRef(240, 240, 240));
        device.fillRect(IntRect{0, 0, width, height});
        device.selectFont(font);
        device.setTextColor(0);
        for (size_t i = 0; i < lines.size(); ++i)
        {
            int top = kMargin + static_cast<int>(i) * kLineHeight;
            device.drawText(lines[i].c_str(), IntRect{kMargin, top, width - kMargin, top + kLineHeight},
                            TextAlign::left);
        }
        device.selectBrush(makeColorRef(225, 225, 225));
        device.fillRect(button);
        device.selectPen(makeColorRef(0, 120, 215), 1, PenStyle::solid);
        device.moveTo(button.left, button.top);
        device.lineTo(button.right - 1, button.top);
        device.lineTo(button.right - 1, button.bottom - 1);
        device.lineTo(button.left, button.bottom - 1);
        device.lineTo(button.left, button.top);
        device.drawText("OK", button, TextAlign::center);
    }
    XMapRaised(display, window);
    XFlush(display);

    bool done = false;
    bool pressedOnButton = false;
    uint32_t lastIdle = getTicks();
    while (!done)
    {
        if (getTicks() - lastIdle >= static_cast<uint32_t>(X11Display::kModalIdleMs))
        {
            connection->modalIdle();
            lastIdle = getTicks();
        }
        XEvent event;
        if (!connection->nextEventWithin(event, X11Display::kModalIdleMs))
            continue;
        if (event.xany.window != window)
        {
            // Other windows of ours go on getting their events while the box
            // is up, except new presses and moves: the box is modal.
            if (event.type != ButtonPress && event.type != MotionNotify && event.type != KeyPress)
                connection->dispatch(event);
            continue;
        }
        auto onButton = [&](int px, int py) {
            return px >= button.left && px < button.right && py >= button.top && py < button.bottom;
        };
        switch (event.type)
        {
        case Expose:
            if (event.xexpose.count == 0)
                connection->putPicture(window, gc, picture, IntRect{0, 0, width, height});
            break;
        case ButtonPress:
            pressedOnButton = event.xbutton.button == 1 && onButton(event.xbutton.x, event.xbutton.y);
            break;
        case ButtonRelease: done = pressedOnButton && onButton(event.xbutton.x, event.xbutton.y); break;
        case KeyPress:
        {
            Key key = translateKey(event.xkey);
            done = key.name == KeyName::returnKey || key.name == KeyName::enter || key.name == KeyName::escape ||
                   key.name == KeyName::space;
            break;
        }
        case ClientMessage: done = static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow; break;
        case DestroyNotify:
            done = true;
            window = 0;
            break;
        default: break;
        }
    }
    XFreeGC(display, gc);
    if (window)
        XDestroyWindow(display, window);
    XFlush(display);
    X11Display::release();
}

} // namespace platform
