// The names by which LV2 hosts know the plug-in, its editor, its presets and
// the properties of its saved state. They are part of every saved session:
// never change them.
#pragma once

namespace lv2bundle
{

#define ZELVO_LV2_URI "urn:korvane:qdx-zelvo"

constexpr const char* kPluginUri = ZELVO_LV2_URI;
constexpr const char* kUiUri = ZELVO_LV2_URI "#editor";
// Factory program n is the preset kPresetUriPrefix followed by n (0 to 23).
constexpr const char* kPresetUriPrefix = ZELVO_LV2_URI ":program-";
// State: the 24 programs as the bytes of a bank file, the selected program,
// and (in the factory presets only) which factory program to apply.
constexpr const char* kProgramsKey = ZELVO_LV2_URI "#programs";
constexpr const char* kSelectedProgramKey = ZELVO_LV2_URI "#selectedProgram";
constexpr const char* kFactoryProgramKey = ZELVO_LV2_URI "#factoryProgram";

constexpr const char* kBinaryName = "qdx-zelvo.so";
constexpr const char* kPluginTtl = "qdx-zelvo.ttl";
constexpr const char* kPresetsTtl = "presets.ttl";

} // namespace lv2bundle
