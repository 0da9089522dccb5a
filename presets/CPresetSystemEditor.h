// The editor's preset bar along the bottom edge: the selected program's name
// (editable), a menu of all programs, previous/next, the bank and preset file
// buttons with their dialogs, and the A/B memory buttons. The plug-in's
// editor derives from it and adds the panel above.
#pragma once

#include "effect/EditorConnection.h"
#include "gui/GuiEditor.h"
#include "gui/cgeometry.h"
#include "presets/CPresetSystemListener.h"
#include "presets/PresetChangesFromEffect.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class CPSOnOffButton;
class CPSRockerSwitch;
class CSaveLoadButton;
namespace VSTGUI
{
class CBitmap;
class COptionMenu;
class CTextEdit;
} // namespace VSTGUI

// Tags of the bar's controls.
enum PresetBarTag
{
    kTagPresetName = 31,
    kTagPresetStep = 32,
    kTagLoadBank = 33,
    kTagSaveBank = 34,
    kTagLoadPreset = 35,
    kTagSavePreset = 36,
    kTagPresetMenu = 37,
    kTagRecallA = 38,
    kTagRecallB = 39,
    kTagStoreA = 40,
    kTagStoreB = 41,
};

class CPresetSystemEditor : public GuiEditor, public CPresetSystemListener, public PresetChangesFromEffect
{
public:
    // Every wish of the bar goes to the effect through connection.
    explicit CPresetSystemEditor(EditorConnection& connection);
    ~CPresetSystemEditor() override;

    // A drag on a control begins and ends: the effect tells the host.
    void beginEdit(int index) override;
    void endEdit(int index) override;
    EditorConnection& getConnection() const { return connection; }

    // Builds the bar in the frame the derived editor has made; false without a
    // frame. Opening, closing and idling: the editor's thread.
    bool open(void* ptr) override;
    void close() override;
    // Hover states from the pointer position.
    void idle() override;

    // From the effect, on any thread: the selected program has a new name.
    // The bar shows it at the next idle, on the interface thread that draws it.
    void presetNameChanged(const char* name) override;
    // From the effect: a bank replaced every program.
    void programsChanged(int selectedIndex) override;
    // From the effect, on any thread: a program was made current. The bar
    // shows it, with every program's name as the effect now holds it, at the
    // next idle.
    void presetSelected(int index) override;
    virtual void nameEdited(const char* name);
    virtual void presetChosen(int index, const char* name);

    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;
    void loadBank() override;
    void saveBank() override;
    void loadPreset() override;
    void savePreset() override;
    void stepPreset(bool next) override;

    // The menu lists program 0, a separator, then programs 1 to 23.
    static long menuPosition(int program) { return program == 0 ? 0 : program + 1; }
    // -1 for the separator and positions past the programs.
    static int programAtMenuPosition(long position);

    static constexpr int kPathLength = 260;
    static constexpr int kBarHeight = 14;

    const char* getLastDirectory() const { return lastDirectory; }
    const char* getBankFileName() const { return bankFileName; }
    const char* getPresetFileName() const { return presetFileName; }
    VSTGUI::CTextEdit* getNameField() const { return nameField; }
    VSTGUI::COptionMenu* getPresetMenu() const { return presetMenu; }
    CPSRockerSwitch* getStepSwitch() const { return stepSwitch; }

protected:
    // The program-name field, printed with the panel's bitmap fonts: the
    // editor that owns the bar supplies the control, so the bar needs none of
    // the editor's own classes.
    virtual VSTGUI::CTextEdit* makeNameField(const VSTGUI::CRect& size, long tag, VSTGUI::CBitmap* background,
                                             VSTGUI::CBitmap* font, VSTGUI::CBitmap* transparentFont) = 0;

    EditorConnection& connection;

    // Hosts change parameters and program names from any thread, also while
    // the interface thread closes the window. A caller that reaches the
    // controls holds a ControlAccess; closing withdraws the controls and waits
    // for the holders before the frame destroys them. Only atomics: an audio
    // thread that automates never blocks here.
    class ControlAccess
    {
    public:
        explicit ControlAccess(CPresetSystemEditor& editor);
        ~ControlAccess();
        ControlAccess(const ControlAccess&) = delete;
        ControlAccess& operator=(const ControlAccess&) = delete;
        // True while the controls exist and stay so for the holder.
        explicit operator bool() const { return available; }

    private:
        CPresetSystemEditor& editor;
        bool available;
    };
    void publishControls() { controlsAvailable = true; }
    void withdrawControls();

private:
    enum FileKind
    {
        kBankFile,
        kPresetFile
    };
    // Runs the dialog; true with the bare file name made current-directory relative.
    bool chooseFile(bool save, FileKind kind, std::string& bareName);
    void showName(const char* name, int program);
    void fillMenu();
    void showPendingNames();
    void showSelection();

    // Renames that arrived from the effect, with the program they named,
    // waiting for the interface thread.
    struct PendingName
    {
        int program;
        std::string name;
    };
    std::mutex pendingNamesMutex;
    std::vector<PendingName> pendingNames;
    std::atomic<bool> selectionPending{false};

    std::atomic<bool> controlsAvailable{false};
    std::atomic<int> controlsInUse{0};

    char lastDirectory[kPathLength] = "";
    char bankFileName[kPathLength] = "";
    char presetFileName[kPathLength] = "";

    VSTGUI::CTextEdit* nameField = nullptr;
    VSTGUI::COptionMenu* presetMenu = nullptr;
    CPSRockerSwitch* stepSwitch = nullptr;
    CSaveLoadButton* fileButtons[4] = {};  // load bank, save bank, load preset, save preset
    CPSOnOffButton* memoryButtons[4] = {}; // recall A, recall B, store A, store B
};
