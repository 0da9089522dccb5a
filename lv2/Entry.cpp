// The bundle's binary exports the plug-in's and the editor's descriptors and
// nothing else.
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Ui.h"

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return zelvoLv2Descriptor(index);
}

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return zelvoLv2UiDescriptor(index);
}
