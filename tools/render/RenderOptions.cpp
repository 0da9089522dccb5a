#include "tools/render/RenderOptions.h"

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <cmath>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "tools/render/AudioFile.h"
#include "tools/render/DeliveryTargets.h"
#include "tools/render/Numbers.h"
#include "tools/render/SettingText.h"

const char* const kDemoDefaultOutput = "demo-master.wav";
const char* const kDemoDefaultProgram = "CD Master 1";

namespace
{
typedef bool (*OptionHandler)(RenderOptions& options, const std::string& argument, std::string& error);

struct OptionSpec
{
    const char* name;     // with its leading dashes
    const char* argument; // placeholder for the help text; null for a switch
    const char* help;
    OptionHandler apply;
};

bool setProgram(RenderOptions& o, const std::string& a, std::string&)
{
    o.program = a;
    return true;
}

bool addSetting(RenderOptions& o, const std::string& a, std::string& error)
{
    size_t equals = a.rfind('=');
    if (equals == std::string::npos || equals == 0)
    {
        error = "--set needs NAME=VALUE, got \"" + a + "\"";
        return false;
    }
    ParameterSetting setting;
    if (!readSetting(a.substr(0, equals), a.substr(equals + 1), setting, error))
        return false;
    o.settings.push_back(setting);
    return true;
}

bool setQuality(RenderOptions& o, const std::string& a, std::string& error)
{
    double q = 0.0;
    if (!parseNumber(a, q) || q < 0.0 || q > 10.0)
    {
        error = "--quality takes a number from 0 to 10 (Vorbis, Opus and MP3: 10 is the best sound; FLAC: 10 the "
                "smallest file), not \"" +
                a + "\"";
        return false;
    }
    o.quality = q / 10.0;
    return true;
}

bool setBits(RenderOptions& o, const std::string& a, std::string& error)
{
    if (a == "16")
        o.bits = OutputBits::pcm16;
    else if (a == "24")
        o.bits = OutputBits::pcm24;
    else if (a == "32")
        o.bits = OutputBits::pcm32;
    else if (a == "32f" || a == "32F")
        o.bits = OutputBits::float32;
    else
    {
        error = "--bits must be 16, 24, 32 or 32f, got \"" + a + "\"";
        return false;
    }
    return true;
}

bool setBlock(RenderOptions& o, const std::string& a, std::string& error)
{
    double n = 0.0;
    if (!parseNumber(a, n) || n != std::floor(n) || n < 1 || n > 65536)
    {
        error = "--block must be a whole number of frames from 1 to 65536, got \"" + a + "\"";
        return false;
    }
    o.blockSize = (int)n;
    return true;
}

bool setRate(RenderOptions& o, const std::string& a, std::string& error)
{
    double hz = 0.0;
    if (!parseNumber(a, hz) || hz != std::floor(hz) || hz < 5000 || hz > 200000)
    {
        error =
            "--rate must be a whole number of Hz from 5000 to 200000 (the rates the plug-in serves), got \"" + a + "\"";
        return false;
    }
    o.rate = (int)hz;
    return true;
}

bool setLoudness(RenderOptions& o, const std::string& a, std::string& error)
{
    double lufs = 0.0;
    if (!parseNumber(a, lufs) || lufs < -70.0 || lufs > 0.0)
    {
        error = "--loudness must be a loudness in LUFS from -70 to 0, got \"" + a + "\"";
        return false;
    }
    o.loudness = lufs;
    return true;
}

bool setTruePeak(RenderOptions& o, const std::string& a, std::string& error)
{
    double dbtp = 0.0;
    if (!parseNumber(a, dbtp) || dbtp < -60.0 || dbtp > 0.0)
    {
        error = "--true-peak must be a level in dBTP from -60 to 0, got \"" + a + "\"";
        return false;
    }
    o.truePeak = dbtp;
    return true;
}

bool setTarget(RenderOptions& o, const std::string& a, std::string&)
{
    o.target = a;
    return true;
}

bool setListTargets(RenderOptions& o, const std::string&, std::string&)
{
    o.listTargets = true;
    return true;
}

bool setOutDir(RenderOptions& o, const std::string& a, std::string& error)
{
    if (a.empty())
    {
        error = "--out-dir needs a folder";
        return false;
    }
    o.outDir = a;
    return true;
}

bool setFormat(RenderOptions& o, const std::string& a, std::string& error)
{
    std::string lower;
    for (char c : a)
        lower += (char)std::tolower((unsigned char)c);
    if (lower == "aif")
        lower = "aiff";
    const char* const known[] = {"wav", "aiff", "flac", "ogg", "oga", "opus", "mp3"};
    if (std::find(std::begin(known), std::end(known), lower) == std::end(known))
    {
        error = "--format must be wav, aiff, flac, ogg, oga, opus or mp3, got \"" + a + "\"";
        return false;
    }
    o.format = lower;
    return true;
}

bool setJobs(RenderOptions& o, const std::string& a, std::string& error)
{
    double n = 0.0;
    if (!parseNumber(a, n) || n != std::floor(n) || n < 1 || n > 256)
    {
        error = "--jobs must be a whole number from 1 to 256, got \"" + a + "\"";
        return false;
    }
    o.jobs = (int)n;
    return true;
}

bool setReport(RenderOptions& o, const std::string& a, std::string& error)
{
    if (a.empty())
    {
        error = "--report needs a file name, or - for standard output";
        return false;
    }
    o.reportPath = a;
    return true;
}

bool addTag(RenderOptions& o, const std::string& a, std::string& error)
{
    const size_t equals = a.find('=');
    AudioMetadata check;
    if (equals == std::string::npos || !check.set(a.substr(0, equals), ""))
    {
        error = "--tag needs NAME=VALUE with NAME title, artist, album, comment or date, got \"" + a + "\"";
        return false;
    }
    o.tags.emplace_back(a.substr(0, equals), a.substr(equals + 1));
    return true;
}

bool setAlbum(RenderOptions& o, const std::string&, std::string&)
{
    o.album = true;
    return true;
}

bool setPlugin(RenderOptions& o, const std::string& a, std::string&)
{
    o.pluginPath = a;
    return true;
}

bool setNoAlign(RenderOptions& o, const std::string&, std::string&)
{
    o.align = false;
    return true;
}

bool setDouble(RenderOptions& o, const std::string&, std::string&)
{
    o.useDouble = true;
    return true;
}

bool setDemo(RenderOptions& o, const std::string&, std::string&)
{
    o.demo = true;
    return true;
}

bool setAnalyse(RenderOptions& o, const std::string&, std::string&)
{
    o.analyse = true;
    return true;
}

bool setProgress(RenderOptions& o, const std::string&, std::string&)
{
    o.progress = true;
    return true;
}

bool setBench(RenderOptions& o, const std::string&, std::string&)
{
    o.bench = true;
    return true;
}

bool setListPrograms(RenderOptions& o, const std::string&, std::string&)
{
    o.listPrograms = true;
    return true;
}

bool setListParams(RenderOptions& o, const std::string&, std::string&)
{
    o.listParams = true;
    return true;
}

bool setHelp(RenderOptions& o, const std::string&, std::string&)
{
    o.help = true;
    return true;
}

const OptionSpec kOptionTable[] = {
    {"--program", "NAME|NUMBER", "apply a factory program by its name or number 0 to 23 (see --list-programs)",
     setProgram},
    {"--set", "NAME=VALUE",
     "set one parameter by its name, after the program: a value in its unit (Drive=+3dB, Release=150ms, "
     "\"L/R Link=50%\"), a step's text (NoiseShape=\"type C\", Bits=16) or a normalised number 0..1; "
     "repeatable (see --list-params)",
     addSetting},
    {"--preset-file", "FILE.qdx",
     "load a preset file into the selected program and apply it, before --set (as the plug-in's preset bar)",
     setPresetFileOption},
    {"--bank-file", "FILE.qdb",
     "load a bank file and apply its program 0, or the program --program names (number or name in the bank)",
     setBankFileOption},
    {"--save-preset", "FILE.qdx", "write the settings in effect (after programs, files and --set) as a preset file",
     setSavePresetOption},
    {"--save-bank", "FILE.qdb",
     "write a bank: the loaded bank or the factory set, with the settings in effect as program 0 and the selected "
     "program; without INPUT and OUTPUT the renderer only writes the files",
     setSaveBankOption},
    {"--bits", "16|24|32|32f",
     "output word length: 16, 24 or 32-bit integer, or 32-bit float; default: as the input. 16 and 24 bits (and "
     "8-bit input) are made by the plug-in's requantizer, with the program's dither and noise shaping, unless "
     "--set Quantize says otherwise or Power is off (a plain bypass)",
     setBits},
    {"--quality", "Q",
     "encoding quality 0..10 for .ogg/.oga (Vorbis), .opus and .mp3 (default 8), or FLAC's compression level; "
     "with a true-peak target an encoded delivery is decoded, measured and encoded again with a lower ceiling "
     "until it meets the target",
     setQuality},
    {"--rate", "HZ",
     "convert each input to this rate (libsoxr, very high quality) before mastering, so that limiting, true peak, "
     "loudness and dither happen at the delivery rate; a batch may mix input rates. An .opus output is "
     "converted to 48000 Hz unasked, the one rate Opus carries",
     setRate},
    {"--loudness", "LUFS",
     "master to this integrated loudness (EBU R 128, within 0.1 LU): searches the Drive, a few full passes "
     "through the plug-in, and writes the output only once the target is met",
     setLoudness},
    {"--true-peak", "DBTP",
     "keep the output's true peak at or under this level: sets the Output ceiling, with the plug-in's true-peak "
     "guard when it has one, else Oversample on and the ceiling lowered by the measured overshoot",
     setTruePeak},
    {"--target", "NAME", "a delivery target: its loudness and true peak (see --list-targets)", setTarget},
    {"--list-targets", nullptr, "list the delivery targets and exit", setListTargets},
    {"--out-dir", "DIR",
     "master every INPUT into DIR under its own name, in parallel; a summary table at the end; a file that fails "
     "does not stop the others",
     setOutDir},
    {"--format", "wav|aiff|flac|ogg|opus|mp3",
     "format of the files written to --out-dir (default: as each input); ogg/oga, opus and mp3 are encoded and "
     "verified as OUTPUT's extension would be",
     setFormat},
    {"--jobs", "N", "files or passes processed at once, one plug-in instance each (default: one per core)", setJobs},
    {"--album", nullptr,
     "with --out-dir and a target: one set of settings for all inputs, so that the album as a whole meets the "
     "loudness target, every track stays under the true-peak limit and the tracks keep their relative loudness",
     setAlbum},
    {"--tag", "NAME=VALUE",
     "set one tag of the output (title, artist, album, comment, date); the input's tags, and a WAV file's "
     "broadcast chunk, are kept where the output's container can hold them; repeatable",
     addTag},
    {"--report", "FILE.json|-",
     "also write a JSON report for scripts: per file the paths, format, settings, every pass, the levels in and "
     "out, whether the target was met, warnings and a stable error code (see the README); - writes it to standard "
     "output and the text report to standard error",
     setReport},
    {"--no-align", nullptr,
     "keep the plug-in's raw output, delayed by its latency, instead of lining it up with the input", setNoAlign},
    {"--double", nullptr, "process through the plug-in's 64-bit callback", setDouble},
    {"--block", "N", "frames per plug-in call, 1 to 65536 (default 512)", setBlock},
    {"--plugin", "PATH", "the plug-in library to load (default: QDXZelvo beside this program)", setPlugin},
    {"--demo", nullptr,
     "generate about 8 s of drums, bass and chords at 44.1 kHz, write it beside OUTPUT as OUTPUT-input "
     "(demo-master-input.wav) and master it (default OUTPUT demo-master.wav, default program \"CD Master 1\")",
     setDemo},
    {"--analyse", nullptr,
     "measure each INPUT... and write nothing: levels, loudness and range; with a target also the passes of the "
     "search and the settings it would use",
     setAnalyse},
    {"--progress", nullptr,
     "draw the progress lines on standard error even when it is not a terminal (they are drawn on a terminal "
     "anyway): frames done, pass and time left during each pass, encoding and decoding",
     setProgress},
    {"--bench", nullptr,
     "time the plug-in on INPUT (or on the demo signal with --demo); prints ns per stereo frame and the "
     "real-time factor; writes no file",
     setBench},
    {"--list-programs", nullptr, "list the factory programs and exit", setListPrograms},
    {"--list-params", nullptr,
     "list the parameters with their normalised values, display texts and the text --set takes (after --program "
     "and --set) and exit",
     setListParams},
    {"--help", nullptr, "show this text and exit", setHelp},
};

const OptionSpec* findOption(const std::string& name)
{
    for (const OptionSpec& entry : kOptionTable)
        if (name == entry.name)
            return &entry;
    if (name == "-h")
        return findOption("--help");
    return nullptr;
}
} // namespace

bool parseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string& error)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i)
    {
        std::string word = argv[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-')
        {
            options.positional.push_back(word);
            continue;
        }
        if (word == "--")
        {
            optionsEnded = true;
            continue;
        }
        std::string name = word, argument;
        bool inlineArgument = false;
        size_t equals = word.find('=');
        if (word.compare(0, 2, "--") == 0 && equals != std::string::npos)
        {
            name = word.substr(0, equals);
            argument = word.substr(equals + 1);
            inlineArgument = true;
        }
        const OptionSpec* entry = findOption(name);
        if (!entry)
        {
            error = "unknown option " + name + " (see --help)";
            return false;
        }
        if (entry->argument && !inlineArgument)
        {
            if (i + 1 >= argc)
            {
                error = name + " needs " + entry->argument;
                return false;
            }
            argument = argv[++i];
        }
        else if (!entry->argument && inlineArgument)
        {
            error = name + " takes no value";
            return false;
        }
        if (!entry->apply(options, argument, error))
            return false;
    }
    return true;
}

bool resolveDeliveryTarget(RenderOptions& options, std::string& error)
{
    if (options.target.empty())
        return true;
    const DeliveryTarget* target = findDeliveryTarget(options.target);
    if (!target)
    {
        error = "unknown target \"" + options.target + "\" (see --list-targets)";
        return false;
    }
    if (std::isnan(options.loudness))
        options.loudness = target->loudnessLufs;
    if (std::isnan(options.truePeak))
        options.truePeak = target->truePeakDbtp;
    return true;
}

bool searchesTarget(const RenderOptions& options)
{
    return !std::isnan(options.loudness) || !std::isnan(options.truePeak);
}

bool checkPositionalArguments(const RenderOptions& options, std::string& error)
{
    size_t count = options.positional.size();
    if (options.help || options.listPrograms || options.listParams || options.listTargets)
        return true;
    if (options.album && options.outDir.empty())
    {
        error = "--album needs --out-dir DIR and the album's files";
        return false;
    }
    if (options.album && !searchesTarget(options))
    {
        error = "--album needs a target: --loudness, --true-peak or --target";
        return false;
    }
    if (options.analyse)
    {
        if (!options.outDir.empty() || options.bench || options.demo || options.album || options.presetFiles.saves())
        {
            error = "--analyse takes INPUT files only; it does not combine with --out-dir, --album, --bench, --demo "
                    "or saving presets";
            return false;
        }
        if (count >= 1)
            return true;
        error = "--analyse needs at least one INPUT file";
        return false;
    }
    if (!options.outDir.empty())
    {
        if (options.bench || options.demo)
        {
            error = "--out-dir takes INPUT files; it does not combine with --bench or --demo";
            return false;
        }
        if (count >= 1)
            return true;
        error = "--out-dir needs at least one INPUT file";
        return false;
    }
    if (!options.format.empty())
    {
        error = "--format applies to --out-dir; a single OUTPUT takes its format from its extension";
        return false;
    }
    if (options.bench)
    {
        if (options.demo ? count == 0 : count == 1)
            return true;
        error = options.demo ? "--bench --demo takes no file" : "--bench needs one INPUT file (or --demo)";
        return false;
    }
    if (options.demo)
    {
        if (count <= 1)
            return true;
        error = "--demo takes at most one OUTPUT file";
        return false;
    }
    if (count == 2 || (count == 0 && options.presetFiles.saves()))
        return true;
    error = count < 2 ? "INPUT and OUTPUT files are needed (see --help)"
                      : "too many file arguments: " + options.positional[2];
    return false;
}

std::string renderHelpText()
{
    const size_t kHelpIndent = 26, kHelpWidth = 88;
    std::ostringstream text;
    text << "Usage: qdx-render [options] INPUT OUTPUT\n"
            "       qdx-render [options] --out-dir DIR INPUT...\n"
            "       qdx-render --demo [options] [OUTPUT]\n"
            "       qdx-render --analyse [options] INPUT...\n"
            "       qdx-render --bench [options] INPUT | --bench --demo [options]\n"
            "\n"
            "Masters an audio file with the QDX Zelvo plug-in, loaded as a VST 2.4 host loads it.\n"
            "Reads and writes WAV, AIFF, FLAC and the other formats of libsndfile; the output\n"
            "format follows OUTPUT's extension (else the input's), the word length follows the\n"
            "input unless --bits says otherwise. Mono files are processed as mono; files with more\n"
            "than two channels are refused. The plug-in's latency is compensated: the output lines\n"
            "up with the input sample for sample.\n"
            "\nOptions:\n";
    for (const OptionSpec& entry : kOptionTable)
    {
        std::string head = std::string("  ") + entry.name + (entry.argument ? std::string(" ") + entry.argument : "");
        text << head;
        if (head.size() < kHelpIndent)
            text << std::string(kHelpIndent - head.size(), ' ');
        else
            text << "\n" << std::string(kHelpIndent, ' ');
        // Word-wrapped into the column right of the option names.
        std::istringstream words(entry.help);
        std::string word;
        size_t column = kHelpIndent;
        bool first = true;
        while (words >> word)
        {
            if (!first && column + 1 + word.size() > kHelpWidth)
            {
                text << "\n" << std::string(kHelpIndent, ' ');
                column = kHelpIndent;
                first = true;
            }
            text << (first ? "" : " ") << word;
            column += (first ? 0 : 1) + word.size();
            first = false;
        }
        text << "\n";
    }
    text << "\nWithout --program the plug-in keeps its start-up program 0 \"Current\".\n"
            "\nThe report after rendering gives, for input and output, the sample peak (dBFS), the\n"
            "true peak (dBTP), the integrated loudness (LUFS) and the loudness range (LU), and the\n"
            "gain reduction. The gain reduction is an estimate made by this host from what it can\n"
            "see: per sample, the output divided by the input scaled by the Drive and Output gains\n"
            "read back from the plug-in, on samples above -30 dBFS, held per 1024 frames. It\n"
            "includes the leveller and reads slightly low where the plug-in requantizes.\n"
            "\nWith a target the Drive is searched from the program's settings (AutoOut is switched\n"
            "off, so that the Output gain is the ceiling); each pass is reported, then the report of\n"
            "the pass that met the target and the settings used. A target that cannot be met (beyond\n"
            "the Drive or Output range, a silent input, a file too short to measure) ends with a\n"
            "message, exit status 1 and no output file.\n"
            "\nExit status: 0 on success, 1 when a file cannot be read or written, the plug-in\n"
            "cannot be loaded or a target cannot be met (with --out-dir: for any of the files),\n"
            "2 for a wrong command line (unknown option, program, parameter or target).\n";
    return text.str();
}
