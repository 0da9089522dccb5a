// The automation a soak plays: timed events read from a text file, one a
// line, repeated every `loop` seconds of audio.
//
//   # comment
//   loop 20                       the events repeat every 20 s of audio
//   0     rate 192000             effSetSampleRate
//   0.5   set Drive 0.7           a parameter by name (or index) to a value
//   1     ramp Release 0.1 0.9 4  a parameter moved linearly over 4 s, every block
//   2     mains 0                 effMainsChanged (0 off, 1 on)
//   3     name Soak take          effSetProgramName
#pragma once

#include <string>
#include <vector>

namespace soak
{

struct AutomationEvent
{
    enum Kind
    {
        setParameter,
        rampParameter,
        sampleRate,
        mains,
        programName,
    };
    double time = 0.0; // seconds of audio from the start of the loop
    Kind kind = setParameter;
    std::string parameter; // name or index, resolved against the plug-in
    int index = -1;        // filled in by resolve
    float value = 0.0f;    // target, rate, or mains state
    float from = 0.0f;     // ramps: start value and length in seconds
    double seconds = 0.0;
    std::string text; // program name
};

class AutomationScript
{
public:
    // Parses the script text; on a malformed line returns false and names it.
    bool parse(const std::string& text, std::string& error);
    bool load(const std::string& path, std::string& error);

    // Gives every parameter event its index, from names answered by nameOf
    // (index -> name); false with a message for an unknown name.
    template <typename NameOf>
    bool resolve(NameOf nameOf, int count, std::string& error);

    const std::vector<AutomationEvent>& events() const { return list; }
    double loopSeconds() const { return loop; }

private:
    std::vector<AutomationEvent> list;
    double loop = 0.0;
};

template <typename NameOf>
bool AutomationScript::resolve(NameOf nameOf, int count, std::string& error)
{
    for (AutomationEvent& e : list)
    {
        if (e.kind != AutomationEvent::setParameter && e.kind != AutomationEvent::rampParameter)
            continue;
        e.index = -1;
        for (int i = 0; i < count && e.index < 0; ++i)
            if (nameOf(i) == e.parameter)
                e.index = i;
        if (e.index < 0 && !e.parameter.empty() && e.parameter.find_first_not_of("0123456789") == std::string::npos)
            e.index = std::stoi(e.parameter);
        if (e.index < 0 || e.index >= count)
        {
            error = "unknown parameter \"" + e.parameter + "\"";
            return false;
        }
    }
    return true;
}

} // namespace soak
