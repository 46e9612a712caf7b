// File identity on POSIX: links resolved by realpath, owner, group, extended
// attributes and mode copied onto the open temporary file.

#include "core/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/file_handle.h"
#include "core/text_string.h"

namespace {

constexpr mode_t kPermissionBits = 07777;

// Whether the attribute call failed only because the file system keeps none.
bool noAttributesHere(int error)
{
    return error == ENOTSUP || error == ENOSYS;
}

// Reads one list or value that may grow between the size query and the read.
template <typename Query>
bool readSized(std::vector<char>& buffer, Query query)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = query(nullptr, 0);
        if (size < 0)
            return false;
        buffer.resize(static_cast<size_t>(size));
        if (size == 0)
            return true;
        const ssize_t got = query(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

bool copyExtendedAttributes(const char* targetPath, int fd)
{
    std::vector<char> names;
    if (!readSized(names, [&](char* out, size_t size) { return listxattr(targetPath, out, size); }))
        return noAttributesHere(errno);
    std::vector<char> value;
    for (size_t at = 0; at < names.size();) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        if (!readSized(value, [&](char* out, size_t size) { return getxattr(targetPath, name, out, size); }))
            return false;
        if (fsetxattr(fd, name, value.data(), value.size(), 0) != 0)
            return false;
    }
    return true;
}

}  // namespace

bool resolveWriteTarget(const char* path, TextString& out)
{
    struct stat info;
    if (lstat(path, &info) != 0) {
        // Nothing there yet is a new file; a path that cannot be looked at may be a link.
        out.assign(path);
        return errno == ENOENT;
    }
    if (!S_ISLNK(info.st_mode)) {
        out.assign(path);
        return true;
    }
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr)
        return false;
    out.assign(resolved);
    std::free(resolved);
    return true;
}

bool createTemporaryFile(FileHandle& file, const char* tempPath, bool replacing)
{
    int fd;
    do {
        fd = ::open(tempPath, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    file.adopt(fd);
    return true;
}

bool copyFileIdentity(const char* targetPath, FileHandle& temporary)
{
    struct stat target;
    if (stat(targetPath, &target) != 0)
        return errno == ENOENT;   // gone meanwhile: nothing to keep; any other error: unknown identity
    const int fd = static_cast<int>(temporary.nativeHandle());
    struct stat created;
    if (fstat(fd, &created) != 0)
        return false;
    mode_t mode = target.st_mode & kPermissionBits;
    // As root both are set; otherwise the group only where the user belongs to it.
    if (created.st_uid != target.st_uid || created.st_gid != target.st_gid) {
        // Only a refusal (not root, not in the group) is taken as the answer;
        // any other failure leaves the identity unknown.
        if (fchown(fd, target.st_uid, target.st_gid) != 0) {
            if (errno != EPERM)
                return false;
            if (fchown(fd, static_cast<uid_t>(-1), target.st_gid) != 0) {
                if (errno != EPERM)
                    return false;
                mode &= ~(S_IRWXG | S_ISGID);   // the new group is not the old one
            }
        }
        if (fstat(fd, &created) != 0)
            return false;
        if (created.st_uid != target.st_uid)
            mode &= ~S_ISUID;
    }
    // The attributes before the mode: an access ACL rewrites the group bits.
    return copyExtendedAttributes(targetPath, fd) && fchmod(fd, mode) == 0;
}

TargetState replacementTarget(const char* path)
{
    struct stat info;
    if (stat(path, &info) == 0)
        return TargetState::Exists;
    return errno == ENOENT ? TargetState::Missing : TargetState::Unknown;
}

uint32_t fileLinkCount(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0)
        return errno == ENOENT ? 0 : kUnknownLinkCount;
    return info.st_nlink >= kUnknownLinkCount ? kUnknownLinkCount - 1 : static_cast<uint32_t>(info.st_nlink);
}
