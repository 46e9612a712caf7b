// FileHandle and the path helpers on POSIX file descriptors.

#include "core/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ull;

FileTime toFileTime(const struct timespec& t)
{
    return kUnixEpochTicks + static_cast<uint64_t>(t.tv_sec) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
}

struct timespec fromFileTime(FileTime t)
{
    struct timespec result{};
    const uint64_t ticks = t > kUnixEpochTicks ? t - kUnixEpochTicks : 0;
    result.tv_sec = static_cast<time_t>(ticks / 10000000ull);
    result.tv_nsec = static_cast<long>((ticks % 10000000ull) * 100);
    return result;
}

int retryingOpen(const char* path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FileHandle::~FileHandle()
{
    close();
}

bool FileHandle::openRead(const char* path)
{
    const int fd = retryingOpen(path, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

bool FileHandle::createWrite(const char* path)
{
    const int fd = retryingOpen(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    handle_ = fd;
    return true;
}

bool FileHandle::createNew(const char* path)
{
    const int fd = retryingOpen(path, O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0)
        return false;
    handle_ = fd;
    return true;
}

bool FileHandle::openReadWrite(const char* path)
{
    const int fd = retryingOpen(path, O_RDWR);
    if (fd < 0)
        return false;
    handle_ = fd;
    return true;
}

bool FileHandle::close()
{
    if (!isOpen())
        return false;
    const int result = ::close(static_cast<int>(handle_));
    handle_ = kClosed;
    ioFailed_ = false;
    return result == 0;
}

uint32_t FileHandle::read(void* buffer, uint32_t n)
{
    if (!isOpen())
        return 0;
    uint32_t total = 0;
    while (total < n) {
        const ssize_t got = ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + total, n - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ioFailed_ = true;
        if (got <= 0)
            break;
        total += static_cast<uint32_t>(got);
    }
    return total;
}

uint32_t FileHandle::write(const void* buffer, uint32_t n)
{
    if (!isOpen())
        return 0;
    uint32_t total = 0;
    while (total < n) {
        const ssize_t put = ::write(static_cast<int>(handle_), static_cast<const char*>(buffer) + total, n - total);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        total += static_cast<uint32_t>(put);
    }
    return total;
}

uint64_t FileHandle::size()
{
    struct stat info;
    if (!isOpen() || fstat(static_cast<int>(handle_), &info) != 0 || info.st_size < 0)
        return 0;
    return static_cast<uint64_t>(info.st_size);
}

bool FileHandle::getTimes(FileTime* creation, FileTime* lastAccess, FileTime* lastWrite)
{
    struct stat info;
    if (!isOpen() || fstat(static_cast<int>(handle_), &info) != 0)
        return false;
    // POSIX keeps no settable creation time; the status-change time stands in for it.
    if (creation)
        *creation = toFileTime(info.st_ctim);
    if (lastAccess)
        *lastAccess = toFileTime(info.st_atim);
    if (lastWrite)
        *lastWrite = toFileTime(info.st_mtim);
    return true;
}

bool FileHandle::setTimes(const FileTime*, const FileTime* lastAccess, const FileTime* lastWrite)
{
    if (!isOpen())
        return false;
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (lastAccess)
        times[0] = fromFileTime(*lastAccess);
    if (lastWrite)
        times[1] = fromFileTime(*lastWrite);
    return futimens(static_cast<int>(handle_), times) == 0;
}

uint32_t FileHandle::seek(int32_t distance, SeekOrigin origin)
{
    if (!isOpen())
        return 0xFFFFFFFFu;
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t position = lseek(static_cast<int>(handle_), distance, whence);
    if (position < 0) {
        ioFailed_ = true;
        return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(position);
}

uint32_t FileHandle::tell()
{
    return seek(0, SeekOrigin::Current);
}

bool FileHandle::flush()
{
    return isOpen() && fsync(static_cast<int>(handle_)) == 0;
}

bool fileExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

bool isDirectory(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

uint32_t fileSizeByName(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0)
        return 0;
    return static_cast<uint32_t>(info.st_size);
}

bool isSameFile(const char* pathA, const char* pathB)
{
    struct stat a;
    struct stat b;
    if (stat(pathA, &a) != 0 || stat(pathB, &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool deleteFile(const char* path)
{
    return unlink(path) == 0;
}

bool replaceFileWith(const char* source, const char* target)
{
    if (std::rename(source, target) != 0)
        return false;
    // Make the rename itself durable: sync the folder that holds the target.
    std::string folder(target);
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    const int fd = retryingOpen(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        ::close(fd);
    }
    return true;
}
