// The editor as an LV2 X11 UI: the same editor the VST build opens, in the
// host's parent window, idled by the host. With instance access it is the
// running effect's own editor (meters, readouts, programs, files); without
// it, the editor of an effect of its own that processes no audio, whose
// parameter changes reach the running effect through the ports alone.
#include "lv2/Lv2Ui.h"

#include <lv2/instance-access/instance-access.h>

#include <cstring>
#include <memory>
#include <new>

#include "gui/EditorView.h"
#include "lv2/BundleIdentity.h"
#include "lv2/FindFeature.h"
#include "lv2/Lv2Plugin.h"
#include "lv2/PortTable.h"

namespace
{

struct UiInstance
{
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    HostedEffect* hosted = nullptr;
    std::unique_ptr<HostedEffect> ownEffect;
    EditorView* editor = nullptr;
    const LV2UI_Touch* touch = nullptr;
};

// A parameter the editor changed goes to the host as the port's value.
void writePort(void* context, int index, float normalised)
{
    auto* ui = static_cast<UiInstance*>(context);
    if (index < 0 || index >= lv2port::kControlCount || !ui->write)
        return;
    const float value = lv2port::toPortValue(index, normalised);
    ui->write(ui->controller, (uint32_t)index, sizeof value, 0, &value);
}

// A drag on a control: hosts that offer touch group its port writes.
void touchPort(void* context, int index, bool grabbed)
{
    auto* ui = static_cast<UiInstance*>(context);
    if (index < 0 || index >= lv2port::kControlCount || !ui->touch || !ui->touch->touch)
        return;
    ui->touch->touch(ui->touch->handle, (uint32_t)index, grabbed);
}

void cleanup(LV2UI_Handle handle)
{
    auto* ui = static_cast<UiInstance*>(handle);
    if (ui->editor)
        ui->editor->detach();
    if (ui->hosted)
        ui->hosted->setAutomationSink(nullptr, nullptr);
    delete ui;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function writeFunction, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
    if (!parent || !pluginUri || std::strcmp(pluginUri, lv2bundle::kPluginUri) != 0)
        return nullptr;
    UiInstance* ui = nullptr;
    try
    {
        ui = new UiInstance;
        ui->write = writeFunction;
        ui->controller = controller;
        ui->touch = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
        auto* running = static_cast<Lv2Instance*>(const_cast<void*>(findFeature(features, LV2_INSTANCE_ACCESS_URI)));
        EditorView* runningEditor = running ? &running->hosted.editor() : nullptr;
        // A second editor for one instance gets an effect of its own.
        if (runningEditor && !runningEditor->isAttached())
            ui->hosted = &running->hosted;
        else
        {
            ui->ownEffect = std::make_unique<HostedEffect>();
            ui->hosted = ui->ownEffect.get();
        }
    }
    catch (const std::bad_alloc&)
    {
        delete ui;
        return nullptr;
    }

    ui->editor = &ui->hosted->editor();
    ui->hosted->setAutomationSink(writePort, ui, touchPort);
    if (!ui->editor || !ui->editor->attach(parent))
    {
        ui->editor = nullptr;
        cleanup(ui);
        return nullptr;
    }
    int width = 0;
    int height = 0;
    ui->editor->getSize(width, height);
    if (const auto* resize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize)))
        if (resize->ui_resize)
            resize->ui_resize(resize->handle, width, height);
    if (widget)
        *widget = reinterpret_cast<LV2UI_Widget>(ui->editor->getNativeWindow());
    return ui;
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    auto* ui = static_cast<UiInstance*>(handle);
    if (format != 0 || size != sizeof(float) || !buffer || port >= (uint32_t)lv2port::kControlCount)
        return;
    // The running effect applies port values itself and moves its editor's
    // controls then; an effect of the editor's own learns them here.
    if (!ui->ownEffect)
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    Plugin& effect = ui->ownEffect->effect();
    if (value == lv2port::toPortValue((int)port, effect.getParameter((int)port)))
        return;
    effect.setParameter((int)port, lv2port::toNormalised((int)port, value));
}

int idle(LV2UI_Handle handle)
{
    auto* ui = static_cast<UiInstance*>(handle);
    if (!ui->editor || !ui->editor->isAttached())
        return 1;
    ui->editor->idle();
    return 0;
}

const void* extensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idleInterface = {idle};
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &idleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {lv2bundle::kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

const LV2UI_Descriptor* zelvoLv2UiDescriptor(uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
