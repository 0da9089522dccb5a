// The frame's child window on X11: a software back buffer shown with
// XPutImage, input from the server's events (each with the buttons,
// modifiers, position and time it carries), and the receiving side of the
// XDND protocol for dropped text and files.
#include "platform/PlatformWindow.h"
#include "platform/x11/SoftwareDevice.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Native.h"

#include "platform/SystemTime.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <sys/select.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>

namespace platform
{

namespace
{

constexpr long kXdndVersion = 5;
// How long a drop target waits for the dragged data.
constexpr int kSelectionWaitMs = 1000;
// How long a drag loop's turn waits for the next pointer event.
constexpr int kPointerWaitMs = 20;

int buttonBit(unsigned int button)
{
    switch (button)
    {
    case Button1: return kInputLeft;
    case Button2: return kInputMiddle;
    case Button3: return kInputRight;
    default: return 0;
    }
}

// Which of a drag loop's pointer events may be taken from the queue: the
// first one of this window decides; a press that starts a new click (no
// button held) stays queued for the dispatch that follows the loop.
struct PointerFilter
{
    ::Window window;
    bool buttonHeld;
    bool motionOnly;
    bool blocked = false;
};

Bool nextPointerEvent(Display*, XEvent* event, XPointer argument)
{
    auto* filter = reinterpret_cast<PointerFilter*>(argument);
    if (filter->blocked || event->xany.window != filter->window)
        return False;
    switch (event->type)
    {
    case MotionNotify: return True;
    case ButtonPress:
    case ButtonRelease:
        if (!buttonBit(event->xbutton.button))
            return False; // the wheel waits for the dispatch after the loop
        if (filter->motionOnly || (event->type == ButtonPress && !filter->buttonHeld))
        {
            filter->blocked = true;
            return False;
        }
        return True;
    default: return False;
    }
}

std::string percentDecode(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size() && isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            isxdigit(static_cast<unsigned char>(text[i + 2])))
        {
            result += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        else
        {
            result += text[i];
        }
    }
    return result;
}

std::vector<std::string> parseUriList(const std::string& list)
{
    std::vector<std::string> files;
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line))
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line.compare(0, 7, "file://") == 0)
        {
            size_t path = line.find('/', 7);
            if (path == std::string::npos)
                continue;
            line = line.substr(path);
        }
        files.push_back(percentDecode(line));
    }
    return files;
}

class X11Window : public Window, public X11EventHandler
{
public:
    X11Window(X11Display* display, ::Window parent, int width, int height, WindowListener* listener)
        : connection(display),
          display(display->get()),
          listener(listener),
          backBuffer(width, height)
    {
        int screen = DefaultScreen(display->get());
        if (!parent)
            parent = RootWindow(this->display, screen);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;
        attributes.bit_gravity = NorthWestGravity;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                                StructureNotifyMask | FocusChangeMask;
        // The pictures are made for the screen's default visual, whatever the
        // host's window uses (a 32-bit ARGB parent among others): a child of
        // another depth than its parent needs its own colormap and border pixel.
        attributes.colormap = DefaultColormap(this->display, screen);
        attributes.border_pixel = 0;
        {
            X11ErrorTrap trap(this->display);
            window = XCreateWindow(this->display, parent, 0, 0, static_cast<unsigned>(std::max(width, 1)),
                                   static_cast<unsigned>(std::max(height, 1)), 0, DefaultDepth(this->display, screen),
                                   InputOutput, DefaultVisual(this->display, screen),
                                   CWBackPixmap | CWBitGravity | CWEventMask | CWColormap | CWBorderPixel, &attributes);
            if (trap.failed())
                window = 0;
        }
        if (!window)
            return;
        XStoreName(this->display, window, "Window");
        gc = XCreateGC(this->display, window, 0, nullptr);
        display->registerHandler(window, this);
        XMapWindow(this->display, window);
        XFlush(this->display);
    }

    ~X11Window() override
    {
        if (window)
        {
            connection->unregisterHandler(window);
            X11ErrorTrap trap(display);
            for (auto& cursor : cursors)
                XFreeCursor(display, cursor.second);
            XFreeGC(display, gc);
            if (!destroyed)
                XDestroyWindow(display, window);
        }
        X11Display::release();
    }

    bool valid() const { return window != 0; }

    void* getNativeHandle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    int getEventDescriptor() const override { return ConnectionNumber(display); }
    int getWidth() const override { return backBuffer.width(); }
    int getHeight() const override { return backBuffer.height(); }

    GraphicsDevice* acquireDevice() override { return new SoftwareDevice(backBuffer); }

    void releaseDevice(GraphicsDevice* device) override
    {
        auto* software = static_cast<SoftwareDevice*>(device);
        if (software && !destroyed)
        {
            connection->putPicture(window, gc, backBuffer, software->getTouchedArea());
            XFlush(display);
        }
        delete software;
    }

    void getScreenOrigin(int& x, int& y) override
    {
        ::Window child = 0;
        x = y = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    }

    // Position and state of the event being handled (or, in a drag loop, of
    // the last one the loop took), never the pointer's state now: the host
    // may come to our events long after the hand has moved on.
    void getCursorPosition(int& x, int& y) override
    {
        if (current.known)
        {
            x = current.x;
            y = current.y;
            return;
        }
        ::Window root = 0, child = 0;
        int windowX = 0, windowY = 0;
        unsigned int mask = 0;
        x = y = 0;
        XQueryPointer(display, window, &root, &child, &x, &y, &windowX, &windowY, &mask);
    }

    int getInputState() override
    {
        if (current.known)
            return current.state;
        ::Window root = 0, child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        XQueryPointer(display, window, &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        return inputStateFromMask(mask);
    }

    unsigned long getInputTime() override { return current.known ? current.time : 0; }

    void setCursor(int type) override
    {
        if (destroyed)
            return;
        static const std::map<int, unsigned> kShapes = {
            {kCursorWait, XC_watch},
            {kCursorHorizontalSize, XC_sb_h_double_arrow},
            {kCursorVerticalSize, XC_sb_v_double_arrow},
            {kCursorMove, XC_fleur},
            {kCursorDiagonalRising, XC_bottom_left_corner},
            {kCursorDiagonalFalling, XC_bottom_right_corner},
            {kCursorNotAllowed, XC_X_cursor},
            {kCursorHand, XC_hand2},
        };
        auto shape = kShapes.find(type);
        if (shape == kShapes.end())
        {
            XUndefineCursor(display, window);
        }
        else
        {
            Cursor& cursor = cursors[type];
            if (!cursor)
                cursor = XCreateFontCursor(display, shape->second);
            XDefineCursor(display, window, cursor);
        }
        XFlush(display);
    }

    void resize(int width, int height) override
    {
        backBuffer.resize(width, height);
        if (destroyed)
            return;
        XResizeWindow(display, window, static_cast<unsigned>(std::max(width, 1)),
                      static_cast<unsigned>(std::max(height, 1)));
        XFlush(display);
    }

    // At the host's idle: every queued event, in order. From inside a
    // listener call (a control's drag loop): the next pointer event only.
    void processEvents() override
    {
        if (connection->isDispatching())
            followPointer();
        else
            connection->dispatchPending();
    }

    void dispatchPendingPaint() override
    {
        XEvent event;
        while (XCheckTypedWindowEvent(display, window, Expose, &event))
            handleEvent(event);
    }

    void setDropTarget(bool active) override
    {
        if (destroyed)
            return;
        Atom aware = connection->atom("XdndAware");
        if (active)
        {
            long version = kXdndVersion;
            XChangeProperty(display, window, aware, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&version), 1);
        }
        else
        {
            XDeleteProperty(display, window, aware);
        }
        XFlush(display);
    }

    void* getParentOf(void* handle) override
    {
        ::Window root = 0, parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        X11ErrorTrap trap(display);
        if (!XQueryTree(display, toWindow(handle), &root, &parent, &children, &count))
            return nullptr;
        if (children)
            XFree(children);
        if (parent == root)
            return nullptr;
        return reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
    }

    bool isMdiClient(void* handle) override
    {
        XClassHint hint{};
        X11ErrorTrap trap(display);
        if (!XGetClassHint(display, toWindow(handle), &hint))
            return false;
        bool mdi = (hint.res_class && std::strcmp(hint.res_class, "MDIClient") == 0);
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
        return mdi;
    }

    void getOuterSize(void* handle, int& width, int& height) override
    {
        XWindowAttributes attributes{};
        width = height = 0;
        X11ErrorTrap trap(display);
        if (XGetWindowAttributes(display, toWindow(handle), &attributes))
        {
            width = attributes.width + 2 * attributes.border_width;
            height = attributes.height + 2 * attributes.border_width;
        }
    }

    void resizeWindow(void* handle, int width, int height) override
    {
        X11ErrorTrap trap(display);
        XResizeWindow(display, toWindow(handle), static_cast<unsigned>(std::max(width, 1)),
                      static_cast<unsigned>(std::max(height, 1)));
    }

    // Windows' dialog frame is 3 pixels; X11 has none, so the same figure keeps the rule.
    int getDialogFrameSize() override { return 3; }

    void getRectInParent(void* handle, IntRect& rect) override
    {
        XWindowAttributes attributes{};
        rect = IntRect{};
        X11ErrorTrap trap(display);
        if (handle && XGetWindowAttributes(display, toWindow(handle), &attributes))
            rect =
                IntRect{attributes.x, attributes.y, attributes.x + attributes.width, attributes.y + attributes.height};
    }

    std::unique_ptr<EditBox> createEditBox(const IntRect& rect, const std::string& text, const EditBoxStyle& style,
                                           EditBoxListener* editListener) override
    {
        return createX11EditBox(*connection, window, rect, text, style, editListener);
    }

    int trackPopupMenu(const std::vector<MenuItem>& items, int screenX, int screenY, bool rightButton) override
    {
        return runX11PopupMenu(*connection, items, screenX, screenY, rightButton);
    }

    void modalIdle() override
    {
        if (!destroyed)
            listener->windowModalIdle();
    }

    void handleEvent(XEvent& event) override
    {
        switch (event.type)
        {
        case Expose:
            exposed = unite(exposed, IntRect{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                             event.xexpose.y + event.xexpose.height});
            if (event.xexpose.count == 0)
            {
                IntRect area = exposed;
                exposed = IntRect{};
                listener->windowPaint(area);
            }
            break;
        case ButtonPress:
            take(event);
            if (buttonBit(event.xbutton.button))
                listener->windowMouseDown(event.xbutton.x, event.xbutton.y);
            else if (event.xbutton.button == 4 || event.xbutton.button == 5)
                listener->windowWheel(event.xbutton.x, event.xbutton.y, event.xbutton.button == 4 ? 1.0f : -1.0f);
            break;
        case ButtonRelease:
        case MotionNotify:
        case EnterNotify:
        case LeaveNotify: take(event); break;
        case KeyPress:
        case KeyRelease:
        {
            Key key = translateKey(event.xkey);
            if (key.name != KeyName::none || key.character)
                listener->windowKey(key, event.type == KeyPress);
            break;
        }
        case DestroyNotify:
            if (event.xdestroywindow.window == window)
            {
                // The host took our window down with its own: nothing more is sent to it.
                destroyed = true;
                listener->windowDestroyed();
            }
            break;
        case ClientMessage: handleDnd(event.xclient); break;
        default: break;
        }
    }

private:
    struct InputRecord
    {
        bool known = false;
        int x = 0; // screen coordinates
        int y = 0;
        int state = 0;
        unsigned long time = 0;
    };

    // Makes a pointer event the current input: the buttons held after it.
    void take(const XEvent& event)
    {
        switch (event.type)
        {
        case ButtonPress:
        case ButtonRelease:
        {
            const XButtonEvent& button = event.xbutton;
            int state = inputStateFromMask(button.state);
            if (event.type == ButtonPress)
                state |= buttonBit(button.button);
            else
                state &= ~buttonBit(button.button);
            current = InputRecord{true, button.x_root, button.y_root, state, button.time};
            break;
        }
        case MotionNotify:
            current = InputRecord{true, event.xmotion.x_root, event.xmotion.y_root,
                                  inputStateFromMask(event.xmotion.state), event.xmotion.time};
            break;
        case EnterNotify:
        case LeaveNotify:
            current = InputRecord{true, event.xcrossing.x_root, event.xcrossing.y_root,
                                  inputStateFromMask(event.xcrossing.state), event.xcrossing.time};
            break;
        default: break;
        }
    }

    // Takes the next pointer event of this window, if it may: "blocked" says
    // that the next one is a new click, left for the dispatch after the loop.
    bool takeNextPointerEvent(bool& blocked)
    {
        PointerFilter filter{window, (current.state & (kInputLeft | kInputMiddle | kInputRight)) != 0, false};
        XEvent event;
        if (!XCheckIfEvent(display, &event, nextPointerEvent, reinterpret_cast<XPointer>(&filter)))
        {
            blocked = filter.blocked;
            return false;
        }
        take(event);
        // A run of motion counts as its last position.
        while (event.type == MotionNotify)
        {
            PointerFilter motion{window, true, true};
            if (!XCheckIfEvent(display, &event, nextPointerEvent, reinterpret_cast<XPointer>(&motion)))
                break;
            take(event);
        }
        return true;
    }

    // One turn of a drag loop: the next pointer event becomes current, waiting
    // a little for one when none is queued; paint requests are handled.
    void followPointer()
    {
        connection->dispatchPaints();
        if (destroyed)
        {
            // No release comes to a window that is gone.
            current.state &= ~(kInputLeft | kInputMiddle | kInputRight);
            return;
        }
        bool blocked = false;
        if (takeNextPointerEvent(blocked) || blocked)
            return;
        const uint32_t start = getTicks();
        const int fd = ConnectionNumber(display);
        for (;;)
        {
            const int left = kPointerWaitMs - static_cast<int>(getTicks() - start);
            if (left <= 0)
                break;
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(fd, &readable);
            timeval timeout{0, left * 1000};
            select(fd + 1, &readable, nullptr, nullptr, &timeout);
            if (takeNextPointerEvent(blocked) || blocked)
            {
                connection->dispatchPaints();
                return;
            }
        }
        forgetLostRelease();
        connection->dispatchPaints();
    }

    // A release that will never come (the grab ended with a window the host
    // destroyed) must not hold a drag loop forever. The server sends events
    // before the reply to a later request, so a release still on its way is
    // queued once the pointer query returns.
    void forgetLostRelease()
    {
        const int held = current.state & (kInputLeft | kInputMiddle | kInputRight);
        if (!held)
            return;
        ::Window root = 0, child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX, &windowY,
                           &mask))
            return;
        if (inputStateFromMask(mask) & held)
            return;
        bool blocked = false;
        if (!takeNextPointerEvent(blocked))
            current.state &= ~held;
    }

    static ::Window toWindow(void* handle) { return static_cast<::Window>(reinterpret_cast<uintptr_t>(handle)); }

    static IntRect unite(const IntRect& a, const IntRect& b)
    {
        if (a.isEmpty())
            return b;
        return IntRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                       std::max(a.bottom, b.bottom)};
    }

    void handleDnd(XClientMessageEvent& message)
    {
        Atom type = message.message_type;
        if (type == connection->atom("XdndEnter"))
        {
            dragSource = static_cast<::Window>(message.data.l[0]);
            dragEntered = false;
            dragData = DropData{};
            offeredTypes.clear();
            if (message.data.l[1] & 1)
                readTypeList();
            else
                for (int i = 2; i <= 4; ++i)
                    if (message.data.l[i])
                        offeredTypes.push_back(static_cast<Atom>(message.data.l[i]));
        }
        else if (type == connection->atom("XdndPosition"))
        {
            int rootX = static_cast<int>(message.data.l[2] >> 16 & 0xFFFF);
            int rootY = static_cast<int>(message.data.l[2] & 0xFFFF);
            ::Window child = 0;
            XTranslateCoordinates(display, DefaultRootWindow(display), window, rootX, rootY, &dragX, &dragY, &child);
            dragAction = static_cast<Atom>(message.data.l[4]);
            if (!dragEntered)
            {
                fetchDragData(static_cast<Time>(message.data.l[3]));
                dragEntered = true;
                listener->windowDragEnter(dragData, dragX, dragY);
            }
            else
            {
                listener->windowDragMove(dragData, dragX, dragY);
            }
            sendToSource("XdndStatus", 1,
                         static_cast<long>(dragAction ? dragAction : connection->atom("XdndActionCopy")));
        }
        else if (type == connection->atom("XdndLeave"))
        {
            if (dragEntered)
                listener->windowDragLeave(dragData, dragX, dragY);
            dragEntered = false;
        }
        else if (type == connection->atom("XdndDrop"))
        {
            if (!dragEntered)
                fetchDragData(static_cast<Time>(message.data.l[2]));
            dragEntered = false;
            listener->windowDrop(dragData, dragX, dragY);
            sendToSource("XdndFinished", 1,
                         static_cast<long>(dragAction ? dragAction : connection->atom("XdndActionCopy")));
        }
    }

    void readTypeList()
    {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, dragSource, connection->atom("XdndTypeList"), 0, 64, False, XA_ATOM,
                               &actualType, &format, &count, &remaining, &data) == Success &&
            data && format == 32)
        {
            auto* atoms = reinterpret_cast<Atom*>(data);
            offeredTypes.assign(atoms, atoms + count);
        }
        if (data)
            XFree(data);
    }

    void fetchDragData(Time time)
    {
        Atom uriList = connection->atom("text/uri-list");
        Atom chosen = 0;
        if (std::find(offeredTypes.begin(), offeredTypes.end(), uriList) != offeredTypes.end())
            chosen = uriList;
        else
            for (const char* name : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING"})
                if (std::find(offeredTypes.begin(), offeredTypes.end(), connection->atom(name)) != offeredTypes.end())
                {
                    chosen = connection->atom(name);
                    break;
                }
        dragData = DropData{};
        dragData.files = chosen == uriList;
        if (!chosen)
            return;
        Atom property = connection->atom("ZELVO_DROP");
        XConvertSelection(display, connection->atom("XdndSelection"), chosen, property, window,
                          time ? time : CurrentTime);
        XFlush(display);
        XEvent event;
        uint32_t start = getTicks();
        while (!XCheckTypedWindowEvent(display, window, SelectionNotify, &event))
        {
            if (getTicks() - start > static_cast<uint32_t>(kSelectionWaitMs))
                return;
            sleepMilliseconds(2);
        }
        if (event.xselection.property == None)
            return;
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::string content;
        if (XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &actualType, &format,
                               &count, &remaining, &data) == Success &&
            data && format == 8)
            content.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        if (dragData.files)
            dragData.items = parseUriList(content);
        else
            dragData.items.push_back(content);
    }

    void sendToSource(const char* messageName, long flags, long action)
    {
        if (!dragSource)
            return;
        XEvent reply{};
        reply.xclient.type = ClientMessage;
        reply.xclient.display = display;
        reply.xclient.window = dragSource;
        reply.xclient.message_type = connection->atom(messageName);
        reply.xclient.format = 32;
        reply.xclient.data.l[0] = static_cast<long>(window);
        reply.xclient.data.l[1] = flags;
        reply.xclient.data.l[2] = std::strcmp(messageName, "XdndFinished") == 0 ? action : 0;
        reply.xclient.data.l[3] = 0;
        reply.xclient.data.l[4] = std::strcmp(messageName, "XdndStatus") == 0 ? action : 0;
        X11ErrorTrap trap(display);
        XSendEvent(display, dragSource, False, NoEventMask, &reply);
        XFlush(display);
    }

    X11Display* connection;
    Display* display;
    WindowListener* listener;
    SoftwareBitmap backBuffer;
    ::Window window = 0;
    bool destroyed = false;
    GC gc = nullptr;
    std::map<int, Cursor> cursors;
    IntRect exposed;
    InputRecord current;

    ::Window dragSource = 0;
    bool dragEntered = false;
    std::vector<Atom> offeredTypes;
    DropData dragData;
    Atom dragAction = 0;
    int dragX = 0;
    int dragY = 0;
};

} // namespace

int inputStateFromMask(unsigned int mask)
{
    int state = 0;
    if (mask & Button1Mask)
        state |= kInputLeft;
    if (mask & Button2Mask)
        state |= kInputMiddle;
    if (mask & Button3Mask)
        state |= kInputRight;
    if (mask & ShiftMask)
        state |= kInputShift;
    if (mask & ControlMask)
        state |= kInputControl;
    if (mask & Mod1Mask)
        state |= kInputAlt;
    return state;
}

std::unique_ptr<Window> createChildWindow(void* parent, int width, int height, WindowListener* listener)
{
    X11Display* connection = X11Display::acquire();
    if (!connection)
        return nullptr;
    auto window = std::make_unique<X11Window>(connection, static_cast<::Window>(reinterpret_cast<uintptr_t>(parent)),
                                              width, height, listener);
    if (!window->valid())
        return nullptr;
    return window;
}

} // namespace platform
