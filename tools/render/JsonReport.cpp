#include "tools/render/JsonReport.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <sys/stat.h>

#include "platform/ReplacementFile.h"

#include "tools/render/RenderResult.h"

namespace
{
// Strings as JSON wants them: quotes, backslashes and control bytes escaped.
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
    {
        const unsigned char byte = (unsigned char)c;
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (byte < 0x20 || byte == 0x7f)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        }
        else
            out += c;
    }
    return out + "\"";
}

std::string number(double value)
{
    if (!std::isfinite(value))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string figures(const LoudnessFigures& f)
{
    return "{\"samplePeakDb\": " + number(f.samplePeakDb) + ", \"truePeakDb\": " + number(f.truePeakDb) +
           ", \"integratedLufs\": " + number(f.integratedLufs) + ", \"rangeLu\": " + number(f.rangeLu) + "}";
}

std::string strings(const std::vector<std::string>& list)
{
    std::string out = "[";
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? ", " : "") + quoted(list[i]);
    return out + "]";
}

std::string failure(const std::string& code, const std::string& message)
{
    if (code.empty() && message.empty())
        return "null";
    return "{\"code\": " + quoted(code) + ", \"message\": " + quoted(message) + "}";
}

void writeFile(std::ostringstream& out, const FileResult& f)
{
    out << "    {\n";
    out << "      \"input\": " << quoted(f.inputPath) << ",\n";
    out << "      \"output\": " << (f.outputPath.empty() ? "null" : quoted(f.outputPath)) << ",\n";
    out << "      \"ok\": " << (f.failed ? "false" : "true") << ",\n";
    out << "      \"error\": " << (f.failed ? failure(f.errorCode, f.error) : "null") << ",\n";
    out << "      \"inputFormat\": " << quoted(f.inputFormat) << ",\n";
    out << "      \"outputFormat\": " << (f.outputPath.empty() ? "null" : quoted(f.outputFormat)) << ",\n";
    out << "      \"rate\": " << f.rate << ",\n";
    out << "      \"inputRate\": " << f.inputRate << ",\n";
    out << "      \"channels\": " << f.channels << ",\n";
    out << "      \"bits\": " << (f.outputBits > 0 && !f.outputPath.empty() ? std::to_string(f.outputBits) : "null")
        << ",\n";
    out << "      \"seconds\": " << number(f.seconds) << ",\n";
    out << "      \"settings\": [";
    for (size_t i = 0; i < f.parameters.size(); ++i)
    {
        const ParameterValue& p = f.parameters[i];
        out << (i ? ",\n" : "\n") << "        {\"name\": " << quoted(p.name) << ", \"value\": " << number(p.value)
            << ", \"display\": " << quoted(p.display) << ", \"unit\": " << quoted(p.unit)
            << ", \"setting\": " << quoted(p.setting) << ", \"unitValue\": " << number(p.unitValue) << "}";
    }
    out << (f.parameters.empty() ? "],\n" : "\n      ],\n");
    out << "      \"passes\": [";
    for (size_t i = 0; i < f.passes.size(); ++i)
    {
        const PassRecord& p = f.passes[i];
        out << (i ? ",\n" : "\n") << "        {\"number\": " << p.number
            << ", \"driveDb\": " << number(p.settings.driveDb) << ", \"outputDb\": " << number(p.settings.outputDb)
            << ", \"integratedLufs\": " << number(p.figures.integratedLufs)
            << ", \"truePeakDb\": " << number(p.figures.truePeakDb) << "}";
    }
    out << (f.passes.empty() ? "],\n" : "\n      ],\n");
    out << "      \"encodings\": [";
    for (size_t i = 0; i < f.encodings.size(); ++i)
    {
        const EncodingTry& e = f.encodings[i];
        out << (i ? ",\n" : "\n") << "        {\"number\": " << e.number << ", \"driveDb\": " << number(e.driveDb)
            << ", \"outputDb\": " << number(e.outputDb) << ", \"decoded\": " << figures(e.decoded)
            << ", \"reconstructedTruePeakDb\": " << number(e.reconstructedPeakDb) << "}";
    }
    out << (f.encodings.empty() ? "],\n" : "\n      ],\n");
    out << "      \"inputLevels\": " << (f.rate > 0 ? figures(f.input) : "null") << ",\n";
    // An analysis without a target has no output; with one, the levels of
    // the pass the search would take.
    const bool hasOutput = !f.failed && (!f.outputPath.empty() || f.searched);
    out << "      \"outputLevels\": " << (hasOutput ? figures(f.result) : "null") << ",\n";
    out << "      \"reconstructedTruePeakDb\": " << number(f.reconstructedPeakDb) << ",\n";
    const GainReductionReport& g = f.gainReduction;
    out << "      \"gainReduction\": ";
    if (!hasOutput || !g.unavailableReason.empty() || !g.figures.measured)
        out << "null,\n";
    else
        out << "{\"deepestDb\": " << number(g.figures.deepestDb) << ", \"averageDb\": " << number(g.figures.averageDb)
            << "},\n";
    out << "      \"targetMet\": " << (!f.searched ? "null" : f.failed ? "false" : "true") << ",\n";
    out << "      \"warnings\": " << strings(f.warnings) << "\n";
    out << "    }";
}
} // namespace

std::string jsonReport(const RunResult& run)
{
    std::ostringstream out;
    out << "{\n";
    out << "  \"version\": 1,\n";
    out << "  \"mode\": " << quoted(run.mode) << ",\n";
    out << "  \"status\": " << run.status << ",\n";
    out << "  \"error\": " << failure(run.errorCode, run.error) << ",\n";
    out << "  \"target\": {\"name\": " << (run.targetName.empty() ? "null" : quoted(run.targetName))
        << ", \"integratedLufs\": " << number(run.loudnessTarget) << ", \"truePeakDb\": " << number(run.truePeakTarget)
        << "},\n";
    out << "  \"files\": [";
    for (size_t i = 0; i < run.files.size(); ++i)
    {
        out << (i ? ",\n" : "\n");
        writeFile(out, run.files[i]);
    }
    out << (run.files.empty() ? "],\n" : "\n  ],\n");
    out << "  \"album\": ";
    if (run.album)
        out << "{\"inputLevels\": " << figures(run.albumInput) << ", \"outputLevels\": " << figures(run.albumResult)
            << "},\n";
    else
        out << "null,\n";
    out << "  \"seconds\": " << number(run.wallSeconds) << "\n";
    out << "}\n";
    return out.str();
}

bool writeJsonReport(const std::string& path, const RunResult& run, std::string& error)
{
    const std::string text = jsonReport(run);
    if (path == "-")
    {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        return true;
    }
    // A pipe or a terminal (process substitution, /dev/stdout) takes the
    // text as it comes; a file is replaced in one step, so that a full disk
    // leaves the last report whole instead of cut short.
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode))
    {
        std::FILE* stream = std::fopen(path.c_str(), "w");
        bool written = stream && std::fputs(text.c_str(), stream) >= 0;
        if (stream && std::fclose(stream) != 0)
            written = false;
        if (!written)
            error = "cannot write the report " + path;
        return written;
    }
    platform::ReplacementFile file(path.c_str());
    if (file.isOpen() && file.write(text.data(), text.size()) && file.commit())
        return true;
    error = "cannot write the report " + path + ": " + file.failure();
    return false;
}
