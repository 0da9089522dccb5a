#include "tools/render/DeliveryTargets.h"

#include <cctype>

const DeliveryTarget kDeliveryTargets[] = {
    {"streaming", -14.0, -1.0, "music streaming services"},
    {"streaming-quiet", -16.0, -1.0, "quieter streaming, podcasts and spoken word"},
    {"ebu-r128", -23.0, -1.0, "EBU R 128 broadcast"},
    {"atsc-a85", -24.0, -2.0, "ATSC A/85 broadcast (LKFS)"},
    {"cd", NAN, -0.3, "CD master: the ceiling only, loudness as the settings give it"},
};
const int kDeliveryTargetCount = (int)(sizeof kDeliveryTargets / sizeof kDeliveryTargets[0]);

const DeliveryTarget* findDeliveryTarget(const std::string& name)
{
    for (const DeliveryTarget& target : kDeliveryTargets)
    {
        std::string candidate = target.name;
        bool same = candidate.size() == name.size();
        for (size_t i = 0; same && i < name.size(); ++i)
            same = std::tolower((unsigned char)name[i]) == candidate[i];
        if (same)
            return &target;
    }
    return nullptr;
}

void printDeliveryTargets(std::FILE* out)
{
    std::fprintf(out, "%-16s %10s %10s  %s\n", "target", "loudness", "true peak", "for");
    for (const DeliveryTarget& target : kDeliveryTargets)
    {
        char loudness[32];
        if (std::isnan(target.loudnessLufs))
            std::snprintf(loudness, sizeof loudness, "-");
        else
            std::snprintf(loudness, sizeof loudness, "%.0f LUFS", target.loudnessLufs);
        std::fprintf(out, "%-16s %10s %5.1f dBTP  %s\n", target.name, loudness, target.truePeakDbtp,
                     target.description);
    }
}
