#include "presets/PresetFileFormat.h"

#include <cstring>

#include "effect/ParameterTable.h"

// The files hold one value per parameter: a new parameter changes the layout
// of every file, which must be a decision, not an accident.
static_assert(presetfile::kValueCount == kNumParams, "a file record holds one value per parameter");

namespace presetfile
{

const char* const kMessageCaption = "Error...";

namespace
{
const unsigned char kMagic[4] = {'v', 'z', 'D', 'Q'};
// Files written on a big-endian machine carry the identifier's bytes reversed.
const unsigned char kMagicReversed[4] = {'Q', 'D', 'z', 'v'};

void putFloat(std::vector<unsigned char>& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int b = 0; b < 4; ++b)
        out.push_back((unsigned char)(bits >> (8 * b)));
}

float getFloat(const unsigned char* in)
{
    const uint32_t bits = (uint32_t)in[0] | ((uint32_t)in[1] << 8) | ((uint32_t)in[2] << 16) | ((uint32_t)in[3] << 24);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

void putHeader(std::vector<unsigned char>& out, unsigned char type)
{
    out.insert(out.end(), kMagic, kMagic + 4);
    out.push_back(type);
}

// The name zero-padded to its 24 bytes, so no earlier name's characters
// travel behind its terminator (into files, and into hosts' sessions).
void putRecord(std::vector<unsigned char>& out, const ProgramData& program)
{
    size_t n = 0;
    while (n < (size_t)kNameLength && program.name[n])
        out.push_back((unsigned char)program.name[n++]);
    out.insert(out.end(), (size_t)kNameLength - n, 0);
    for (int j = 0; j < kValueCount; ++j)
        putFloat(out, program.values[j]);
}

// Header and length, in the order a reader meets them: magic, type, body.
FileCheck checkLayout(const unsigned char* bytes, size_t size, unsigned char type, size_t fileSize)
{
    if (!bytes || size < 4 || (std::memcmp(bytes, kMagic, 4) != 0 && std::memcmp(bytes, kMagicReversed, 4) != 0))
        return FileCheck::invalidFormat;
    if (size < kHeaderSize)
        return FileCheck::invalidFormat;
    if (bytes[4] != type)
        return type == kBankType ? FileCheck::notABank : FileCheck::notAPreset;
    // A short file would hand the programs values that were never in it.
    if (size < fileSize)
        return FileCheck::invalidFormat;
    return FileCheck::accepted;
}

// A NaN would pass any clamp unchanged and reach the engine: the record is refused.
bool recordHoldsNumbers(const unsigned char* record)
{
    for (int j = 0; j < kValueCount; ++j)
    {
        const float value = getFloat(record + kNameLength + 4 * j);
        if (value != value)
            return false;
    }
    return true;
}

void decodeRecord(const unsigned char* record, ProgramData& program)
{
    std::memset(program.name, 0, sizeof program.name);
    for (int i = 0; i < kNameLength && record[i]; ++i)
        program.name[i] = (char)record[i];
    for (int j = 0; j < kValueCount; ++j)
        program.values[j] = getFloat(record + kNameLength + 4 * j);
}
} // namespace

const char* messageFor(FileCheck check)
{
    switch (check)
    {
    case FileCheck::invalidFormat: return "Invalid file format!";
    case FileCheck::notABank: return "Not a bank file!";
    case FileCheck::notAPreset: return "Not a preset file!";
    case FileCheck::accepted: break;
    }
    return nullptr;
}

std::vector<unsigned char> encodePreset(const ProgramData& program)
{
    std::vector<unsigned char> out;
    out.reserve(kPresetFileSize);
    putHeader(out, kPresetType);
    putRecord(out, program);
    return out;
}

std::vector<unsigned char> encodeBank(const ProgramData programs[kBankProgramCount])
{
    std::vector<unsigned char> out;
    out.reserve(kBankFileSize);
    putHeader(out, kBankType);
    for (int i = 0; i < kBankProgramCount; ++i)
        putRecord(out, programs[i]);
    return out;
}

FileCheck decodePreset(const unsigned char* bytes, size_t size, ProgramData& program)
{
    const FileCheck check = checkLayout(bytes, size, kPresetType, kPresetFileSize);
    if (check != FileCheck::accepted)
        return check;
    const unsigned char* record = bytes + kHeaderSize;
    if (!recordHoldsNumbers(record))
        return FileCheck::invalidFormat;
    decodeRecord(record, program);
    return FileCheck::accepted;
}

FileCheck decodeBank(const unsigned char* bytes, size_t size, ProgramData programs[kBankProgramCount])
{
    const FileCheck check = checkLayout(bytes, size, kBankType, kBankFileSize);
    if (check != FileCheck::accepted)
        return check;
    for (int i = 0; i < kBankProgramCount; ++i)
        if (!recordHoldsNumbers(bytes + kHeaderSize + i * kRecordSize))
            return FileCheck::invalidFormat;
    for (int i = 0; i < kBankProgramCount; ++i)
        decodeRecord(bytes + kHeaderSize + i * kRecordSize, programs[i]);
    return FileCheck::accepted;
}

} // namespace presetfile
