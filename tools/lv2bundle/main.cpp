// Writes the Turtle files of the LV2 bundle from the parameter rows and the
// factory programs, so that nothing the plug-in knows is typed twice:
//   manifest.ttl   the plug-in, its editor and its presets, for discovery
//   qdx-zelvo.ttl  the ports with ranges, defaults, units and step texts
//   presets.ttl    the 24 factory programs as presets
// Usage: zelvo_lv2_bundle_generator --out DIR
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "lv2/BundleIdentity.h"
#include "lv2/PortTable.h"
#include "presets/FactoryPresets.h"

namespace
{

const char* const kPrefixes = "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix owl:   <http://www.w3.org/2002/07/owl#> .\n"
                              "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
                              "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
                              "@prefix xsd:   <http://www.w3.org/2001/XMLSchema#> .\n\n";

// A float as a Turtle number that reads back as the same float.
std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", (double)value);
    std::string s = text;
    // "5" is an integer literal and "1e-05" a double; both are fine for
    // lv2:default, but a decimal point keeps every port value a decimal.
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string quoted(const std::string& text)
{
    std::string s = "\"";
    for (char c : text)
    {
        if (c == '"' || c == '\\')
            s += '\\';
        s += c;
    }
    return s + "\"";
}

std::string uri(const std::string& u) { return "<" + u + ">"; }

const char* unitUri(lv2port::Unit unit)
{
    switch (unit)
    {
    case lv2port::Unit::decibel: return "units:db";
    case lv2port::Unit::milliseconds: return "units:ms";
    case lv2port::Unit::percent: return "units:pc";
    default: return nullptr;
    }
}

std::string presetUri(int program) { return std::string(lv2bundle::kPresetUriPrefix) + std::to_string(program); }

std::string manifest()
{
    std::ostringstream out;
    out << kPrefixes;
    out << uri(lv2bundle::kPluginUri) << "\n    a lv2:Plugin ;\n    lv2:binary <" << lv2bundle::kBinaryName
        << "> ;\n    rdfs:seeAlso <" << lv2bundle::kPluginTtl << "> .\n\n";
    out << uri(lv2bundle::kUiUri) << "\n    a ui:X11UI ;\n    ui:binary <" << lv2bundle::kBinaryName
        << "> ;\n    rdfs:seeAlso <" << lv2bundle::kPluginTtl << "> .\n";
    for (int p = 0; p < kFactoryPresetCount; ++p)
    {
        out << "\n"
            << uri(presetUri(p)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(lv2bundle::kPluginUri)
            << " ;\n    rdfs:seeAlso <" << lv2bundle::kPresetsTtl << "> .\n";
    }
    return out.str();
}

void controlPort(std::ostringstream& out, int index)
{
    using namespace lv2port;
    const ParameterInfo& info = kParameterTable[index];
    const float defaultValue = toPortValue(index, info.defaultValue);
    out << "        a lv2:InputPort , lv2:ControlPort ;\n";
    out << "        lv2:index " << index << " ;\n";
    out << "        lv2:symbol \"" << kSymbols[index] << "\" ;\n";
    out << "        lv2:name " << quoted(info.name) << " ;\n";
    if (isStepped(index))
    {
        out << "        lv2:default " << (int)defaultValue << " ;\n";
        out << "        lv2:minimum 0 ;\n";
        out << "        lv2:maximum " << (int)maximum(index) << " ;\n";
        out << "        lv2:portProperty lv2:integer , " << (isToggle(index) ? "lv2:toggled" : "lv2:enumeration")
            << " ;\n";
        out << "        lv2:scalePoint";
        for (int step = 0; step < info.steps; ++step)
            out << (step ? " , " : " ") << "[ rdfs:label " << quoted(stepText(index, step)) << " ; rdf:value " << step
                << " ]";
        out << " ;\n";
    }
    else
    {
        out << "        lv2:default " << number(defaultValue) << " ;\n";
        out << "        lv2:minimum " << number(minimum(index)) << " ;\n";
        out << "        lv2:maximum " << number(maximum(index)) << " ;\n";
        if (isLogarithmic(index))
            out << "        lv2:portProperty pprop:logarithmic ;\n";
    }
    if (const char* unitName = unitUri(unit(index)))
        out << "        units:unit " << unitName << " ;\n";
}

std::string pluginDescription()
{
    using namespace lv2port;
    std::ostringstream out;
    out << kPrefixes;
    out << uri(lv2bundle::kPluginUri) << "\n";
    out << "    a lv2:Plugin , lv2:LimiterPlugin ;\n";
    out << "    doap:name \"QDX Zelvo\" ;\n";
    out << "    rdfs:comment \"Full band precision limiter\" ;\n";
    out << "    lv2:minorVersion 0 ;\n    lv2:microVersion 1 ;\n";
    out << "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n";
    out << "    lv2:extensionData state:interface ;\n";
    out << "    ui:ui " << uri(lv2bundle::kUiUri) << " ;\n";
    out << "    lv2:port [\n";
    for (int index = 0; index < kControlCount; ++index)
    {
        controlPort(out, index);
        out << "    ] , [\n";
    }
    const char* const audioSymbols[] = {"in_l", "in_r", "out_l", "out_r"};
    const char* const audioNames[] = {"Input L", "Input R", "Output L", "Output R"};
    for (int a = 0; a < 4; ++a)
    {
        out << "        a " << (a < 2 ? "lv2:InputPort" : "lv2:OutputPort") << " , lv2:AudioPort ;\n";
        out << "        lv2:index " << kInputLeft + a << " ;\n";
        out << "        lv2:symbol \"" << audioSymbols[a] << "\" ;\n";
        out << "        lv2:name \"" << audioNames[a] << "\" ;\n";
        out << "    ] , [\n";
    }
    out << "        a lv2:OutputPort , lv2:ControlPort ;\n";
    out << "        lv2:index " << kLatency << " ;\n";
    out << "        lv2:symbol \"latency\" ;\n";
    out << "        lv2:name \"Latency\" ;\n";
    out << "        lv2:minimum 0 ;\n        lv2:maximum 543 ;\n";
    out << "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n";
    out << "        units:unit units:frame ;\n";
    out << "    ] .\n\n";

    // The properties of the saved state and of the presets' state.
    const struct
    {
        const char* key;
        const char* label;
        const char* range;
        const char* comment;
    } properties[] = {
        {lv2bundle::kProgramsKey, "programs", "atom:Chunk",
         "The 24 programs with their names, as the bytes of a bank file."},
        {lv2bundle::kSelectedProgramKey, "selected program", "atom:Int",
         "The program chosen in the preset bar, 0 to 23."},
        {lv2bundle::kFactoryProgramKey, "factory program", "atom:Int",
         "A factory program, 0 to 23, chosen with the values it left the factory with."},
    };
    for (const auto& p : properties)
    {
        out << uri(p.key) << "\n    a rdf:Property , owl:DatatypeProperty ;\n    rdfs:label \"" << p.label
            << "\" ;\n    rdfs:range " << p.range << " ;\n    rdfs:comment \"" << p.comment << "\" .\n\n";
    }

    out << uri(lv2bundle::kUiUri) << "\n";
    out << "    a ui:X11UI ;\n";
    out << "    lv2:requiredFeature ui:parent ;\n";
    out << "    lv2:optionalFeature ui:resize , ui:noUserResize , ui:idleInterface , ui:touch , urid:map ,\n";
    out << "        <http://lv2plug.in/ns/ext/instance-access> ;\n";
    out << "    lv2:extensionData ui:idleInterface .\n";
    return out.str();
}

std::string presets()
{
    using namespace lv2port;
    std::ostringstream out;
    out << kPrefixes;
    for (int p = 0; p < kFactoryPresetCount; ++p)
    {
        const FactoryPreset& preset = kFactoryPresets[p];
        out << uri(presetUri(p)) << "\n";
        out << "    a pset:Preset ;\n";
        out << "    lv2:appliesTo " << uri(lv2bundle::kPluginUri) << " ;\n";
        out << "    rdfs:label " << quoted(preset.name) << " ;\n";
        out << "    lv2:port";
        for (int index = 0; index < kControlCount; ++index)
        {
            const float value = toPortValue(index, (float)preset.values[index]);
            out << (index ? " , " : " ") << "[\n        lv2:symbol \"" << kSymbols[index] << "\" ;\n        pset:value "
                << number(value) << "\n    ]";
        }
        out << " ;\n";
        // The port values are rounded to engineering units; the program
        // number lets the plug-in apply the exact values of the program.
        out << "    state:state [\n        " << uri(lv2bundle::kFactoryProgramKey) << " \"" << p
            << "\"^^xsd:int\n    ] .\n\n";
    }
    return out.str();
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
    {
        std::fprintf(stderr, "zelvo_lv2_bundle_generator: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--out") != 0)
    {
        std::fprintf(stderr, "Usage: %s --out DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[2];
    const bool written = writeFile(dir + "/manifest.ttl", manifest()) &&
                         writeFile(dir + "/" + lv2bundle::kPluginTtl, pluginDescription()) &&
                         writeFile(dir + "/" + lv2bundle::kPresetsTtl, presets());
    return written ? 0 : 1;
}
