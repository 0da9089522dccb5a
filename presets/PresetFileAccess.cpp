#include "presets/PresetFileAccess.h"

#include <cstdio>

namespace presetfile
{

const char* const kReadMode = "rb+";
const char* const kWriteMode = "wb+";

bool readFileForUpdate(const char* path, size_t limit, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (!path || !*path)
        return false;
    FILE* file = std::fopen(path, kReadMode);
    if (!file)
        return false;
    bytes.resize(limit);
    const size_t got = limit ? std::fread(bytes.data(), 1, limit, file) : 0;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    bytes.resize(got);
    return !failed;
}

bool writeFileReplacing(const char* path, const std::vector<unsigned char>& bytes)
{
    if (!path || !*path)
        return false;
    FILE* file = std::fopen(path, kWriteMode);
    if (!file)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

} // namespace presetfile
