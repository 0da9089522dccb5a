// Opening preset and bank files the way the plug-in always has: files to be
// read are opened for update ("rb+"), so a file that is read-only or locked by
// another program is not read at all; files to be written are created or
// truncated ("wb+"). Shared by the plug-in and the command-line tools.
#pragma once

#include <cstddef>
#include <vector>

namespace presetfile
{

extern const char* const kReadMode;  // "rb+"
extern const char* const kWriteMode; // "wb+"

// Reads at most limit bytes (the layout's size: anything after it is never
// looked at). False when the file cannot be opened for update or read.
bool readFileForUpdate(const char* path, size_t limit, std::vector<unsigned char>& bytes);

// Creates or truncates the file and writes bytes. False when it cannot be
// opened or not every byte reached it.
bool writeFileReplacing(const char* path, const std::vector<unsigned char>& bytes);

} // namespace presetfile
