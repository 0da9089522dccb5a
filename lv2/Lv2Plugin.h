// One LV2 instance of the effect: the ports the host connected, the port
// values last seen, and the URIDs of the saved state's properties.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include "editor/HostedEffect.h"
#include "lv2/PortTable.h"

struct Lv2Instance
{
    Lv2Instance();

    HostedEffect hosted;
    const float* controls[lv2port::kControlCount] = {};
    float lastSeen[lv2port::kControlCount];
    float* inputs[2] = {};
    float* outputs[2] = {};
    float* latency = nullptr;
    bool resetPending = true;

    const LV2_URID_Map* map = nullptr;
    struct
    {
        LV2_URID programs = 0;
        LV2_URID selectedProgram = 0;
        LV2_URID factoryProgram = 0;
        LV2_URID chunk = 0;
        LV2_URID atomInt = 0;
        LV2_URID atomLong = 0;
    } uris;
};

const LV2_Descriptor* zelvoLv2Descriptor(uint32_t index);
