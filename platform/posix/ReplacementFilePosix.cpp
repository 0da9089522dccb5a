#include "platform/ReplacementFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

struct ReplacementFile::Handle
{
    int fd = -1;
};

namespace
{

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name saved through a link replaces the file the link points to, as
// writing through it always did, and keeps the link.
std::string resolvedTarget(const char* path)
{
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode))
    {
        char real[PATH_MAX];
        if (realpath(path, real))
            return real;
    }
    return path;
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
    target = resolvedTarget(path);
    const size_t slash = target.rfind('/');
    // Cut so that the copy's name stays within a folder entry's 255 bytes.
    const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1).substr(0, 200);
    const std::string folder = folderOf(target);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(getpid()), ++counter);
        temporary = folder + "/." + base + suffix;
        // Created with 0666 so the process's umask applies, as for any new file.
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            handle = new Handle;
            handle->fd = fd;
            break;
        }
        if (errno != EEXIST)
        {
            temporary.clear();
            fail();
            return;
        }
    }
    if (!handle)
    {
        temporary.clear();
        fail();
        return;
    }
    // Saving over a file keeps its permissions.
    struct stat info;
    if (stat(target.c_str(), &info) == 0)
        fchmod(handle->fd, info.st_mode & 07777);
}

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::isOpen() const { return handle != nullptr && !failed; }

void ReplacementFile::fail()
{
    if (reason.empty())
        reason = std::strerror(errno ? errno : EIO);
    failed = true;
}

void ReplacementFile::discard()
{
    if (handle)
    {
        close(handle->fd);
        delete handle;
        handle = nullptr;
    }
    if (!committed && !temporary.empty())
        unlink(temporary.c_str());
    temporary.clear();
}

bool ReplacementFile::write(const void* data, size_t size)
{
    if (!isOpen())
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n = ::write(handle->fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (n == 0)
                errno = ENOSPC;
            fail();
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReplacementFile::commit()
{
    if (!isOpen())
        return false;
    bool ok = fsync(handle->fd) == 0;
    if (!ok)
        fail();
    const int fd = handle->fd;
    delete handle;
    handle = nullptr;
    if (close(fd) != 0 && ok)
    {
        ok = false;
        fail();
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0)
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
    // The rename itself reaches the disk with the folder; a folder that
    // cannot be synced (some network file systems) still holds the new file.
    const int folder = open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
    {
        fsync(folder);
        close(folder);
    }
    return true;
}

} // namespace platform
