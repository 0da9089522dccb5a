#pragma once

#include <lv2/ui/ui.h>

const LV2UI_Descriptor* zelvoLv2UiDescriptor(uint32_t index);
