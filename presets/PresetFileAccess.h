// Opening preset and bank files the way the plug-in always has: files to be
// read are opened for update ("rb+"), so a file that is read-only or locked by
// another program is not read at all. Files to be written are written whole
// beside the old one and then put in its place, so a failed save (full disk,
// size limit, no permission) leaves the old file as it was. Both take
// regular files only: a device, pipe or folder under the name is neither
// read nor replaced. Shared by the plug-in and the command-line tools.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform
{
class ReplacementFile;
}

namespace presetfile
{

extern const char* const kReadMode; // "rb+"
// Shown when a save fails: the user must not believe the file was written.
extern const char* const kSaveFailedMessage;

// Reads at most limit bytes (the layout's size: anything after it is never
// looked at). False when the file cannot be opened for update or read, and
// for anything but a regular file, before a byte is read.
bool readFileForUpdate(const char* path, size_t limit, std::vector<unsigned char>& bytes);

// The step that moves a file's bytes to the disk. The plug-in hands them
// over at once; the fuzzer and the tests put in writers that fail part-way,
// as a full disk does.
class FileByteWriter
{
public:
    virtual ~FileByteWriter() {}
    virtual bool write(platform::ReplacementFile& file, const unsigned char* bytes, size_t size);
};

// Replaces the file at path with bytes, or leaves it untouched (and creates
// nothing) when any step fails; reason then holds the system's words for it.
bool writeFileReplacing(const char* path, const std::vector<unsigned char>& bytes, std::string* reason = nullptr,
                        FileByteWriter* writer = nullptr);

} // namespace presetfile
