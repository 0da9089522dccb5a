// The settings store shared by every instance on the machine: keys holding
// named binary, string and 32-bit values, addressed by a backslash path
// under the local machine's software hive ("SOFTWARE\Korvane\...").
// Windows keeps them in the registry; Linux keeps one file per key under
// $XDG_CONFIG_HOME (when absolute; otherwise ~/.config), replaced atomically
// on close so a crash or a second instance never leaves a torn key.
#pragma once

#include <cstdint>
#include <memory>

namespace platform
{

class RegistryKey
{
public:
    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Creates the key if needed and opens it for writing.
    bool create(const char* path);
    // Opens an existing key for reading; false when it does not exist.
    bool open(const char* path);
    // Writes pending values (Linux: the whole key at once) and closes. False
    // when values set since create could not be stored: a failed write
    // leaves the key as it was before create.
    bool close();
    bool isOpen() const;

    bool setBinary(const char* name, const void* data, uint32_t size);
    bool setString(const char* name, const char* text);
    bool setDword(const char* name, uint32_t value);

    // Fills data and *size when a binary value of at most *size bytes exists;
    // *size then holds the stored length.
    bool queryBinary(const char* name, void* data, uint32_t* size);
    // Copies a string value, cut to capacity - 1 characters and terminated.
    bool queryString(const char* name, char* text, uint32_t capacity);
    bool queryDword(const char* name, uint32_t* value);

    struct Impl;

private:
    std::unique_ptr<Impl> impl;
};

} // namespace platform
