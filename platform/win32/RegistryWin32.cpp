// Registry keys under HKEY_LOCAL_MACHINE, shared by every instance and host
// on the machine. The registry writes value by value, so a key is held
// under one system-wide lock from create or open to close: a reader never
// sees half of a writer's values, and two writers never mix theirs.
#include "platform/Registry.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace platform
{

namespace
{
// Named, so instances in other hosts share it; a timed wait gives up after
// a second and the operation goes ahead unlocked rather than hang.
const char* const kStoreLockName = "Local\\QDXZelvoSettingsStore";
constexpr DWORD kLockTimeoutMs = 1000;

class StoreLock
{
public:
    StoreLock() : mutex(CreateMutexA(nullptr, FALSE, kStoreLockName))
    {
        if (mutex)
        {
            const DWORD result = WaitForSingleObject(mutex, kLockTimeoutMs);
            owned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        }
    }
    ~StoreLock()
    {
        if (owned)
            ReleaseMutex(mutex);
        if (mutex)
            CloseHandle(mutex);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    HANDLE mutex;
    bool owned = false;
};
} // namespace

struct RegistryKey::Impl
{
    std::unique_ptr<StoreLock> lock;
    HKEY key = nullptr;
};

RegistryKey::RegistryKey() = default;

RegistryKey::~RegistryKey() { close(); }

bool RegistryKey::create(const char* path)
{
    close();
    if (!path)
        return false;
    auto lock = std::make_unique<StoreLock>();
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_QUERY_VALUE,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    impl = std::make_unique<Impl>();
    impl->lock = std::move(lock);
    impl->key = key;
    return true;
}

bool RegistryKey::open(const char* path)
{
    close();
    if (!path)
        return false;
    auto lock = std::make_unique<StoreLock>();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    impl = std::make_unique<Impl>();
    impl->lock = std::move(lock);
    impl->key = key;
    return true;
}

bool RegistryKey::close()
{
    // The registry has taken every value as it was set; closing stores nothing more.
    if (impl && impl->key)
        RegCloseKey(impl->key);
    impl.reset(); // releases the lock after the key is closed
    return true;
}

bool RegistryKey::isOpen() const { return impl != nullptr; }

bool RegistryKey::setBinary(const char* name, const void* data, uint32_t size)
{
    return impl && name && RegSetValueExA(impl->key, name, 0, REG_BINARY, (const BYTE*)data, size) == ERROR_SUCCESS;
}

bool RegistryKey::setString(const char* name, const char* text)
{
    return impl && name && text &&
           RegSetValueExA(impl->key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)std::strlen(text) + 1) == ERROR_SUCCESS;
}

bool RegistryKey::setDword(const char* name, uint32_t value)
{
    DWORD v = value;
    return impl && name && RegSetValueExA(impl->key, name, 0, REG_DWORD, (const BYTE*)&v, 4) == ERROR_SUCCESS;
}

bool RegistryKey::queryBinary(const char* name, void* data, uint32_t* size)
{
    if (!impl || !name || !size)
        return false;
    DWORD type = 0;
    DWORD length = *size;
    LONG result = RegQueryValueExA(impl->key, name, nullptr, &type, (BYTE*)data, &length);
    *size = length;
    return result == ERROR_SUCCESS && type == REG_BINARY;
}

bool RegistryKey::queryString(const char* name, char* text, uint32_t capacity)
{
    if (!impl || !name || !text || capacity == 0)
        return false;
    DWORD type = 0;
    DWORD length = 0;
    if (RegQueryValueExA(impl->key, name, nullptr, &type, nullptr, &length) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    // Read the whole value, then cut it: a hand-edited long value still reads.
    std::vector<char> buffer(length + 1, 0);
    if (RegQueryValueExA(impl->key, name, nullptr, &type, (BYTE*)buffer.data(), &length) != ERROR_SUCCESS)
        return false;
    size_t n = 0;
    while (n + 1 < capacity && n < length && buffer[n])
    {
        text[n] = buffer[n];
        ++n;
    }
    text[n] = 0;
    return true;
}

bool RegistryKey::queryDword(const char* name, uint32_t* value)
{
    if (!impl || !name || !value)
        return false;
    DWORD type = 0;
    DWORD v = 0;
    DWORD length = 4;
    if (RegQueryValueExA(impl->key, name, nullptr, &type, (BYTE*)&v, &length) != ERROR_SUCCESS || type != REG_DWORD ||
        length != 4)
        return false;
    *value = v;
    return true;
}

} // namespace platform
