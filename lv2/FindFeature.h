// The data of the host feature with the given URI, or null: the plug-in and
// its editor both look up what the host offers in the same null-terminated
// list.
#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

inline const void* findFeature(const LV2_Feature* const* features, const char* uri)
{
    for (int i = 0; features && features[i]; ++i)
        if (features[i]->URI && std::strcmp(features[i]->URI, uri) == 0)
            return features[i]->data;
    return nullptr;
}
