// Named deliveries for --target: the loudness and true-peak limits that
// streaming services, broadcasters and CD pressing plants ask for.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

struct DeliveryTarget
{
    const char* name;
    double loudnessLufs; // NAN: no loudness target, only the ceiling
    double truePeakDbtp;
    const char* description;
};

extern const DeliveryTarget kDeliveryTargets[];
extern const int kDeliveryTargetCount;

// The target with this name (case-insensitive), null when there is none.
const DeliveryTarget* findDeliveryTarget(const std::string& name);

void printDeliveryTargets(std::FILE* out);
