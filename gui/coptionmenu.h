// A text field that pops up a menu of entries (with separators, titles,
// greyed entries, check marks, columns and submenus) and shows the chosen one.
#pragma once

#include "gui/cparamdisplay.h"

#include <string>
#include <vector>

namespace platform
{
struct MenuItem;
}

namespace VSTGUI
{

class COptionMenu : public CParamDisplay
{
public:
    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, long style = 0);
    ~COptionMenu() override;

    void setValue(float val) override;
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    bool isTypeOf(const char* className) const override;

    virtual bool addEntry(const char* text, long index = -1);
    virtual bool addEntry(COptionMenu* subMenu, const char* text);
    // An entry shown exactly as given: texts from users ("-", "-Tape") are
    // neither separators nor titles. It stays literal when setEntry renames it.
    bool addLiteralEntry(const char* text, long index = -1);
    virtual long getCurrent(char* text = nullptr, bool countSeparator = true) const;
    virtual bool setCurrent(long index, bool countSeparator = true);
    virtual bool getEntry(long index, char* text) const;
    virtual bool setEntry(long index, const char* text);
    virtual bool removeEntry(long index);
    virtual bool removeAllEntry();
    virtual long getNbEntries() const { return static_cast<long>(entries.size()); }
    virtual long getIndex(const char* text) const;
    virtual bool checkEntry(long index, bool state);
    virtual bool checkEntryAlone(long index);
    virtual bool isCheckEntry(long index) const;
    virtual void setNbItemsPerColumn(long count) { nbItemsPerColumn = count; }
    virtual long getNbItemsPerColumn() const { return nbItemsPerColumn; }

    // The menu (this one or a submenu) and entry of the last choice.
    COptionMenu* getLastItemMenu(long& indexInMenu) const;
    long getLastResult() const { return lastResult; }
    long getLastButton() const { return lastButton; }
    COptionMenu* getSubMenu(long index) const;
    long getNbSubMenus() const { return static_cast<long>(subMenus.size()); }

    static constexpr long kMaxEntries = 1024;
    static constexpr int kMaxEntryLength = 255;

private:
    struct Command
    {
        COptionMenu* menu;
        long index;
    };
    void buildItems(std::vector<platform::MenuItem>& items, std::vector<Command>& commands);
    bool isSelectable(long index) const;
    bool isSeparator(long index) const;
    const char* shownText(long index) const;

    std::vector<std::string> entries;
    std::vector<bool> checks;
    std::vector<bool> literals;
    std::vector<COptionMenu*> subMenus;
    long currentIndex = -1;
    long nbItemsPerColumn = -1;
    long lastButton = 0;
    long lastResult = -1;
    COptionMenu* lastMenu = nullptr;
    CBitmap* bgWhenClick;
};

} // namespace VSTGUI
