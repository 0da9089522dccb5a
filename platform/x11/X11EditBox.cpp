// The toolkit's own single-line edit box on X11: a child window drawn in
// software with a caret and a selection, all text selected when it opens.
#include "platform/x11/FontRenderer.h"
#include "platform/x11/SoftwareDevice.h"
#include "platform/x11/X11Native.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

namespace platform
{

namespace
{

const ColorRef kSelectionBack = makeColorRef(0, 120, 215);
const ColorRef kSelectionText = makeColorRef(255, 255, 255);

class X11EditBox : public EditBox, public X11EventHandler
{
public:
    X11EditBox(X11Display& connection, ::Window parent, const IntRect& rect, const std::string& initial,
               const EditBoxStyle& style, EditBoxListener* listener)
        : connection(connection),
          display(connection.get()),
          style(style),
          listener(listener),
          text(initial.substr(0, static_cast<size_t>(std::max(style.maxLength, 0)))),
          picture(std::max(rect.width(), 1), std::max(rect.height(), 1)),
          parentWindow(parent),
          initialText(text)
    {
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;
        attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | FocusChangeMask | StructureNotifyMask;
        window = XCreateWindow(display, parent, rect.left, rect.top, static_cast<unsigned>(picture.width()),
                               static_cast<unsigned>(picture.height()), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixmap | CWEventMask, &attributes);
        gc = XCreateGC(display, window, 0, nullptr);
        connection.registerHandler(window, this);
        XMapRaised(display, window);
        XSync(display, False);
        {
            // The parent may not be viewable yet (then the focus simply stays where it is).
            X11ErrorTrap trap(display);
            // The box borrows the keyboard focus while it is open; the host's
            // window gets it back afterwards (its shortcuts depend on it).
            XGetInputFocus(display, &previousFocus, &previousRevert);
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
        }
        selectionStart = 0;
        caret = static_cast<int>(text.size());
        paint();
    }

    ~X11EditBox() override
    {
        connection.unregisterHandler(window);
        XFreeGC(display, gc);
        X11ErrorTrap trap(display);
        giveFocusBack();
        XDestroyWindow(display, window);
        XFlush(display);
    }

    std::string getText() const override { return text; }

    bool handleKey(const Key& key) override
    {
        bool shift = key.modifiers & kKeyModifierShift;
        bool control = key.modifiers & kKeyModifierControl;
        switch (key.name)
        {
        case KeyName::returnKey:
        case KeyName::enter:
            // May destroy this box: nothing of it is touched afterwards.
            listener->editBoxReturn();
            return true;
        case KeyName::back:
            if (!deleteSelection() && caret > 0)
            {
                text.erase(static_cast<size_t>(caret - 1), 1);
                caret--;
            }
            collapse();
            break;
        case KeyName::deleteKey:
            if (!deleteSelection() && caret < static_cast<int>(text.size()))
                text.erase(static_cast<size_t>(caret), 1);
            collapse();
            break;
        case KeyName::left:
            moveCaret(hasSelection() && !shift ? std::min(caret, selectionStart) : caret - 1, shift);
            break;
        case KeyName::right:
            moveCaret(hasSelection() && !shift ? std::max(caret, selectionStart) : caret + 1, shift);
            break;
        case KeyName::home: moveCaret(0, shift); break;
        case KeyName::end: moveCaret(static_cast<int>(text.size()), shift); break;
        case KeyName::tab: return true;
        case KeyName::escape:
            // Leaves the field as it was: the edit ends with the text it opened with.
            text = initialText;
            listener->editBoxFocusLost();
            return true;
        default:
            if (control && (key.character == 'a' || key.character == 'A'))
            {
                selectionStart = 0;
                caret = static_cast<int>(text.size());
            }
            else if (key.character >= 0x20 && key.character < 0x100 && !control)
            {
                insert(static_cast<char>(key.character));
            }
            else
            {
                return false;
            }
            break;
        }
        paint();
        return true;
    }

    void handleEvent(XEvent& event) override
    {
        switch (event.type)
        {
        case Expose:
            if (event.xexpose.count == 0)
                present();
            break;
        case KeyPress:
        {
            Key key = translateKey(event.xkey);
            if (key.name != KeyName::none || key.character)
                handleKey(key);
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == 1)
            {
                moveCaret(positionAt(event.xbutton.x), (event.xbutton.state & ShiftMask) != 0);
                X11ErrorTrap trap(display);
                XSetInputFocus(display, window, RevertToParent, CurrentTime);
                paint();
            }
            break;
        case FocusOut:
            // Focus that moves to another window ends the edit; grabs and our own
            // children do not.
            if (event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior &&
                event.xfocus.detail != NotifyPointer)
                listener->editBoxFocusLost();
            break;
        default: break;
        }
    }

private:
    // Only while the focus is still ours (on the box or, after it reverted,
    // on the frame): a focus the user gave to another window stays there.
    void giveFocusBack()
    {
        if (previousFocus == window || previousFocus == parentWindow)
            return;
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus != window && focus != parentWindow)
            return;
        XSetInputFocus(display, previousFocus, previousRevert, CurrentTime);
    }

    bool hasSelection() const { return selectionStart != caret; }
    void collapse() { selectionStart = caret; }

    bool deleteSelection()
    {
        if (!hasSelection())
            return false;
        int from = std::min(caret, selectionStart);
        int to = std::max(caret, selectionStart);
        text.erase(static_cast<size_t>(from), static_cast<size_t>(to - from));
        caret = selectionStart = from;
        return true;
    }

    void insert(char c)
    {
        deleteSelection();
        if (static_cast<int>(text.size()) >= style.maxLength)
            return;
        text.insert(text.begin() + caret, c);
        caret++;
        collapse();
    }

    void moveCaret(int position, bool extend)
    {
        caret = std::clamp(position, 0, static_cast<int>(text.size()));
        if (!extend)
            collapse();
    }

    RenderFont& font() { return getRenderFont(style.font); }

    int widthOf(int count) { return font().getTextWidth(text.substr(0, static_cast<size_t>(count)).c_str()); }

    int textLeft()
    {
        int width = font().getTextWidth(text.c_str());
        int room = picture.width() - 2;
        if (width <= room)
        {
            scroll = 0;
            if (style.align == TextAlign::center)
                return (picture.width() - width) / 2;
            if (style.align == TextAlign::right)
                return picture.width() - 1 - width;
            return 1;
        }
        // Scrolls so that the caret stays visible.
        int caretX = widthOf(caret);
        if (caretX - scroll > room)
            scroll = caretX - room;
        if (caretX - scroll < 0)
            scroll = caretX;
        return 1 - scroll;
    }

    int positionAt(int x)
    {
        int left = textLeft();
        for (int i = 0; i <= static_cast<int>(text.size()); ++i)
        {
            int here = left + widthOf(i);
            int next = i < static_cast<int>(text.size()) ? left + widthOf(i + 1) : here;
            if (x < (here + next) / 2 || i == static_cast<int>(text.size()))
                return i;
        }
        return static_cast<int>(text.size());
    }

    void paint()
    {
        SoftwareDevice device(picture);
        IntRect whole{0, 0, picture.width(), picture.height()};
        device.selectBrush(style.backColor);
        device.fillRect(whole);
        device.selectFont(style.font);
        int left = textLeft();
        IntRect line{left, 0, left + font().getTextWidth(text.c_str()) + 1, picture.height()};
        device.setTextColor(style.textColor);
        device.drawText(text.c_str(), line, TextAlign::left);
        int cellTop = (picture.height() - font().getHeight()) / 2;
        if (hasSelection())
        {
            int from = std::min(caret, selectionStart);
            int to = std::max(caret, selectionStart);
            int x0 = left + widthOf(from);
            int x1 = left + widthOf(to);
            IntRect selected{x0, cellTop, x1, cellTop + font().getHeight()};
            device.selectBrush(kSelectionBack);
            device.fillRect(selected);
            device.setClipRect(selected);
            device.setTextColor(kSelectionText);
            device.drawText(text.c_str(), line, TextAlign::left);
            device.resetClip();
        }
        else
        {
            int x = left + widthOf(caret);
            device.selectPen(style.textColor, 1, PenStyle::solid);
            device.moveTo(x, cellTop);
            device.lineTo(x, cellTop + font().getHeight());
        }
        present();
    }

    void present()
    {
        connection.putPicture(window, gc, picture, IntRect{0, 0, picture.width(), picture.height()});
        XFlush(display);
    }

    X11Display& connection;
    Display* display;
    EditBoxStyle style;
    EditBoxListener* listener;
    std::string text;
    SoftwareBitmap picture;
    ::Window window = 0;
    ::Window parentWindow = 0;
    ::Window previousFocus = PointerRoot;
    int previousRevert = RevertToPointerRoot;
    std::string initialText;
    GC gc = nullptr;
    int caret = 0;
    int selectionStart = 0;
    int scroll = 0;
};

} // namespace

std::unique_ptr<EditBox> createX11EditBox(X11Display& connection, ::Window parent, const IntRect& rect,
                                          const std::string& text, const EditBoxStyle& style, EditBoxListener* listener)
{
    return std::make_unique<X11EditBox>(connection, parent, rect, text, style, listener);
}

} // namespace platform
