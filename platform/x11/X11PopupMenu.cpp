// The pop-up menu on X11: override-redirect windows drawn by the toolkit,
// with columns, separators, titles, greyed entries, check marks and
// submenus, run modally with the pointer and keyboard grabbed.
#include "platform/SystemTime.h"
#include "platform/x11/FontRenderer.h"
#include "platform/x11/SoftwareDevice.h"
#include "platform/x11/X11Native.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

namespace platform
{

namespace
{

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 9;
constexpr int kGutter = 22; // room for the check mark on the left and the arrow on the right
constexpr int kMinColumnWidth = 80;
const ColorRef kMenuBack = makeColorRef(240, 240, 240);
const ColorRef kMenuText = makeColorRef(0, 0, 0);
const ColorRef kMenuGrey = makeColorRef(109, 109, 109);
const ColorRef kHighlightBack = makeColorRef(0, 120, 215);
const ColorRef kHighlightText = makeColorRef(255, 255, 255);
const ColorRef kMenuEdge = makeColorRef(151, 151, 151);

FontDescription menuFont()
{
    FontDescription font;
    font.face = "Arial";
    font.size = 13;
    return font;
}

struct Level
{
    const std::vector<MenuItem>* items = nullptr;
    std::vector<IntRect> places; // each item's rectangle in the level's window
    ::Window window = 0;
    GC gc = nullptr;
    std::unique_ptr<SoftwareBitmap> picture;
    int x = 0;
    int y = 0;
    int highlighted = -1;
    int openSubmenu = -1;
};

bool selectable(const MenuItem& item) { return item.kind == MenuItem::normal || item.kind == MenuItem::submenu; }

class PopupMenu
{
public:
    PopupMenu(X11Display& connection) : connection(connection), display(connection.get()) {}

    ~PopupMenu()
    {
        while (!levels.empty())
            closeLevel();
        XUngrabPointer(display, CurrentTime);
        XUngrabKeyboard(display, CurrentTime);
        XFlush(display);
    }

    int run(const std::vector<MenuItem>& items, int screenX, int screenY)
    {
        if (items.empty())
            return 0;
        openLevel(items, screenX, screenY);
        ::Window first = levels.front()->window;
        uint32_t start = getTicks();
        // The button that opened the menu may still be held; grabbing can wait a little for it.
        while (XGrabPointer(display, first, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                            GrabModeAsync, GrabModeAsync, None, None, CurrentTime) != GrabSuccess &&
               getTicks() - start < 1000)
            sleepMilliseconds(5);
        XGrabKeyboard(display, first, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        XFlush(display);
        bool pressSeen = false;
        uint32_t lastIdle = getTicks();
        while (!finished)
        {
            if (getTicks() - lastIdle >= static_cast<uint32_t>(X11Display::kModalIdleMs))
            {
                connection.modalIdle();
                lastIdle = getTicks();
            }
            XEvent event;
            if (!connection.nextEventWithin(event, X11Display::kModalIdleMs))
                continue;
            switch (event.type)
            {
            case Expose:
                if (Level* level = levelOf(event.xexpose.window))
                    present(*level);
                else
                    connection.dispatch(event);
                break;
            case MotionNotify: hover(event.xmotion.x_root, event.xmotion.y_root); break;
            case ButtonPress:
                pressSeen = true;
                if (!hitLevel(event.xbutton.x_root, event.xbutton.y_root))
                    finish(0);
                else
                    hover(event.xbutton.x_root, event.xbutton.y_root);
                break;
            case ButtonRelease:
            {
                Level* level = hitLevel(event.xbutton.x_root, event.xbutton.y_root);
                if (level)
                {
                    hover(event.xbutton.x_root, event.xbutton.y_root);
                    chooseHighlighted(*level);
                }
                else if (pressSeen)
                {
                    finish(0);
                }
                break;
            }
            case KeyPress: key(translateKey(event.xkey)); break;
            default:
                // Other windows' events (their configuration, destruction,
                // drops, key releases) go on to them, as outside the menu.
                connection.dispatch(event);
                break;
            }
        }
        return result;
    }

private:
    void finish(int command)
    {
        result = command;
        finished = true;
    }

    Level* levelOf(::Window window)
    {
        for (auto& level : levels)
            if (level->window == window)
                return level.get();
        return nullptr;
    }

    Level* hitLevel(int rootX, int rootY)
    {
        for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        {
            Level& level = **it;
            if (rootX >= level.x && rootY >= level.y && rootX < level.x + level.picture->width() &&
                rootY < level.y + level.picture->height())
                return &level;
        }
        return nullptr;
    }

    void layout(Level& level)
    {
        RenderFont& font = getRenderFont(menuFont());
        const auto& items = *level.items;
        // Columns start at entries marked as breaks.
        std::vector<std::pair<size_t, size_t>> columns;
        size_t begin = 0;
        for (size_t i = 1; i <= items.size(); ++i)
            if (i == items.size() || items[i].columnBreak)
            {
                columns.emplace_back(begin, i);
                begin = i;
            }
        int x = 1;
        int height = 0;
        level.places.assign(items.size(), IntRect{});
        for (auto& column : columns)
        {
            int width = kMinColumnWidth;
            for (size_t i = column.first; i < column.second; ++i)
                width = std::max(width, font.getTextWidth(items[i].text.c_str()) + 2 * kGutter);
            int y = 1;
            for (size_t i = column.first; i < column.second; ++i)
            {
                int itemHeight = items[i].kind == MenuItem::separator ? kSeparatorHeight : kItemHeight;
                level.places[i] = IntRect{x, y, x + width, y + itemHeight};
                y += itemHeight;
            }
            height = std::max(height, y + 1);
            x += width + 1;
        }
        level.picture = std::make_unique<SoftwareBitmap>(x, height);
    }

    void openLevel(const std::vector<MenuItem>& items, int x, int y)
    {
        auto level = std::make_unique<Level>();
        level->items = &items;
        layout(*level);
        int screen = DefaultScreen(display);
        int screenWidth = DisplayWidth(display, screen);
        int screenHeight = DisplayHeight(display, screen);
        level->x = std::max(0, std::min(x, screenWidth - level->picture->width()));
        level->y = std::max(0, std::min(y, screenHeight - level->picture->height()));
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixmap = None;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
        level->window = XCreateWindow(display, DefaultRootWindow(display), level->x, level->y,
                                      static_cast<unsigned>(level->picture->width()),
                                      static_cast<unsigned>(level->picture->height()), 0, CopyFromParent, InputOutput,
                                      CopyFromParent, CWOverrideRedirect | CWBackPixmap | CWEventMask, &attributes);
        level->gc = XCreateGC(display, level->window, 0, nullptr);
        paint(*level);
        XMapRaised(display, level->window);
        XFlush(display);
        levels.push_back(std::move(level));
    }

    void closeLevel()
    {
        Level& level = *levels.back();
        XFreeGC(display, level.gc);
        XDestroyWindow(display, level.window);
        levels.pop_back();
        if (!levels.empty())
            levels.back()->openSubmenu = -1;
    }

    void paint(Level& level)
    {
        SoftwareDevice device(*level.picture);
        IntRect whole{0, 0, level.picture->width(), level.picture->height()};
        device.selectBrush(kMenuEdge);
        device.fillRect(whole);
        device.selectBrush(kMenuBack);
        device.fillRect(IntRect{1, 1, whole.right - 1, whole.bottom - 1});
        device.selectFont(menuFont());
        const auto& items = *level.items;
        for (size_t i = 0; i < items.size(); ++i)
        {
            const MenuItem& item = items[i];
            IntRect place = level.places[i];
            if (item.columnBreak)
            {
                device.selectPen(kMenuEdge, 1, PenStyle::solid);
                device.moveTo(place.left - 1, 1);
                device.lineTo(place.left - 1, whole.bottom - 1);
            }
            if (item.kind == MenuItem::separator)
            {
                int middle = place.top + place.height() / 2;
                device.selectPen(kMenuEdge, 1, PenStyle::solid);
                device.moveTo(place.left + 4, middle);
                device.lineTo(place.right - 4, middle);
                continue;
            }
            bool lit = static_cast<int>(i) == level.highlighted && selectable(item);
            if (lit)
            {
                device.selectBrush(kHighlightBack);
                device.fillRect(place);
            }
            ColorRef color = lit ? kHighlightText : item.kind == MenuItem::greyed ? kMenuGrey : kMenuText;
            device.setTextColor(color);
            device.drawText(item.text.c_str(), IntRect{place.left + kGutter, place.top, place.right, place.bottom},
                            TextAlign::left);
            device.selectPen(color, 1, PenStyle::solid);
            if (item.checked)
            {
                // A tick: down-right short stroke, then up-right long stroke.
                int cx = place.left + 7;
                int cy = place.top + place.height() / 2;
                for (int thick = 0; thick < 2; ++thick)
                {
                    device.moveTo(cx, cy + thick - 1);
                    device.lineTo(cx + 3, cy + thick + 2);
                    device.lineTo(cx + 9, cy + thick - 4);
                }
            }
            if (item.kind == MenuItem::submenu)
            {
                int ax = place.right - 12;
                int ay = place.top + place.height() / 2;
                for (int row = -3; row <= 3; ++row)
                {
                    device.moveTo(ax, ay + row);
                    device.lineTo(ax + 4 - std::abs(row), ay + row);
                }
            }
        }
        if (level.window)
            present(level);
    }

    void present(Level& level)
    {
        connection.putPicture(level.window, level.gc, *level.picture,
                              IntRect{0, 0, level.picture->width(), level.picture->height()});
        XFlush(display);
    }

    int itemAt(Level& level, int rootX, int rootY)
    {
        int x = rootX - level.x;
        int y = rootY - level.y;
        for (size_t i = 0; i < level.places.size(); ++i)
        {
            const IntRect& place = level.places[i];
            if (x >= place.left && x < place.right && y >= place.top && y < place.bottom)
                return static_cast<int>(i);
        }
        return -1;
    }

    void hover(int rootX, int rootY)
    {
        Level* level = hitLevel(rootX, rootY);
        if (!level)
            return;
        while (levels.back().get() != level && levels.back()->items != nullptr)
        {
            // Moving back to a parent level closes the deeper ones unless over the open entry.
            int item = itemAt(*level, rootX, rootY);
            if (item == level->openSubmenu)
                break;
            closeLevel();
        }
        int item = itemAt(*level, rootX, rootY);
        setHighlight(*level, item);
        if (item >= 0 && (*level->items)[static_cast<size_t>(item)].kind == MenuItem::submenu &&
            level->openSubmenu != item && levels.back().get() == level)
            openSubmenuOf(*level, item);
    }

    void setHighlight(Level& level, int item)
    {
        if (item == level.highlighted)
            return;
        level.highlighted = item;
        paint(level);
    }

    void openSubmenuOf(Level& level, int item)
    {
        const MenuItem& entry = (*level.items)[static_cast<size_t>(item)];
        if (entry.items.empty())
            return;
        level.openSubmenu = item;
        const IntRect& place = level.places[static_cast<size_t>(item)];
        openLevel(entry.items, level.x + place.right, level.y + place.top - 1);
    }

    void chooseHighlighted(Level& level)
    {
        if (level.highlighted < 0)
            return;
        const MenuItem& item = (*level.items)[static_cast<size_t>(level.highlighted)];
        if (item.kind == MenuItem::normal)
            finish(item.command);
        else if (item.kind == MenuItem::submenu && level.openSubmenu != level.highlighted)
            openSubmenuOf(level, level.highlighted);
    }

    void step(Level& level, int direction)
    {
        const auto& items = *level.items;
        int count = static_cast<int>(items.size());
        int index = level.highlighted;
        for (int tries = 0; tries < count; ++tries)
        {
            index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
            if (selectable(items[static_cast<size_t>(index)]) ||
                items[static_cast<size_t>(index)].kind == MenuItem::greyed)
            {
                setHighlight(level, index);
                return;
            }
        }
    }

    void key(const Key& code)
    {
        Level& level = *levels.back();
        switch (code.name)
        {
        case KeyName::escape:
            if (levels.size() > 1)
                closeLevel();
            else
                finish(0);
            break;
        case KeyName::down: step(level, 1); break;
        case KeyName::up: step(level, -1); break;
        case KeyName::right:
            if (level.highlighted >= 0 &&
                (*level.items)[static_cast<size_t>(level.highlighted)].kind == MenuItem::submenu)
            {
                openSubmenuOf(level, level.highlighted);
                step(*levels.back(), 1);
            }
            break;
        case KeyName::left:
            if (levels.size() > 1)
                closeLevel();
            break;
        case KeyName::returnKey:
        case KeyName::enter:
        case KeyName::space:
            chooseHighlighted(level);
            if (!finished && levels.back().get() != &level)
                step(*levels.back(), 1);
            break;
        default: break;
        }
    }

    X11Display& connection;
    Display* display;
    std::vector<std::unique_ptr<Level>> levels;
    bool finished = false;
    int result = 0;
};

} // namespace

int runX11PopupMenu(X11Display& connection, const std::vector<MenuItem>& items, int screenX, int screenY, bool)
{
    // Either button chooses; a right click only changes which button opened it.
    PopupMenu menu(connection);
    return menu.run(items, screenX, screenY);
}

} // namespace platform
