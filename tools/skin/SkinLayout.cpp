#include "SkinLayout.h"

#include <cstring>
#include <stdexcept>

const std::vector<SkinLayout::Placement>& SkinLayout::placements()
{
    static const std::vector<Placement> all = {
        {"DetectorOrder", 139, 19, {44, 40, 77, 59}},
        {"Oversample", 140, 19, {81, 40, 114, 59}},
        {"MeterMode", 141, 56, {223, 305, 258, 361}},
        {"Quantize", 162, 19, {412, 40, 445, 59}},
        {"Autoblack", 163, 19, {449, 40, 482, 59}},
        {"Bits", 142, 19, {412, 78, 445, 97}},
        {"NoiseShape", 143, 19, {449, 78, 482, 97}},
        {"Calibrate", 145, 19, {269, 341, 302, 360}},
        {"AttZoom", 144, 19, {269, 265, 302, 284}},
        {"AttShow1", 164, 19, {224, 265, 257, 284}},
        {"AttShow2", 165, 19, {224, 230, 257, 249}},
        {"AttShow4", 166, 19, {269, 230, 302, 249}},
        {"Transient", 152, 48, {55, 169, 105, 217}},
        {"Release", 153, 47, {56, 267, 105, 314}},
        {"Leveller", 147, 47, {421, 169, 469, 216}},
        {"Link", 148, 47, {421, 267, 469, 314}},
        {"TransShape", 146, 25, {38, 121, 128, 146}},
        {"Power", 149, 35, {245, 400, 280, 435}},
        {"Drive", 150, 55, {52, 349, 108, 404}},
        {"Output", 151, 56, {417, 349, 475, 405}},
        {"AutoOut", 161, 24, {394, 368, 412, 392}},
        {"PostMeter", 161, 24, {116, 368, 134, 392}},
        {"MeterOvs", 160, 19, {269, 307, 302, 326}},
        {"TruePeakGuard", 168, 19, {81, 74, 114, 93}},
        {"SaveBank", 992, 14, {28, 447, 43, 461}},
        {"LoadBank", 991, 14, {81, 447, 96, 461}},
        {"SavePreset", 992, 14, {108, 447, 123, 461}},
        {"LoadPreset", 991, 14, {171, 447, 186, 461}},
        {"PresetStep", 997, 14, {332, 447, 364, 461}},
        {"StoreA", 992, 14, {382, 447, 397, 461}},
        {"RecallA", 991, 14, {415, 447, 430, 461}},
        {"StoreB", 992, 14, {446, 447, 461, 461}},
        {"RecallB", 991, 14, {480, 447, 495, 461}},
    };
    return all;
}

const SkinLayout::Placement& SkinLayout::placement(const char* name)
{
    for (const Placement& p : placements())
        if (std::strcmp(p.name, name) == 0)
            return p;
    throw std::runtime_error(std::string("no placement named ") + name);
}
