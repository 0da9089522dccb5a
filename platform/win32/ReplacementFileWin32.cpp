#include "platform/ReplacementFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

namespace platform
{

struct ReplacementFile::Handle
{
    HANDLE file = INVALID_HANDLE_VALUE;
};

namespace
{

std::string systemMessage(DWORD code)
{
    char text[256] = "";
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty())
    {
        std::snprintf(text, sizeof text, "system error %lu", static_cast<unsigned long>(code));
        message = text;
    }
    return message;
}

// Empty when target may be replaced: it does not exist yet, or it is a
// regular file that is not read-only. Devices (NUL, CON, COM1), pipes and
// folders are never replaced by a file, and a link whose file is missing is
// not replaced by one.
std::string refusalFor(const std::string& target)
{
    HANDLE file = CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
            return systemMessage(code);
        // The name itself exists, only what it leads to does not: a link.
        if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES)
            return "The link points to a missing file";
        return std::string();
    }
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (type != FILE_TYPE_DISK || !known)
        return "Not a regular file";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return systemMessage(ERROR_DIRECTORY);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        return systemMessage(ERROR_ACCESS_DENIED);
    return std::string();
}

} // namespace

ReplacementFile::ReplacementFile(const char* path)
{
    if (!path || !*path)
    {
        reason = "no file name";
        failed = true;
        return;
    }
    target = path;
    reason = refusalFor(target);
    if (!reason.empty())
    {
        failed = true;
        return;
    }
    const size_t split = target.find_last_of("/\\:");
    const std::string folder = split == std::string::npos ? std::string() : target.substr(0, split + 1);
    const std::string base = target.substr(split == std::string::npos ? 0 : split + 1).substr(0, 200);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%lu.%u.tmp", static_cast<unsigned long>(GetCurrentProcessId()),
                      ++counter);
        temporary = folder + "~" + base + suffix;
        HANDLE file =
            CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
        {
            handle = new Handle;
            handle->file = file;
            return;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    temporary.clear();
    fail();
}

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::isOpen() const { return handle != nullptr && !failed; }

void ReplacementFile::fail()
{
    if (reason.empty())
        reason = systemMessage(GetLastError());
    failed = true;
}

void ReplacementFile::discard()
{
    if (handle)
    {
        CloseHandle(handle->file);
        delete handle;
        handle = nullptr;
    }
    if (!committed && !temporary.empty())
        DeleteFileA(temporary.c_str());
    temporary.clear();
}

bool ReplacementFile::write(const void* data, size_t size)
{
    if (!isOpen())
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle->file, bytes, chunk, &written, nullptr) || written == 0)
        {
            if (written == 0 && GetLastError() == ERROR_SUCCESS)
                SetLastError(ERROR_DISK_FULL);
            fail();
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool ReplacementFile::commit()
{
    if (!isOpen())
        return false;
    bool ok = FlushFileBuffers(handle->file) != 0;
    if (!ok)
        fail();
    HANDLE file = handle->file;
    delete handle;
    handle = nullptr;
    if (!CloseHandle(file) && ok)
    {
        ok = false;
        fail();
    }
    // The target may have changed while the copy was written.
    if (ok)
        reason = refusalFor(target);
    if (ok && !reason.empty())
    {
        ok = false;
        failed = true;
    }
    if (ok && !MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        ok = false;
        fail();
    }
    if (!ok)
    {
        discard();
        return false;
    }
    committed = true;
    temporary.clear();
    return true;
}

std::FILE* openRegularFileForUpdate(const char* path)
{
    if (!path || !*path)
        return nullptr;
    // The sharing of fopen's "rb+"; a folder cannot be opened this way at all.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    if (GetFileType(file) != FILE_TYPE_DISK)
    {
        CloseHandle(file);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0)
    {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "rb+");
    if (!stream)
        _close(fd);
    return stream;
}

} // namespace platform
