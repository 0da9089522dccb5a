// The byte layouts of the preset file (.qdx, one program) and the bank file
// (.qdb, all 24 programs), as pure encoding and decoding of bytes: no effect,
// no files, no messages. The plug-in and the command-line tools share it, so
// both accept and reject exactly the same files.
//
// Layout: a 5-byte header (the four bytes "vzDQ", the effect's identifier
// stored least significant byte first, then a type byte) and 128-byte program
// records (a 24-byte name, then 26 little-endian IEEE single-precision
// values). No length, count or version field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace presetfile
{

constexpr int kNameLength = 24;
constexpr int kValueCount = 26;
constexpr int kBankProgramCount = 24;

constexpr size_t kHeaderSize = 5;
constexpr size_t kRecordSize = kNameLength + 4 * kValueCount;                   // 128
constexpr size_t kPresetFileSize = kHeaderSize + kRecordSize;                   // 133
constexpr size_t kBankFileSize = kHeaderSize + kBankProgramCount * kRecordSize; // 3077

constexpr unsigned char kBankType = 0x37;   // "7"
constexpr unsigned char kPresetType = 0x21; // "!"

// One program as it travels through a file: the name is cut at its first zero
// byte (at most 24 characters) and always terminated.
struct ProgramData
{
    char name[kNameLength + 1] = {};
    float values[kValueCount] = {};
};

enum class FileCheck
{
    accepted,
    invalidFormat, // wrong magic, a file shorter than its layout, or a value that is not a number
    notABank,      // right magic, type byte not that of a bank
    notAPreset,    // right magic, type byte not that of a preset
};

// The message for a rejected file; null for an accepted one.
const char* messageFor(FileCheck check);
// Caption of the message box that shows it.
extern const char* const kMessageCaption;

// A preset file of exactly 133 bytes, the name zero-padded.
std::vector<unsigned char> encodePreset(const ProgramData& program);

// A bank file of exactly 3077 bytes, every name zero-padded.
std::vector<unsigned char> encodeBank(const ProgramData programs[kBankProgramCount]);

// Checks the whole of bytes first and fills the output only when the file is
// accepted; a rejected file leaves it untouched. Bytes after the layout are
// ignored. Values are returned as stored; clamping is the program's business.
FileCheck decodePreset(const unsigned char* bytes, size_t size, ProgramData& program);
FileCheck decodeBank(const unsigned char* bytes, size_t size, ProgramData programs[kBankProgramCount]);

} // namespace presetfile
