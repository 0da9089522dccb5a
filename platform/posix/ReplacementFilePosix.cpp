#include "platform/ReplacementFile.h"

#include <atomic>
#include <cerrno>
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
// writing through it always did, and keeps the link. A link that leads
// nowhere (to a missing file, or round in a loop) is refused: replacing it
// would destroy the link and write a file the user never named.
bool resolveTarget(const char* path, std::string& target, std::string& reason)
{
    target = path;
    struct stat info;
    if (lstat(path, &info) != 0 || !S_ISLNK(info.st_mode))
        return true;
    char* real = realpath(path, nullptr);
    if (!real)
    {
        reason = errno == ENOENT ? "The link points to a missing file" : std::strerror(errno);
        return false;
    }
    target = real;
    std::free(real);
    return true;
}

// Empty when target may be replaced: it does not exist yet, or it is a
// regular file this user may write. Devices, pipes and sockets are never
// replaced by a file, and a file the user may not write (read-only, as an
// open for writing would find it) stays as it is. The check is the
// system's own for the process's effective user, as opening the file for
// writing makes it: the superuser may still replace a file of mode 0444,
// as writing it in place always could.
std::string refusalFor(const std::string& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) != 0)
        return errno == ENOENT ? std::string() : std::string(std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return std::strerror(EISDIR);
    if (!S_ISREG(info.st_mode))
        return "Not a regular file";
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return std::strerror(errno);
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
    if (!resolveTarget(path, target, reason))
    {
        failed = true;
        return;
    }
    reason = refusalFor(target);
    if (!reason.empty())
    {
        failed = true;
        return;
    }
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
    // The target may have changed while the copy was written.
    if (ok)
        reason = refusalFor(target);
    if (ok && !reason.empty())
    {
        ok = false;
        failed = true;
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

std::FILE* openRegularFileForUpdate(const char* path)
{
    struct stat info;
    if (!path || !*path || stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    // Not blocking, and checked again once open: the name may have been
    // given to a pipe in between.
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "rb+");
    if (!file)
        close(fd);
    return file;
}

} // namespace platform
