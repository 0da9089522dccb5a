#include "gui/coptionmenu.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "platform/PlatformWindow.h"

#include <cstring>

namespace VSTGUI
{

namespace
{

// Entries are plain texts; these prefixes mark the special ones.
const char kSeparator[] = "-";
const char kTitlePrefix[] = "-T";
const char kGreyedPrefix[] = "-G";
const char kSubMenuPrefix[] = "-M";
// The system menu can split into columns only up to this many entries.
constexpr long kMaxColumnEntries = 160;

std::string clipped(const char* text)
{
    std::string value = text ? text : "";
    if (value.size() > COptionMenu::kMaxEntryLength)
        value.resize(COptionMenu::kMaxEntryLength);
    return value;
}

bool startsWith(const std::string& text, const char* prefix) { return text.compare(0, 2, prefix) == 0; }

} // namespace

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         CBitmap* bgWhenClick, long style)
    : CParamDisplay(size, background, style),
      bgWhenClick(bgWhenClick)
{
    this->listener = listener;
    this->tag = tag;
    if (bgWhenClick)
        bgWhenClick->remember();
}

COptionMenu::~COptionMenu()
{
    removeAllEntry();
    if (bgWhenClick)
        bgWhenClick->forget();
}

bool COptionMenu::isTypeOf(const char* className) const
{
    return std::strcmp(className, "COptionMenu") == 0 || CParamDisplay::isTypeOf(className);
}

bool COptionMenu::isSeparator(long index) const
{
    return !literals[static_cast<size_t>(index)] && entries[static_cast<size_t>(index)] == kSeparator;
}

bool COptionMenu::isSelectable(long index) const
{
    return literals[static_cast<size_t>(index)] ||
           (!isSeparator(index) && !startsWith(entries[static_cast<size_t>(index)], kTitlePrefix));
}

const char* COptionMenu::shownText(long index) const
{
    const std::string& entry = entries[static_cast<size_t>(index)];
    if (literals[static_cast<size_t>(index)])
        return entry.c_str();
    if (startsWith(entry, kTitlePrefix) || startsWith(entry, kGreyedPrefix) || startsWith(entry, kSubMenuPrefix))
        return entry.c_str() + 2;
    return entry.c_str();
}

bool COptionMenu::addEntry(const char* text, long index)
{
    if (getNbEntries() >= kMaxEntries)
        return false;
    if (index < 0 || index > getNbEntries())
        index = getNbEntries();
    entries.insert(entries.begin() + index, clipped(text));
    checks.insert(checks.begin() + index, false);
    literals.insert(literals.begin() + index, false);
    if (currentIndex >= index && getNbEntries() > 1)
        currentIndex++;
    if (currentIndex < 0)
        currentIndex = 0;
    return true;
}

bool COptionMenu::addLiteralEntry(const char* text, long index)
{
    if (index < 0 || index > getNbEntries())
        index = getNbEntries();
    if (!addEntry(text, index))
        return false;
    literals[static_cast<size_t>(index)] = true;
    return true;
}

bool COptionMenu::addEntry(COptionMenu* subMenu, const char* text)
{
    if (!subMenu || getNbEntries() >= kMaxEntries)
        return false;
    if (!addEntry((std::string(kSubMenuPrefix) + (text ? text : "")).c_str()))
        return false;
    subMenu->remember();
    subMenus.push_back(subMenu);
    return true;
}

long COptionMenu::getCurrent(char* text, bool countSeparator) const
{
    if (currentIndex < 0 || currentIndex >= getNbEntries())
        return -1;
    if (text)
        std::strcpy(text, entries[static_cast<size_t>(currentIndex)].c_str());
    if (countSeparator)
        return currentIndex;
    long result = 0;
    for (long i = 0; i < currentIndex; ++i)
        if (isSelectable(i))
            result++;
    return result;
}

bool COptionMenu::setCurrent(long index, bool countSeparator)
{
    if (index < 0 || index >= getNbEntries())
        return false;
    if (countSeparator)
    {
        if (isSeparator(index))
            return false;
        currentIndex = index;
    }
    else
    {
        long position = -1;
        long selectable = -1;
        for (long i = 0; i < getNbEntries() && selectable < index; ++i)
            if (isSelectable(i))
            {
                selectable++;
                position = i;
            }
        if (selectable != index)
            return false;
        currentIndex = position;
    }
    if (style & kMultipleCheckStyle)
        checks[static_cast<size_t>(currentIndex)] = !checks[static_cast<size_t>(currentIndex)];
    setDirty(true);
    return true;
}

bool COptionMenu::getEntry(long index, char* text) const
{
    if (index < 0 || index >= getNbEntries() || !text)
        return false;
    std::strcpy(text, entries[static_cast<size_t>(index)].c_str());
    return true;
}

bool COptionMenu::setEntry(long index, const char* text)
{
    if (index < 0 || index >= getNbEntries())
        return false;
    entries[static_cast<size_t>(index)] = clipped(text);
    setDirty(true);
    return true;
}

bool COptionMenu::removeEntry(long index)
{
    if (index < 0 || index >= getNbEntries())
        return false;
    entries.erase(entries.begin() + index);
    checks.erase(checks.begin() + index);
    literals.erase(literals.begin() + index);
    if (entries.empty())
        currentIndex = -1;
    else if (currentIndex >= index && currentIndex > 0)
        currentIndex--;
    setDirty(true);
    return true;
}

bool COptionMenu::removeAllEntry()
{
    entries.clear();
    checks.clear();
    literals.clear();
    for (COptionMenu* menu : subMenus)
        menu->forget();
    subMenus.clear();
    currentIndex = -1;
    lastMenu = nullptr;
    return true;
}

long COptionMenu::getIndex(const char* text) const
{
    for (long i = 0; i < getNbEntries(); ++i)
        if (text && entries[static_cast<size_t>(i)] == text)
            return i;
    return -1;
}

bool COptionMenu::checkEntry(long index, bool state)
{
    if (index < 0 || index >= getNbEntries())
        return false;
    checks[static_cast<size_t>(index)] = state;
    return true;
}

bool COptionMenu::checkEntryAlone(long index)
{
    if (index < 0 || index >= getNbEntries())
        return false;
    for (size_t i = 0; i < checks.size(); ++i)
        checks[i] = static_cast<long>(i) == index;
    return true;
}

bool COptionMenu::isCheckEntry(long index) const
{
    if (index < 0 || index >= getNbEntries())
        return false;
    return checks[static_cast<size_t>(index)];
}

COptionMenu* COptionMenu::getSubMenu(long index) const
{
    if (index < 0 || index >= getNbSubMenus())
        return nullptr;
    return subMenus[static_cast<size_t>(index)];
}

COptionMenu* COptionMenu::getLastItemMenu(long& indexInMenu) const
{
    indexInMenu = lastMenu ? lastMenu->lastResult : -1;
    return lastMenu;
}

void COptionMenu::setValue(float val)
{
    // Range first: a huge or not-a-number value has no integer to truncate to.
    if (!(val > -1.0f) || !(val < static_cast<float>(getNbEntries())))
        return;
    long index = static_cast<long>(val);
    currentIndex = index;
    if (style & kMultipleCheckStyle)
        checks[static_cast<size_t>(index)] = !checks[static_cast<size_t>(index)];
    value = val;
    setDirty(true);
}

void COptionMenu::draw(CDrawContext* context)
{
    const char* text = currentIndex >= 0 && currentIndex < getNbEntries() ? shownText(currentIndex) : nullptr;
    drawText(context, text);
}

void COptionMenu::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    lastButton = buttons;
    if (listener && (buttons & (kAlt | kShift | kControl | kApple)))
        if (listener->controlModifierClicked(context, this, buttons) != 0)
            return;
    if (!(buttons & (kLButton | kRButton)))
        return;
    if (bgWhenClick && context)
    {
        const char* text = currentIndex >= 0 ? shownText(currentIndex) : nullptr;
        drawText(context, text, bgWhenClick);
    }
    beginEdit();
    takeFocus(context);
}

void COptionMenu::buildItems(std::vector<platform::MenuItem>& items, std::vector<Command>& commands)
{
    size_t nextSubMenu = 0;
    bool columns = nbItemsPerColumn > 0 && getNbEntries() < kMaxColumnEntries;
    for (long i = 0; i < getNbEntries(); ++i)
    {
        const std::string& entry = entries[static_cast<size_t>(i)];
        platform::MenuItem item;
        item.text = shownText(i);
        commands.push_back(Command{this, i});
        item.command = static_cast<int>(commands.size());
        if (literals[static_cast<size_t>(i)])
            item.kind = platform::MenuItem::normal;
        else if (entry == kSeparator)
            item.kind = platform::MenuItem::separator;
        else if (startsWith(entry, kTitlePrefix))
            item.kind = platform::MenuItem::title;
        else if (startsWith(entry, kGreyedPrefix))
            item.kind = platform::MenuItem::greyed;
        else if (startsWith(entry, kSubMenuPrefix) && nextSubMenu < subMenus.size())
        {
            item.kind = platform::MenuItem::submenu;
            subMenus[nextSubMenu++]->buildItems(item.items, commands);
        }
        if (style & kMultipleCheckStyle)
            item.checked = checks[static_cast<size_t>(i)];
        else if (style & kCheckStyle)
            item.checked = i == currentIndex;
        item.columnBreak = columns && i > 0 && i % nbItemsPerColumn == 0;
        items.push_back(std::move(item));
    }
}

void COptionMenu::takeFocus(CDrawContext* context)
{
    if (!pParentFrame || !pParentFrame->getPlatformWindow())
        return;
    platform::Window* window = pParentFrame->getPlatformWindow();
    std::vector<platform::MenuItem> items;
    std::vector<Command> commands;
    buildItems(items, commands);

    CPoint where(size.left, (style & kPopupStyle) ? size.top : size.bottom);
    localToFrame(where);
    int originX = 0, originY = 0;
    window->getScreenOrigin(originX, originY);
    int chosen = window->trackPopupMenu(items, where.x + originX, where.y + originY, (lastButton & kRButton) != 0);

    if (chosen > 0 && chosen <= static_cast<int>(commands.size()))
    {
        const Command& command = commands[static_cast<size_t>(chosen - 1)];
        command.menu->setValue(static_cast<float>(command.index));
        command.menu->lastResult = command.index;
        lastResult = command.menu == this ? command.index : lastResult;
        lastMenu = command.menu;
        if (listener)
            listener->valueChanged(context, command.menu);
    }
    if (bgWhenClick)
        setDirty(true);
    if (pParentFrame)
        pParentFrame->setFocusView(nullptr);
    endEdit();
}

} // namespace VSTGUI
