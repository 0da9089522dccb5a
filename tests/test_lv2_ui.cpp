// The editor as an LV2 X11 UI, opened by a small UI host in a parent window
// on the X server (Xvfb): lilv finds it, the host instantiates it with the
// parent, resize, idle and (or without) instance access, it draws the
// editor, and a click on a button comes back through the write function as
// the port's new value.
#include "tests/EditorHarness.h"
#include "tests/Lv2Host.h"

#include <dlfcn.h>

#include <cmath>

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "editor/Editor.h"
#include "effect/Plugin.h"
#include "gui/coptionmenu.h"
#include "gui/ctextedit.h"
#include "host/VstEffect.h"
#include "presets/CPresetSystemEditor.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFileFormat.h"

namespace
{

// Is the rectangle on screen the given picture of a skin bitmap?
bool showsPicture(const Screenshot& shot, int bitmap, int left, int top, int right, int bottom, int pictureHeight,
                  int picture)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (shot.at(x, y) != skinPixel(bitmap, x - left, y - top + picture * pictureHeight))
                return false;
    return true;
}

struct PortWrite
{
    uint32_t port;
    float value;
};

// A touch the host heard, in order with the writes: write index it came before.
struct Touch
{
    uint32_t port;
    bool grabbed;
    size_t beforeWrite;
};

class Lv2UiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* name = std::getenv("DISPLAY");
        ASSERT_TRUE(name && *name) << "DISPLAY is not set: the UI tests need an X server";
        useTemporarySettingsStore(::testing::UnitTest::GetInstance()->current_test_info()->name());
        display = connectToServer();
        ASSERT_NE(display, nullptr);
        parent = mapHostWindow(display, originX, originY);

        // The UI as lilv describes it: an X11 UI in the bundle's binary.
        Lv2World& w = Lv2World::instance();
        ASSERT_NE(w.plugin, nullptr);
        LilvUIs* uis = lilv_plugin_get_uis(w.plugin);
        LilvNode* x11 = w.node(LV2_UI__X11UI);
        const LilvUI* ui = nullptr;
        LILV_FOREACH(uis, i, uis)
        if (lilv_ui_is_a(lilv_uis_get(uis, i), x11))
            ui = lilv_uis_get(uis, i);
        ASSERT_NE(ui, nullptr) << "no X11 UI";
        EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), lv2bundle::kUiUri);
        char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        library = dlopen(binary, RTLD_NOW | RTLD_LOCAL);
        lilv_free(binary);
        lilv_node_free(x11);
        lilv_uis_free(uis);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_STREQ(descriptor->URI, lv2bundle::kUiUri);
        EXPECT_EQ(entry(1), nullptr);

        dsp = std::make_unique<Lv2TestInstance>();
        ASSERT_NE(dsp->instance, nullptr);
    }

    void TearDown() override
    {
        closeUi();
        dsp.reset();
        if (display)
        {
            if (parent)
                XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
        // The library stays loaded: the plug-in instances of lilv use it too.
    }

    // Instantiates the UI the way a host does; instance access optional.
    bool openUi(bool instanceAccess)
    {
        Lv2World& w = Lv2World::instance();
        LV2_Feature parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(parent)};
        resize.handle = this;
        resize.ui_resize = [](LV2UI_Feature_Handle handle, int width, int height) {
            static_cast<Lv2UiTest*>(handle)->resizedTo = {width, height};
            return 0;
        };
        LV2_Feature resizeFeature = {LV2_UI__resize, &resize};
        touchInterface.handle = this;
        touchInterface.touch = [](LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
            auto* self = static_cast<Lv2UiTest*>(handle);
            self->touches.push_back({port, grabbed, self->writes.size()});
        };
        LV2_Feature touchFeature = {LV2_UI__touch, &touchInterface};
        LV2_Feature instanceFeature = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(dsp->instance)};
        const LV2_Feature* withAccess[] = {&parentFeature,   &resizeFeature, &w.urids.mapFeature,
                                           &instanceFeature, &touchFeature,  nullptr};
        const LV2_Feature* withoutAccess[] = {&parentFeature, &resizeFeature, &w.urids.mapFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        handle = descriptor->instantiate(descriptor, lv2bundle::kPluginUri, ZELVO_LV2_BUNDLE "/", &Lv2UiTest::write,
                                         this, &widget, instanceAccess ? withAccess : withoutAccess);
        if (!handle)
            return false;
        EXPECT_NE(widget, nullptr) << "the UI names its window";
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        EXPECT_NE(idleInterface, nullptr);
        pump(200);
        return true;
    }

    void closeUi()
    {
        if (handle)
            descriptor->cleanup(handle);
        handle = nullptr;
    }

    void pump(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end)
        {
            if (idleInterface)
            {
                EXPECT_EQ(idleInterface->idle(handle), 0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // The user clicks on their own connection while the host idles the UI.
    void click(int x, int y)
    {
        act([x, y](User& u) { u.click(x, y); });
    }
    void act(const std::function<void(User&)>& actions)
    {
        std::atomic<bool> done{false};
        std::thread user([&] {
            User u(originX, originY);
            if (u.display)
                actions(u);
            done = true;
        });
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done && std::chrono::steady_clock::now() < limit)
        {
            idleInterface->idle(handle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        user.join();
        pump(150);
    }

    Screenshot screenshot() { return grabEditorArea(display, parent); }

    std::vector<float> writesTo(uint32_t port) const
    {
        std::vector<float> values;
        for (const PortWrite& w : writes)
            if (w.port == port)
                values.push_back(w.value);
        return values;
    }

    // The host passes what the UI wrote on to the plug-in's port.
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
    {
        auto* self = static_cast<Lv2UiTest*>(controller);
        EXPECT_EQ(protocol, 0u);
        EXPECT_EQ(size, sizeof(float));
        float value;
        std::memcpy(&value, buffer, sizeof value);
        self->writes.push_back({port, value});
        if (port < (uint32_t)lv2port::kControlCount)
            self->dsp->controls[port] = value;
    }

    Display* display = nullptr;
    Window parent = 0;
    int originX = 0, originY = 0;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    LV2UI_Handle handle = nullptr;
    LV2UI_Resize resize = {};
    LV2UI_Touch touchInterface = {};
    std::vector<Touch> touches;
    std::pair<int, int> resizedTo = {0, 0};
    std::unique_ptr<Lv2TestInstance> dsp;
    std::vector<PortWrite> writes;
};

// The AttShow bit buttons: bitmap 165 is the bit-2 button, lit in
// "Current" (mask 7); a click clears the bit (mask 5).
constexpr int kBitTwoX = 240, kBitTwoY = 240;

} // namespace

TEST_F(Lv2UiTest, WithInstanceAccessTheRunningEffectsEditorDrawsAndAClickWritesThePort)
{
    ASSERT_TRUE(openUi(true));
    EXPECT_EQ(resizedTo, std::make_pair(524, 462));
    EXPECT_TRUE(showsPicture(screenshot(), 165, 224, 230, 257, 249, 19, 1)) << "the editor is not drawn";

    click(kBitTwoX, kBitTwoY);
    ASSERT_FALSE(writesTo(kAttShow).empty());
    EXPECT_EQ(writesTo(kAttShow).back(), 5.0f);
    EXPECT_TRUE(showsPicture(screenshot(), 165, 224, 230, 257, 249, 19, 0));

    // The running effect has the new value already: its programs say so.
    std::vector<float> silence(64, 0.0f), outL, outR;
    dsp->process(silence, silence, outL, outR);
    auto saved = dsp->saveProperties();
    presetfile::ProgramData programs[24];
    const auto& bank = saved[lv2bundle::kProgramsKey].bytes;
    ASSERT_EQ(presetfile::decodeBank(bank.data(), bank.size(), programs), presetfile::FileCheck::accepted);
    EXPECT_EQ(programs[0].values[kAttShow], 0.6875f);

    // Port changes from the host reach the editor through the effect.
    dsp->controls[kAttShow] = 7.0f;
    dsp->process(silence, silence, outL, outR);
    pump(150);
    EXPECT_TRUE(showsPicture(screenshot(), 165, 224, 230, 257, 249, 19, 1));
    closeUi();

    // Opened again, the same editor comes back.
    writes.clear();
    ASSERT_TRUE(openUi(true));
    click(kBitTwoX, kBitTwoY);
    ASSERT_FALSE(writesTo(kAttShow).empty());
    EXPECT_EQ(writesTo(kAttShow).back(), 5.0f);
}

TEST_F(Lv2UiTest, WithoutInstanceAccessTheControlsStillWorkThroughThePorts)
{
    ASSERT_TRUE(openUi(false));
    EXPECT_TRUE(showsPicture(screenshot(), 165, 224, 230, 257, 249, 19, 1));

    click(kBitTwoX, kBitTwoY);
    ASSERT_FALSE(writesTo(kAttShow).empty());
    EXPECT_EQ(writesTo(kAttShow).back(), 5.0f);

    // The host tells the UI of a port change: mask 3. A click on the bit-2
    // button then clears bit 2 of that mask: 1.
    const float three = 3.0f;
    descriptor->port_event(handle, kAttShow, sizeof three, 0, &three);
    pump(100);
    writes.clear();
    click(kBitTwoX, kBitTwoY);
    ASSERT_FALSE(writesTo(kAttShow).empty());
    EXPECT_EQ(writesTo(kAttShow).back(), 1.0f);

    // What the host sends that is no control value is ignored.
    const double wrongSize = 2.0;
    descriptor->port_event(handle, kAttShow, sizeof wrongSize, 0, &wrongSize);
    descriptor->port_event(handle, 999, sizeof three, 0, &three);
    descriptor->port_event(handle, kAttShow, sizeof three, 1, &three);
    pump(50);
}

TEST_F(Lv2UiTest, WithoutAParentWindowThereIsNoUi)
{
    Lv2World& w = Lv2World::instance();
    const LV2_Feature* features[] = {&w.urids.mapFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ(descriptor->instantiate(descriptor, lv2bundle::kPluginUri, ZELVO_LV2_BUNDLE "/", &Lv2UiTest::write, this,
                                      &widget, features),
              nullptr);
    LV2_Feature parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(parent)};
    const LV2_Feature* withParent[] = {&parentFeature, nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, "urn:some:other-plugin", ZELVO_LV2_BUNDLE "/", &Lv2UiTest::write,
                                      this, &widget, withParent),
              nullptr);
}

namespace
{
constexpr int kPresetBarY = 454;
constexpr int kNextProgramX = 356;

// Pixels of the input meter that differ between two pictures.
int meterPixelsChanged(const Screenshot& a, const Screenshot& b)
{
    int changed = 0;
    for (int y = 60; y < 440; ++y)
        for (int x = 145; x < 215; ++x)
            changed += a.at(x, y) != b.at(x, y);
    return changed;
}

// A loud block for the meters.
void processLoud(Lv2TestInstance& dsp, int frames)
{
    std::vector<float> left((size_t)frames), right((size_t)frames), outL, outR;
    for (int i = 0; i < frames; ++i)
        left[(size_t)i] = right[(size_t)i] = (float)(0.9 * std::sin(i * 0.07));
    dsp.process(left, right, outL, outR);
}
} // namespace

// The preset bar of the editor chooses programs of the running effect, and
// the host hears every changed control as a port write; the meters show
// the running effect's audio.
TEST_F(Lv2UiTest, WithInstanceAccessThePresetBarAndTheMetersAreTheRunningEffects)
{
    ASSERT_TRUE(openUi(true));
    const Screenshot quiet = screenshot();
    processLoud(*dsp, 24000);
    pump(120);
    EXPECT_GT(meterPixelsChanged(quiet, screenshot()), 200) << "the meters do not show the running effect";

    writes.clear();
    click(kNextProgramX, kPresetBarY);
    for (int i : {kDrive, kTransient, kRelease, kTransShape})
    {
        ASSERT_FALSE(writesTo(i).empty()) << kParameterTable[i].name;
        EXPECT_EQ(writesTo(i).back(), lv2port::toPortValue(i, (float)kFactoryPresets[1].values[i]));
    }
    // The host passed the writes to the ports; the effect keeps the exact
    // program values and has program 1 selected.
    std::vector<float> silence(64, 0.0f), outL, outR;
    dsp->process(silence, silence, outL, outR);
    auto saved = dsp->saveProperties();
    int32_t selected = -1;
    ASSERT_EQ(saved[lv2bundle::kSelectedProgramKey].bytes.size(), sizeof selected);
    std::memcpy(&selected, saved[lv2bundle::kSelectedProgramKey].bytes.data(), sizeof selected);
    EXPECT_EQ(selected, 1);
    presetfile::ProgramData programs[24];
    const auto& bank = saved[lv2bundle::kProgramsKey].bytes;
    ASSERT_EQ(presetfile::decodeBank(bank.data(), bank.size(), programs), presetfile::FileCheck::accepted);
    EXPECT_STREQ(programs[0].name, kFactoryPresets[1].name);
    for (int i = 0; i < lv2port::kControlCount; ++i)
        EXPECT_EQ(programs[0].values[i], (float)kFactoryPresets[1].values[i]) << kParameterTable[i].name;
}

namespace
{
// Is the preset bar's name field (202, 447 to 313, 461) the same in both?
bool sameNameField(const Screenshot& a, const Screenshot& b)
{
    for (int y = 447; y < 461; ++y)
        for (int x = 202; x < 313; ++x)
            if (a.at(x, y) != b.at(x, y))
                return false;
    return true;
}
} // namespace

// A program chosen in the host's preset menu, or brought back with a saved
// session, is shown in the preset bar as if chosen there: the bar of an
// editor opened afterwards is the picture to match.
TEST_F(Lv2UiTest, ThePresetBarShowsTheProgramTheHostChose)
{
    const auto presets = Lv2World::instance().presets();
    ASSERT_TRUE(dsp->applyPreset(presets.at("TV Hot")));
    const auto tvHotSession = dsp->saveProperties();
    ASSERT_TRUE(openUi(true));
    const Screenshot tvHot = screenshot();
    closeUi();
    ASSERT_TRUE(dsp->applyPreset(presets.at("Current")));
    ASSERT_TRUE(openUi(true));
    const Screenshot current = screenshot();
    ASSERT_FALSE(sameNameField(tvHot, current));

    // The host's preset menu, while the editor is open.
    ASSERT_TRUE(dsp->applyPreset(presets.at("TV Hot")));
    pump(100);
    EXPECT_TRUE(sameNameField(screenshot(), tvHot)) << "the bar does not show the host's preset";
    ASSERT_TRUE(dsp->applyPreset(presets.at("Current")));
    pump(100);
    EXPECT_TRUE(sameNameField(screenshot(), current));

    // A session restored.
    auto session = tvHotSession;
    ASSERT_EQ(dsp->restoreProperties(session), LV2_STATE_SUCCESS);
    pump(100);
    EXPECT_TRUE(sameNameField(screenshot(), tvHot)) << "the bar does not show the restored program";
}

// Hosts apply presets and restore sessions on threads of their own. The bar
// learns of the selection at its next idle, on the interface thread: the
// name field, the checked menu entry and the names of every program, as a
// restored bank renamed them.
TEST_F(Lv2UiTest, ASelectionMadeOnAnotherThreadReachesTheWholeBar)
{
    VstEffect vst([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        return opcode == audioMasterVersion ? 2400 : 0;
    });
    Plugin& plugin = vst.getCore();
    AEffect* effect = vst.getAeffect();
    ASSERT_NE(effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f), 0);
    auto* bar = static_cast<CPresetSystemEditor*>(vst.getEditorView());
    ASSERT_NE(bar, nullptr);
    std::thread host([&] {
        plugin.getProgramRecord(3)->setName("Renamed by a session");
        plugin.selectPreset(15);
    });
    host.join();
    for (int i = 0; i < 3; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    }
    char text[256] = "";
    bar->getNameField()->getText(text);
    EXPECT_STREQ(text, "TV Hot");
    EXPECT_EQ(bar->getPresetMenu()->getCurrent(nullptr, true), CPresetSystemEditor::menuPosition(15));
    ASSERT_TRUE(bar->getPresetMenu()->getEntry(CPresetSystemEditor::menuPosition(3), text));
    EXPECT_STREQ(text, "Renamed by a session");
    ASSERT_TRUE(bar->getPresetMenu()->getEntry(0, text));
    EXPECT_STREQ(text, "TV Hot");
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
}

// Without instance access the editor's own effect processes no audio: the
// meters stay still, but the preset bar still sets every control through
// the ports.
TEST_F(Lv2UiTest, WithoutInstanceAccessThePresetBarStillSetsThePorts)
{
    ASSERT_TRUE(openUi(false));
    const Screenshot quiet = screenshot();
    processLoud(*dsp, 24000);
    pump(120);
    EXPECT_EQ(meterPixelsChanged(quiet, screenshot()), 0);

    writes.clear();
    click(kNextProgramX, kPresetBarY);
    for (int i : {kDrive, kTransient, kRelease, kTransShape})
    {
        ASSERT_FALSE(writesTo(i).empty()) << kParameterTable[i].name;
        EXPECT_EQ(writesTo(i).back(), lv2port::toPortValue(i, (float)kFactoryPresets[1].values[i]));
    }
}

// Hosts run the audio on a thread of its own: it automates the controls
// (which move the editor's controls) while the editor opens, idles and
// closes again on this thread.
TEST_F(Lv2UiTest, EditorOpensAndClosesWhileTheAudioThreadAutomatesThePorts)
{
    std::atomic<bool> running{true};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        std::vector<float> left(256), right(256), outL, outR;
        for (int i = 0; i < 256; ++i)
            left[(size_t)i] = right[(size_t)i] = (float)(0.8 * std::sin(i * 0.05));
        for (long b = 0; running; ++b)
        {
            // The host's own port buffers: only this thread writes them here.
            dsp->controls[kDrive] = (float)(b % 24);
            dsp->controls[kAttShow] = (float)(b % 8);
            dsp->controls[kTransShape] = (float)(b / 50 % 3);
            outL.clear();
            outR.clear();
            dsp->process(left, right, outL, outR, 256);
            ++blocks;
        }
    });
    for (int round = 0; round < 4; ++round)
    {
        ASSERT_TRUE(openUi(round % 2 == 0));
        pump(120);
        closeUi();
    }
    running = false;
    audio.join();
    EXPECT_GT(blocks.load(), 10);
}

// A drag on a knob is one gesture: the host hears the touch begin before the
// knob's first write and end after its last.
TEST_F(Lv2UiTest, KnobDragIsOneTouchAroundItsWrites)
{
    ASSERT_TRUE(openUi(true));
    writes.clear();
    touches.clear();
    act([](User& user) {
        user.move(80, 193); // the Transient knob
        user.press();
        for (int x = 80; x <= 280; x += 25)
            user.move(x, 193);
        user.pause(60);
        user.release();
    });
    ASSERT_GE(writesTo(kTransient).size(), 2u);
    ASSERT_EQ(touches.size(), 2u);
    EXPECT_EQ(touches[0].port, (uint32_t)kTransient);
    EXPECT_TRUE(touches[0].grabbed);
    EXPECT_EQ(touches[1].port, (uint32_t)kTransient);
    EXPECT_FALSE(touches[1].grabbed);
    EXPECT_EQ(touches[0].beforeWrite, 0u);
    EXPECT_EQ(touches[1].beforeWrite, writes.size());
}
