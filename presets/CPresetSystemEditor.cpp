#include "presets/CPresetSystemEditor.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/coptionmenu.h"
#include "gui/ctextedit.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "presets/CPSOnOffButton.h"
#include "presets/CPSRockerSwitch.h"
#include "presets/CProgram.h"
#include "presets/CSaveLoadButton.h"
#include "presets/FileErrorReporter.h"
#include "resources/PanelLayout.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

using namespace VSTGUI;

namespace
{

constexpr int kNameFieldBitmap = 128;
constexpr int kLoadBitmap = 991;
constexpr int kSaveBitmap = 992;
constexpr int kSwitchBitmap = 997;
constexpr int kNameFont = 137;
constexpr int kNameFontTransparent = 158;
constexpr int kItemsPerColumn = 10;

const CColor kNameFontColor = {76, 76, 72, 255};
const CColor kNameBackColor = {207, 222, 235, 255};
const CColor kNameFrameColor = {76, 76, 72, 255};

// Rejected files and failed saves are shown in a message box, the only window they get.
class MessageBoxReporter : public FileErrorReporter
{
public:
    void report(const char* caption, const char* text) override { platform::showMessageBox(caption, text); }
};

void copyPath(char* target, const std::string& text)
{
    std::strncpy(target, text.c_str(), CPresetSystemEditor::kPathLength - 1);
    target[CPresetSystemEditor::kPathLength - 1] = 0;
}

} // namespace

CPresetSystemEditor::CPresetSystemEditor(EditorConnection& connection) : connection(connection)
{
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();
    if (!error)
        copyPath(lastDirectory, current);
    connection.setPresetSystemListener(this);
}

CPresetSystemEditor::~CPresetSystemEditor()
{
    if (connection.getPresetSystemListener() == this)
        connection.setPresetSystemListener(nullptr);
}

void CPresetSystemEditor::beginEdit(int index) { connection.beginEdit(index); }

void CPresetSystemEditor::endEdit(int index) { connection.endEdit(index); }

namespace
{
// Accesses held by the calling thread: closing from inside one must not wait for itself.
thread_local int accessesOnThisThread = 0;
} // namespace

CPresetSystemEditor::ControlAccess::ControlAccess(CPresetSystemEditor& editor) : editor(editor)
{
    editor.controlsInUse.fetch_add(1);
    ++accessesOnThisThread;
    available = editor.controlsAvailable.load();
}

CPresetSystemEditor::ControlAccess::~ControlAccess()
{
    --accessesOnThisThread;
    editor.controlsInUse.fetch_sub(1);
}

void CPresetSystemEditor::withdrawControls()
{
    controlsAvailable = false;
    // The other threads' holders finish their few stores.
    while (controlsInUse.load() > accessesOnThisThread)
        std::this_thread::yield();
}

int CPresetSystemEditor::programAtMenuPosition(long position)
{
    if (position == 0)
        return 0;
    if (position < 2 || position > kProgramCount)
        return -1;
    return static_cast<int>(position - 1);
}

bool CPresetSystemEditor::open(void*)
{
    if (!frame)
        return false;
    {
        // The bar is built from the programs' names as they are now.
        std::lock_guard<std::mutex> lock(pendingNamesMutex);
        pendingNames.clear();
    }
    selectionPending = false;
    auto barRect = [](const PanelLayout::Rect& r) {
        return CRect(r.left, r.top, r.right, r.bottom);
    };
    auto barKey = [&](PanelLayout::Control key) {
        return barRect(PanelLayout::placement(key).rect);
    };

    char name[kProgramNameLength + 1] = "";
    const int selected = connection.getPresetIndex();
    connection.getPresetName(selected, name);

    CBitmap* background = new CBitmap(kNameFieldBitmap);
    CBitmap* font = new CBitmap(kNameFont);
    CBitmap* transparentFont = new CBitmap(kNameFontTransparent);
    nameField = makeNameField(barRect(PanelLayout::kNameField), kTagPresetName, background, font, transparentFont);
    nameField->setText(name);
    nameField->setFontColor(kNameFontColor);
    nameField->setBackColor(kNameBackColor);
    nameField->setFrameColor(kNameFrameColor);
    nameField->setFont(kNormalFontSmall);
    nameField->setHoriAlign(kCenterText);
    frame->addView(nameField);
    background->forget();
    font->forget();
    transparentFont->forget();

    presetMenu = new COptionMenu(barRect(PanelLayout::kPresetMenu), this, kTagPresetMenu, nullptr, nullptr,
                                 kCheckStyle | kNoDrawStyle);
    fillMenu();
    presetMenu->setNbItemsPerColumn(kItemsPerColumn);
    presetMenu->setCurrent(menuPosition(selected), true);
    frame->addView(presetMenu);

    CBitmap* switchBitmap = new CBitmap(kSwitchBitmap);
    stepSwitch = new CPSRockerSwitch(barKey(PanelLayout::Control::PresetStep), this, kTagPresetStep, kBarHeight,
                                     switchBitmap, CPoint(0, 0), kHorizontal);
    frame->addView(stepSwitch);

    CBitmap* loadBitmap = new CBitmap(kLoadBitmap);
    CBitmap* saveBitmap = new CBitmap(kSaveBitmap);
    struct FileButton
    {
        PanelLayout::Control key;
        long tag;
        CBitmap* bitmap;
        int type;
    };
    const FileButton files[4] = {
        {PanelLayout::Control::LoadBank, kTagLoadBank, loadBitmap, CSaveLoadButton::kLoadBank},
        {PanelLayout::Control::SaveBank, kTagSaveBank, saveBitmap, CSaveLoadButton::kSaveBank},
        {PanelLayout::Control::LoadPreset, kTagLoadPreset, loadBitmap, CSaveLoadButton::kLoadPreset},
        {PanelLayout::Control::SavePreset, kTagSavePreset, saveBitmap, CSaveLoadButton::kSavePreset},
    };
    for (int i = 0; i < 4; ++i)
    {
        fileButtons[i] = new CSaveLoadButton(barKey(files[i].key), this, files[i].tag, kBarHeight, files[i].bitmap,
                                             CPoint(0, 0), files[i].type);
        frame->addView(fileButtons[i]);
    }
    struct MemoryButton
    {
        PanelLayout::Control key;
        long tag;
        CBitmap* bitmap;
    };
    const MemoryButton memories[4] = {
        {PanelLayout::Control::RecallA, kTagRecallA, loadBitmap},
        {PanelLayout::Control::RecallB, kTagRecallB, loadBitmap},
        {PanelLayout::Control::StoreA, kTagStoreA, saveBitmap},
        {PanelLayout::Control::StoreB, kTagStoreB, saveBitmap},
    };
    for (int i = 0; i < 4; ++i)
    {
        memoryButtons[i] = new CPSOnOffButton(barKey(memories[i].key), this, memories[i].tag, memories[i].bitmap);
        frame->addView(memoryButtons[i]);
    }
    switchBitmap->forget();
    loadBitmap->forget();
    saveBitmap->forget();
    publishControls();
    return true;
}

void CPresetSystemEditor::close()
{
    withdrawControls();
    nameField = nullptr;
    presetMenu = nullptr;
    stepSwitch = nullptr;
    for (auto*& button : fileButtons)
        button = nullptr;
    for (auto*& button : memoryButtons)
        button = nullptr;
}

void CPresetSystemEditor::fillMenu()
{
    if (!presetMenu)
        return;
    presetMenu->removeAllEntry();
    for (int k = 0; k < kProgramCount; ++k)
    {
        char name[kProgramNameLength + 1] = "";
        connection.getPresetName(k, name);
        // Names come from users, hosts and files: never menu markup.
        presetMenu->addLiteralEntry(name);
        if (k == 0)
            presetMenu->addEntry("-");
    }
}

void CPresetSystemEditor::idle()
{
    if (!frame)
        return;
    showPendingNames();
    if (selectionPending.exchange(false))
        showSelection();
    CView* hovered = frame->getCurrentView();
    CPoint where;
    frame->getCurrentLocation(where);
    for (CSaveLoadButton* button : fileButtons)
        if (button)
            button->setHover(button == hovered);
    for (CPSOnOffButton* button : memoryButtons)
        if (button)
            button->setHover(button == hovered);
    if (stepSwitch)
    {
        int state = CPSRockerSwitch::kNoHover;
        if (stepSwitch == hovered)
        {
            if (stepSwitch->getLeftHalf().pointInside(where))
                state = CPSRockerSwitch::kLeftHover;
            else if (stepSwitch->getRightHalf().pointInside(where))
                state = CPSRockerSwitch::kRightHover;
        }
        stepSwitch->setHover(state);
    }
}

void CPresetSystemEditor::valueChanged(CDrawContext*, CControl* control)
{
    if (!control)
        return;
    switch (control->getTag())
    {
    case kTagPresetName:
    {
        char text[CTextEdit::kMaxTextLength + 1] = "";
        if (auto* field = dynamic_cast<CTextEdit*>(control))
            field->getText(text);
        nameEdited(text);
        break;
    }
    case kTagPresetMenu:
    {
        auto* menu = dynamic_cast<COptionMenu*>(control);
        if (!menu)
            break;
        char text[COptionMenu::kMaxEntryLength + 1] = "";
        const int index = programAtMenuPosition(menu->getCurrent(text, true));
        if (index >= 0 && index < kProgramCount)
            presetChosen(index, text);
        break;
    }
    case kTagRecallA: connection.recallMemoA(); break;
    case kTagRecallB: connection.recallMemoB(); break;
    case kTagStoreA: connection.storeMemoA(); break;
    case kTagStoreB: connection.storeMemoB(); break;
    default: break;
    }
}

// Shows the selected program's name in the field and as entry 0; with a
// program index, also as that program's own entry.
void CPresetSystemEditor::showName(const char* name, int program)
{
    if (nameField)
        nameField->setText(name);
    if (presetMenu)
    {
        if (program > 0)
            presetMenu->setEntry(menuPosition(program), name);
        presetMenu->setEntry(0, name);
    }
}

void CPresetSystemEditor::showPendingNames()
{
    std::vector<PendingName> names;
    {
        std::lock_guard<std::mutex> lock(pendingNamesMutex);
        names.swap(pendingNames);
    }
    for (const PendingName& pending : names)
    {
        // A rename of a program that is no longer selected only renames its entry.
        if (pending.program != connection.getPresetIndex())
        {
            if (presetMenu && pending.program > 0)
                presetMenu->setEntry(menuPosition(pending.program), pending.name.c_str());
            continue;
        }
        showName(pending.name.c_str(), pending.program);
    }
}

// The bar as open builds it: every program's name in the menu, the selected
// program checked and its name in the field. Names are read from the effect
// now, so renames that arrived before are included.
void CPresetSystemEditor::showSelection()
{
    const int selected = connection.getPresetIndex();
    char name[kProgramNameLength + 1] = "";
    if (presetMenu)
    {
        for (int k = 0; k < kProgramCount; ++k)
        {
            connection.getPresetName(k, name);
            presetMenu->setEntry(menuPosition(k), name);
        }
        presetMenu->setCurrent(menuPosition(selected), true);
    }
    connection.getPresetName(selected, name);
    if (nameField)
        nameField->setText(name);
}

void CPresetSystemEditor::nameEdited(const char* text)
{
    char cut[kProgramNameLength + 1] = "";
    std::strncpy(cut, text ? text : "", kProgramNameLength);
    showName(cut, connection.getPresetIndex());
    connection.renamePreset(cut);
}

void CPresetSystemEditor::presetChosen(int index, const char* text)
{
    showName(text, 0);
    connection.selectPreset(index);
}

void CPresetSystemEditor::presetNameChanged(const char* name)
{
    // The effect may call from any thread, with the window open or closed,
    // while the interface thread draws the field and the menu: only the
    // interface thread touches them. A closed window reads the names anew
    // when it opens.
    if (!name || !controlsAvailable.load())
        return;
    std::lock_guard<std::mutex> lock(pendingNamesMutex);
    pendingNames.push_back({connection.getPresetIndex(), name});
}

void CPresetSystemEditor::presetSelected(int)
{
    // A window that is closed reads the selection when it opens.
    if (controlsAvailable.load())
        selectionPending = true;
}

void CPresetSystemEditor::programsChanged(int selectedIndex)
{
    ControlAccess access(*this);
    if (!access)
        return;
    fillMenu();
    if (presetMenu)
        presetMenu->setCurrent(menuPosition(selectedIndex), true);
    if (selectedIndex >= 0 && selectedIndex < kProgramCount)
    {
        char name[kProgramNameLength + 1] = "";
        connection.getPresetName(selectedIndex, name);
        showName(name, 0);
    }
}

void CPresetSystemEditor::stepPreset(bool next)
{
    int index = connection.getPresetIndex() + (next ? 1 : -1);
    index = index < 0 ? 0 : (index >= kProgramCount ? kProgramCount - 1 : index);
    if (presetMenu)
        presetMenu->setCurrent(menuPosition(index), true);
    char name[kProgramNameLength + 1] = "";
    connection.getPresetName(index, name);
    showName(name, 0);
    connection.selectPreset(index);
}

bool CPresetSystemEditor::chooseFile(bool save, FileKind kind, std::string& bareName)
{
    platform::FileDialogRequest request;
    request.save = save;
    const bool bank = kind == kBankFile;
    if (bank)
    {
        request.title = save ? "Save bank as..." : "Select bank to load...";
        request.types = {{"All Files", "*.*"}, {"QDX Banks", "*.qdb"}};
        request.defaultExtension = "qdb";
    }
    else
    {
        request.title = save ? "Save preset as..." : "Select preset to load...";
        request.types = {{"All Files", "*.*"}, {"QDX Presets", "*.qdx"}};
        request.defaultExtension = "qdx";
    }
    request.selectedType = 1;
    request.mustExist = !save;
    request.overwritePrompt = save;
    request.initialDirectory = lastDirectory;
    char* fileName = bank ? bankFileName : presetFileName;
    request.initialName = fileName;
    request.ownerWindow = frame ? frame->getSystemWindow() : nullptr;

    std::string path;
    if (!platform::runFileDialog(request, path))
        return false;

    // The directory (with its separator) and the bare name, kept for the next dialog.
    const size_t split = platform::lastPathSeparator(path);
    const std::string directory = split == std::string::npos ? std::string() : path.substr(0, split + 1);
    const std::string name = split == std::string::npos ? path : path.substr(split + 1);
    copyPath(fileName, name);
    copyPath(lastDirectory, directory);
    if (!directory.empty() && !name.empty())
    {
        // The directory stays current, so the next editor in this process starts there.
        std::error_code error;
        std::filesystem::current_path(directory, error);
        if (error)
            return false;
    }
    bareName = fileName;
    return true;
}

void CPresetSystemEditor::loadBank()
{
    std::string name;
    if (!chooseFile(false, kBankFile, name))
        return;
    MessageBoxReporter reporter;
    connection.loadBankFile(name.c_str(), reporter);
}

void CPresetSystemEditor::saveBank()
{
    std::string name;
    if (!chooseFile(true, kBankFile, name))
        return;
    MessageBoxReporter reporter;
    connection.saveBankFile(name.c_str(), reporter);
}

void CPresetSystemEditor::loadPreset()
{
    std::string name;
    if (!chooseFile(false, kPresetFile, name))
        return;
    MessageBoxReporter reporter;
    connection.loadPresetFile(name.c_str(), reporter);
}

void CPresetSystemEditor::savePreset()
{
    std::string name;
    if (!chooseFile(true, kPresetFile, name))
        return;
    MessageBoxReporter reporter;
    connection.savePresetFile(name.c_str(), reporter);
}
