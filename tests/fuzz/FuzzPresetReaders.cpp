// Fuzzes the preset and bank readers on a real effect. Every byte string is
// given to both readers; each must either reject it with exactly one of its
// three messages and leave every program, the selection and the live
// parameters as they were, or accept it, hold exactly the file's names and
// clamped values, and write it back as a canonical file that reads back to
// itself. Every input also serves as a good file that a save with a writer
// failing part-way must leave intact.
//
// With ZELVO_FUZZ_SEEDS=<directory> the program writes a seed corpus of valid
// files there and exits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effect/LegacyLayout.h"
#include "effect/Plugin.h"
#include "platform/ReplacementFile.h"
#include "presets/PresetFileAccess.h"
#include "presets/FileErrorReporter.h"
#include "presets/PresetFileFormat.h"
#include "presets/PresetFileOperations.h"

using namespace presetfile;
using Bytes = std::vector<unsigned char>;

namespace
{
void fail(const char* what)
{
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what)
{
    if (!condition)
        fail(what);
}

Plugin& effect()
{
    // One instance for the whole run: construction is far slower than a read.
    static Plugin* plugin = new Plugin(nullptr);
    return *plugin;
}

struct State
{
    Bytes bank;
    int selected;
    float live[26];
};

State state(Plugin& plugin)
{
    State s;
    s.bank = bankBytes(plugin);
    s.selected = plugin.getPresetIndex();
    for (int j = 0; j < 26; ++j)
        s.live[j] = plugin.getParameter(j);
    return s;
}

bool sameState(const State& a, const State& b)
{
    return a.bank == b.bank && a.selected == b.selected && std::memcmp(a.live, b.live, sizeof a.live) == 0;
}

uint32_t bitsOf(float v)
{
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

float fileValue(const uint8_t* record, int j)
{
    const uint8_t* p = record + kNameLength + 4 * j;
    const uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

// The program must hold the record's name up to its first zero and its
// values clamped to [0, 1], converted once when they are of the older
// layout; the live parameters then follow the program.
void checkProgramHoldsRecord(Plugin& plugin, int index, const uint8_t* record)
{
    const CProgram* program = plugin.getProgramRecord(index);
    check(program != nullptr, "program exists");
    const std::string expectedName(reinterpret_cast<const char*>(record), strnlen((const char*)record, kNameLength));
    check(expectedName == program->name(), "name taken up to the first zero byte");
    float expected[kNumParams];
    for (int j = 0; j < 26; ++j)
    {
        float v = fileValue(record, j);
        check(v == v, "accepted file holds no NaN");
        expected[j] = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    }
    if (isLegacyLayoutMark(expected[kLayoutMarker]))
        convertLegacyLayout(expected);
    for (int j = 0; j < 26; ++j)
        check(bitsOf(program->getParameter(j)) == bitsOf(expected[j]), "value clamped into the program");
    check(!isLegacyLayoutMark(program->getParameter(kLayoutMarker)), "programs are stored in the current layout");
}

void checkRejected(FileResult result, const RecordingFileErrorReporter& reporter, const State& before, Plugin& plugin)
{
    check(result == FileResult::rejected, "a file is accepted or rejected");
    check(reporter.messages.size() == 1, "exactly one message");
    const std::string& text = reporter.messages[0].text;
    check(reporter.messages[0].caption == "Error...", "caption");
    check(text == "Invalid file format!" || text == "Not a bank file!" || text == "Not a preset file!",
          "one of the three messages");
    check(sameState(before, state(plugin)), "a rejected file changes nothing");
}

void fuzzBank(Plugin& plugin, const uint8_t* data, size_t size)
{
    const State before = state(plugin);
    RecordingFileErrorReporter reporter;
    const FileResult result = loadBankBytes(plugin, data, size, reporter);
    if (result != FileResult::done)
        return checkRejected(result, reporter, before, plugin);
    check(reporter.messages.empty(), "no message for an accepted bank");
    check(size >= kBankFileSize, "only a complete bank is accepted");
    check(plugin.getPresetIndex() == 0, "a bank selects program 0");
    for (int i = 0; i < kBankProgramCount; ++i)
        checkProgramHoldsRecord(plugin, i, data + kHeaderSize + i * kRecordSize);
    // Program 0 is applied exactly as stored.
    for (int j = 0; j < 22; ++j)
        check(bitsOf(plugin.getParameter(j)) == bitsOf(plugin.getProgramRecord(0)->getParameter(j)),
              "program 0 is live");

    const Bytes canonical = bankBytes(plugin);
    check(canonical.size() == kBankFileSize, "bank size");
    check(loadBankBytes(plugin, canonical.data(), canonical.size(), reporter) == FileResult::done,
          "canonical bank reads");
    check(bankBytes(plugin) == canonical, "canonical bank reads back to itself");
}

void fuzzPreset(Plugin& plugin, const uint8_t* data, size_t size)
{
    const State before = state(plugin);
    const int selected = plugin.getPresetIndex();
    RecordingFileErrorReporter reporter;
    const FileResult result = loadPresetBytes(plugin, data, size, reporter);
    if (result != FileResult::done)
        return checkRejected(result, reporter, before, plugin);
    check(reporter.messages.empty(), "no message for an accepted preset");
    check(size >= kPresetFileSize, "only a complete preset is accepted");
    check(plugin.getPresetIndex() == selected, "the selection stays");
    checkProgramHoldsRecord(plugin, selected, data + kHeaderSize);
    checkProgramHoldsRecord(plugin, 0, data + kHeaderSize);
    // Only the selected program (and its working copy, program 0) changed.
    const Bytes after = bankBytes(plugin);
    for (int i = 1; i < kBankProgramCount; ++i)
        if (i != selected)
            check(std::memcmp(&after[kHeaderSize + i * kRecordSize + kNameLength],
                              &before.bank[kHeaderSize + i * kRecordSize + kNameLength], 4 * 26) == 0,
                  "other programs unchanged");

    const Bytes canonical = presetBytes(plugin);
    check(canonical.size() == kPresetFileSize, "preset size");
    check(loadPresetBytes(plugin, canonical.data(), canonical.size(), reporter) == FileResult::done,
          "canonical preset reads");
    check(presetBytes(plugin) == canonical, "canonical preset reads back to itself");
}

// A disk that takes a number of bytes and then fails, as a full one does.
class FailingWriter : public FileByteWriter
{
public:
    explicit FailingWriter(size_t budget) : budget(budget) {}
    bool write(platform::ReplacementFile& file, const unsigned char* bytes, size_t size) override
    {
        const size_t now = size < budget ? size : budget;
        budget -= now;
        return file.write(bytes, now) && now == size;
    }

private:
    size_t budget;
};

Bytes readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Saving over a good file with a writer that fails after k bytes (k from the
// input) must leave that file byte for byte as it was, leave no other file
// and report the failure; with room for every byte the save completes.
void fuzzFailingSave(Plugin& plugin, const uint8_t* data, size_t size)
{
    struct Folder
    {
        Folder()
        {
            // In memory where the system offers it: a save per input must not
            // slow the fuzzing down to the pace of a disk.
            std::error_code error;
            const std::string base = std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
            std::string pattern = base + "/zelvo-fuzz-save-XXXXXX";
            if (!mkdtemp(pattern.data()))
                fail("a folder for the saves");
            path = pattern;
        }
        ~Folder()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::string path;
    };
    static const Folder scratch;
    const std::string& folder = scratch.path;
    const std::string path = folder + "/target";
    const Bytes good(data, data + size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
    }
    const bool bank = size % 2 == 0;
    const size_t fileSize = bank ? kBankFileSize : kPresetFileSize;
    // Every point of failure, from the first byte to none at all, chosen by
    // a hash of the whole input.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    const size_t budget = hash % (fileSize + 1);
    RecordingFileErrorReporter reporter;
    FailingWriter writer(budget);
    const FileResult result =
        bank ? saveBank(plugin, path.c_str(), reporter, &writer) : savePreset(plugin, path.c_str(), reporter, &writer);
    if (budget < fileSize)
    {
        check(result == FileResult::notSaved, "a failed save is reported as failed");
        check(reporter.messages.size() == 1 && reporter.messages[0].text == kSaveFailedMessage,
              "a failed save shows one message");
        check(readWhole(path) == good, "a failed save leaves the old file as it was");
    }
    else
    {
        check(result == FileResult::done && reporter.messages.empty(), "a save with room completes");
        check(readWhole(path) == (bank ? bankBytes(plugin) : presetBytes(plugin)), "the save wrote the file");
    }
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        entries += entry.path().filename() == "target" ? 0 : 1;
    check(entries == 0, "no partial copy stays behind");
}

void writeSeed(const std::string& directory, const std::string& name, const Bytes& bytes)
{
    const std::string path = directory + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// Valid files made by the writers themselves: the factory bank in both byte
// orders of the magic, every factory program as a preset, and a few edited ones.
void writeSeeds(const std::string& directory)
{
    Plugin plugin(nullptr);
    Bytes bank = bankBytes(plugin);
    writeSeed(directory, "factory.qdb", bank);
    std::memcpy(bank.data(), "QDzv", 4);
    writeSeed(directory, "factory-reversed.qdb", bank);
    for (int i = 0; i < kBankProgramCount; ++i)
    {
        plugin.selectPreset(i);
        writeSeed(directory, "program" + std::to_string(i) + ".qdx", presetBytes(plugin));
    }
    plugin.selectPreset(10);
    plugin.renamePreset("Twenty-four characters!!");
    plugin.setParameter(kDrive, 1.0f);
    plugin.setParameter(kLayoutMarker, 0.0f); // an older layout's marker
    writeSeed(directory, "edited.qdx", presetBytes(plugin));
    writeSeed(directory, "edited.qdb", bankBytes(plugin));
    Bytes preset = presetBytes(plugin);
    std::memcpy(preset.data(), "QDzv", 4);
    writeSeed(directory, "edited-reversed.qdx", preset);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* seeds = std::getenv("ZELVO_FUZZ_SEEDS"))
    {
        writeSeeds(seeds);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Plugin& plugin = effect();
    // The same starting point for every input, so that a finding reproduces
    // from its bytes alone; the last byte picks the program a preset lands in.
    plugin.loadFactoryPresets();
    plugin.selectPreset(size ? data[size - 1] % kBankProgramCount : 0);
    fuzzPreset(plugin, data, size);
    fuzzBank(plugin, data, size);
    fuzzFailingSave(plugin, data, size);
    return 0;
}
