#include "platform/win32/Win32PopupMenu.h"

namespace platform
{

namespace
{

HMENU buildMenu(const std::vector<MenuItem>& items)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (const MenuItem& item : items)
    {
        UINT flags = item.columnBreak ? MF_MENUBARBREAK : 0;
        UINT_PTR id = static_cast<UINT_PTR>(item.command > 0 ? item.command : 0);
        switch (item.kind)
        {
        case MenuItem::separator: flags |= MF_SEPARATOR; break;
        case MenuItem::title: flags |= MF_STRING | MF_DISABLED; break;
        case MenuItem::greyed: flags |= MF_STRING | MF_GRAYED; break;
        case MenuItem::submenu:
            flags |= MF_STRING | MF_POPUP;
            id = reinterpret_cast<UINT_PTR>(buildMenu(item.items));
            break;
        case MenuItem::normal: flags |= MF_STRING; break;
        }
        if (item.checked)
            flags |= MF_CHECKED;
        AppendMenuA(menu, flags, id, item.kind == MenuItem::separator ? nullptr : item.text.c_str());
    }
    return menu;
}

} // namespace

int runPopupMenu(HWND owner, const std::vector<MenuItem>& items, int screenX, int screenY, bool rightButton)
{
    HMENU menu = buildMenu(items);
    if (!menu)
        return 0;
    const UINT flags =
        TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY | (rightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
    const int chosen = static_cast<int>(TrackPopupMenu(menu, flags, screenX, screenY, 0, owner, nullptr));
    DestroyMenu(menu); // submenus go with it
    return chosen;
}

} // namespace platform
