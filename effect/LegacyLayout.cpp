#include "effect/LegacyLayout.h"

static_assert(kParameterTable[kLayoutMarker].defaultValue == kCurrentLayoutMark,
              "a new instance and a new program carry the mark of the current layout");

bool isLegacyLayoutMark(float marker) { return stepIndex(marker, 100) == 0; }

void convertLegacyLayout(float (&values)[kNumParams])
{
    values[kAutoblack] = stepValue(0, 2);
    const int bits = stepIndex(values[kBits], 4);
    values[kQuantize] = stepValue(bits != 0 ? 1 : 0, 2);
    values[kBits] = stepValue(bits != 0 ? bits - 1 : 1, 3);
    values[kAttShow] = stepValue(7, 8);
    values[kAttZoom] = stepValue(0, 2);
    values[kPostMeter] = stepValue(1, 2);
    const int scale = stepIndex(values[kScale], 4);
    values[kMeterType] = stepValue(scale == 0 ? 0 : 1, 2);
    values[kScale] = stepValue(scale == 0 ? 1 : scale - 1, 3);
    values[kLayoutMarker] = kCurrentLayoutMark;
}
