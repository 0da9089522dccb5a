#include "tools/soak/AutomationScript.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace soak
{

bool AutomationScript::parse(const std::string& text, std::string& error)
{
    list.clear();
    loop = 0.0;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line))
    {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string first;
        if (!(words >> first))
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (first == "loop")
        {
            if (!(words >> loop) || loop <= 0.0)
            {
                error = where + "loop needs a positive number of seconds";
                return false;
            }
            continue;
        }
        AutomationEvent e;
        std::string kind;
        try
        {
            e.time = std::stod(first);
        }
        catch (...)
        {
            error = where + "a line starts with its time in seconds";
            return false;
        }
        if (!(words >> kind))
        {
            error = where + "nothing to do at " + first + " s";
            return false;
        }
        bool ok = true;
        if (kind == "set" || kind == "ramp")
        {
            // Parameter names may hold spaces ("L/R Link"): the numbers are
            // the last words, the name is everything before them.
            std::vector<std::string> rest;
            std::string word;
            while (words >> word)
                rest.push_back(word);
            const size_t numbers = kind == "set" ? 1 : 3;
            ok = rest.size() > numbers;
            if (ok)
            {
                try
                {
                    const size_t first = rest.size() - numbers;
                    for (size_t i = 0; i < first; ++i)
                        e.parameter += (i ? " " : "") + rest[i];
                    e.value = std::stof(rest[rest.size() - (kind == "set" ? 1 : 2)]);
                    if (kind == "ramp")
                    {
                        e.from = std::stof(rest[first]);
                        e.seconds = std::stod(rest[first + 2]);
                        ok = e.seconds > 0.0;
                    }
                }
                catch (...)
                {
                    ok = false;
                }
            }
            e.kind = kind == "set" ? AutomationEvent::setParameter : AutomationEvent::rampParameter;
        }
        else if (kind == "rate")
        {
            e.kind = AutomationEvent::sampleRate;
            ok = (bool)(words >> e.value);
        }
        else if (kind == "mains")
        {
            e.kind = AutomationEvent::mains;
            ok = (bool)(words >> e.value);
        }
        else if (kind == "name")
        {
            e.kind = AutomationEvent::programName;
            std::getline(words >> std::ws, e.text);
            ok = !e.text.empty();
        }
        else
        {
            error = where + "unknown action \"" + kind + "\" (set, ramp, rate, mains, name)";
            return false;
        }
        if (!ok || e.time < 0.0)
        {
            error = where + "malformed \"" + kind + "\"";
            return false;
        }
        list.push_back(e);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const AutomationEvent& a, const AutomationEvent& b) { return a.time < b.time; });
    return true;
}

bool AutomationScript::load(const std::string& path, std::string& error)
{
    std::ifstream file(path);
    if (!file)
    {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    return parse(text.str(), error);
}

} // namespace soak
