// How preset and bank files meet the disk: only regular files are read or
// replaced, never a device, a pipe or a folder that happens to carry the
// name.
//
// A new version of a file is written beside it and put in its place in one
// step: until commit succeeds the file on disk is exactly as it was, and a
// failure at any point (full disk, size limit, no permission) removes the
// partly written copy.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform
{

class ReplacementFile
{
public:
    // Creates the temporary copy in the target's own folder, so the final
    // rename never crosses file systems. Refuses at once (isOpen false,
    // failure says why) a target that exists but is no regular file after
    // its links are followed, a link that leads nowhere, and a file the user
    // may not write.
    explicit ReplacementFile(const char* target);
    // Removes the temporary copy unless it has been committed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool isOpen() const;
    // Appends every byte or reports failure.
    bool write(const void* data, size_t size);
    // Flushes the copy to the disk and renames it over the target.
    bool commit();
    // The system's words for the first failure; empty while there is none.
    const std::string& failure() const { return reason; }

    struct Handle;

private:
    void fail();
    void discard();

    std::string target;
    std::string temporary;
    Handle* handle = nullptr;
    bool failed = false;
    bool committed = false;
    std::string reason;
};

// Opens an existing regular file (links followed) for reading and writing,
// as fopen's "rb+" does, or returns null. Anything else is refused before it
// is opened: a read from a pipe would wait forever, and one from a device
// would take its data.
std::FILE* openRegularFileForUpdate(const char* path);

} // namespace platform
