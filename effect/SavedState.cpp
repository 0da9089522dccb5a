#include "effect/SavedState.h"

#include <cstdint>
#include <cstring>

#include "effect/Plugin.h"
#include "presets/PresetFileFormat.h"

namespace savedstate
{

namespace
{
constexpr char kTag[8] = {'Q', 'D', 'X', 'Z', 's', 't', 'a', 't'};
constexpr uint32_t kVersion = 1;
constexpr size_t kBankOffset = sizeof kTag + 4;
constexpr size_t kSelectedOffset = kBankOffset + presetfile::kBankFileSize;
constexpr size_t kSize = kSelectedOffset + 4;

void putWord(unsigned char* bytes, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = (unsigned char)(word >> (8 * i));
}

uint32_t wordAt(const unsigned char* bytes)
{
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i)
        word |= (uint32_t)bytes[i] << (8 * i);
    return word;
}
} // namespace

std::vector<unsigned char> save(Plugin& effect)
{
    presetfile::ProgramData programs[presetfile::kBankProgramCount];
    for (int p = 0; p < presetfile::kBankProgramCount; ++p)
    {
        const CProgram* program = effect.getProgramRecord(p);
        program->getName(programs[p].name);
        for (int i = 0; i < presetfile::kValueCount; ++i)
            programs[p].values[i] = program->getParameter(i);
    }
    const std::vector<unsigned char> bank = presetfile::encodeBank(programs);
    std::vector<unsigned char> bytes(kSize);
    std::memcpy(bytes.data(), kTag, sizeof kTag);
    putWord(&bytes[sizeof kTag], kVersion);
    std::memcpy(&bytes[kBankOffset], bank.data(), presetfile::kBankFileSize);
    putWord(&bytes[kSelectedOffset], (uint32_t)effect.getPresetIndex());
    return bytes;
}

bool restore(Plugin& effect, const unsigned char* bytes, size_t size)
{
    if (!bytes || size < kSize || std::memcmp(bytes, kTag, sizeof kTag) != 0 || wordAt(bytes + sizeof kTag) != kVersion)
        return false;
    const uint32_t selected = wordAt(bytes + kSelectedOffset);
    if (selected >= (uint32_t)kProgramCount)
        return false;
    presetfile::ProgramData programs[presetfile::kBankProgramCount];
    if (presetfile::decodeBank(bytes + kBankOffset, presetfile::kBankFileSize, programs) !=
        presetfile::FileCheck::accepted)
        return false;

    auto loadPrograms = [&] {
        for (int p = 0; p < kProgramCount; ++p)
        {
            CProgram* program = effect.getProgramRecord(p);
            program->setName(programs[p].name);
            for (int i = 0; i < presetfile::kValueCount; ++i)
                program->setParameter(i, programs[p].values[i]);
        }
    };
    loadPrograms();
    // Selecting makes the program current, and program 0 holds the values
    // that were live, which may have moved on from the selected program's;
    // both steps copy values between programs, so the saved ones go back.
    effect.selectPreset((int)selected);
    for (int i = 0; i < presetfile::kValueCount; ++i)
        effect.setParameter(i, programs[0].values[i]);
    loadPrograms();
    return true;
}

} // namespace savedstate
