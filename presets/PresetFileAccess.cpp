#include "presets/PresetFileAccess.h"

#include "platform/ReplacementFile.h"

#include <cstdio>

namespace presetfile
{

const char* const kReadMode = "rb+";
const char* const kSaveFailedMessage = "Could not save file! Nothing on disk was changed.";

bool readFileForUpdate(const char* path, size_t limit, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (!path || !*path)
        return false;
    // kReadMode, for regular files only.
    FILE* file = platform::openRegularFileForUpdate(path);
    if (!file)
        return false;
    bytes.resize(limit);
    const size_t got = limit ? std::fread(bytes.data(), 1, limit, file) : 0;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    bytes.resize(got);
    return !failed;
}

bool FileByteWriter::write(platform::ReplacementFile& file, const unsigned char* bytes, size_t size)
{
    return file.write(bytes, size);
}

bool writeFileReplacing(const char* path, const std::vector<unsigned char>& bytes, std::string* reason,
                        FileByteWriter* writer)
{
    FileByteWriter direct;
    platform::ReplacementFile file(path);
    const bool ok = file.isOpen() &&
                    (bytes.empty() || (writer ? writer : &direct)->write(file, bytes.data(), bytes.size())) &&
                    file.commit();
    if (!ok && reason)
        *reason = file.failure().empty() ? "the file could not be written" : file.failure();
    return ok;
}

} // namespace presetfile
