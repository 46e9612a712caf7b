// FileHandle and the path helpers on Win32 file handles (UTF-8 paths, the W functions).

#include "core/file_handle.h"

#include <windows.h>

#include <string>
#include <vector>

#include "core/wide_path_win32.h"

namespace {

HANDLE win32Handle(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

FILETIME toNative(FileTime t)
{
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(t);
    result.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return result;
}

FileTime fromNative(const FILETIME& t)
{
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

intptr_t openNative(const char* path, DWORD access, DWORD share, DWORD disposition)
{
    HANDLE h = CreateFileW(widePath(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

}  // namespace

FileHandle::~FileHandle()
{
    close();
}

bool FileHandle::openRead(const char* path)
{
    handle_ = openNative(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    return isOpen();
}

bool FileHandle::createWrite(const char* path)
{
    handle_ = openNative(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    return isOpen();
}

bool FileHandle::createNew(const char* path)
{
    // Shared for deletion only: an interrupt handler on another thread can then
    // remove a temporary file that is still open (it goes when the handle does).
    handle_ = openNative(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW);
    return isOpen();
}

bool FileHandle::openReadWrite(const char* path)
{
    handle_ = openNative(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    return isOpen();
}

bool FileHandle::close()
{
    if (!isOpen())
        return false;
    const BOOL result = CloseHandle(win32Handle(handle_));
    handle_ = kClosed;
    ioFailed_ = false;
    return result != 0;
}

uint32_t FileHandle::read(void* buffer, uint32_t n)
{
    DWORD got = 0;
    if (!isOpen())
        return 0;
    if (!ReadFile(win32Handle(handle_), buffer, n, &got, nullptr)) {
        ioFailed_ = true;
        return 0;
    }
    return got;
}

uint32_t FileHandle::write(const void* buffer, uint32_t n)
{
    DWORD put = 0;
    if (!isOpen() || !WriteFile(win32Handle(handle_), buffer, n, &put, nullptr))
        return 0;
    return put;
}

uint64_t FileHandle::size()
{
    LARGE_INTEGER size;
    if (!isOpen() || !GetFileSizeEx(win32Handle(handle_), &size) || size.QuadPart < 0)
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool FileHandle::getTimes(FileTime* creation, FileTime* lastAccess, FileTime* lastWrite)
{
    FILETIME c, a, w;
    if (!isOpen() || !GetFileTime(win32Handle(handle_), &c, &a, &w))
        return false;
    if (creation)
        *creation = fromNative(c);
    if (lastAccess)
        *lastAccess = fromNative(a);
    if (lastWrite)
        *lastWrite = fromNative(w);
    return true;
}

bool FileHandle::setTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite)
{
    if (!isOpen())
        return false;
    FILETIME c, a, w;
    if (creation)
        c = toNative(*creation);
    if (lastAccess)
        a = toNative(*lastAccess);
    if (lastWrite)
        w = toNative(*lastWrite);
    return SetFileTime(win32Handle(handle_), creation ? &c : nullptr, lastAccess ? &a : nullptr,
                       lastWrite ? &w : nullptr) != 0;
}

uint32_t FileHandle::seek(int32_t distance, SeekOrigin origin)
{
    if (!isOpen())
        return 0xFFFFFFFFu;
    const DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
    const DWORD position = SetFilePointer(win32Handle(handle_), distance, nullptr, method);
    if (position == INVALID_SET_FILE_POINTER)   // with no high part, always a failure
        ioFailed_ = true;
    return position;
}

uint32_t FileHandle::tell()
{
    return seek(0, SeekOrigin::Current);
}

bool FileHandle::flush()
{
    return isOpen() && FlushFileBuffers(win32Handle(handle_)) != 0;
}

bool fileExists(const char* path)
{
    return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const char* path)
{
    const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t fileSizeByName(const char* path)
{
    const std::wstring wide = widePath(path);
    // A wildcard would report another file's size.
    if (wide.find_first_of(L"*?") != std::wstring::npos)
        return 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return found.nFileSizeLow;
}

bool isSameFile(const char* pathA, const char* pathB)
{
    HANDLE ha = CreateFileW(widePath(pathA).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (ha == INVALID_HANDLE_VALUE)
        return false;
    HANDLE hb = CreateFileW(widePath(pathB).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hb == INVALID_HANDLE_VALUE) {
        CloseHandle(ha);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION ia, ib;
    const bool same = GetFileInformationByHandle(ha, &ia) && GetFileInformationByHandle(hb, &ib) &&
                      ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
                      ia.nFileIndexLow == ib.nFileIndexLow;
    CloseHandle(ha);
    CloseHandle(hb);
    return same;
}

bool deleteFile(const char* path)
{
    return DeleteFileW(widePath(path).c_str()) != 0;
}

namespace {

// Attributes SetFileAttributesW accepts.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_TEMPORARY;
// The parts of a security descriptor a replacement carries over, and the
// part an unprivileged process can always set on its own new file.
constexpr SECURITY_INFORMATION kCarriedSecurity =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr SECURITY_INFORMATION kOwnSecurity = DACL_SECURITY_INFORMATION;

bool setAttributesW(const std::wstring& path, DWORD attributes)
{
    attributes &= kSettableAttributes;
    return SetFileAttributesW(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
}

// target's security descriptor on source: owner, group and access list where
// the process may set them all, else the access list alone. Not every file
// system keeps one (then there is nothing to copy), so a failure is no error,
// as the replacement call of old ignored it.
void copySecurity(const std::wstring& target, const std::wstring& source)
{
    DWORD needed = 0;
    GetFileSecurityW(target.c_str(), kCarriedSecurity, nullptr, 0, &needed);
    if (needed == 0)
        return;
    std::vector<unsigned char> descriptor(needed);
    if (!GetFileSecurityW(target.c_str(), kCarriedSecurity, descriptor.data(), needed, &needed))
        return;
    if (!SetFileSecurityW(source.c_str(), kCarriedSecurity, descriptor.data()))
        SetFileSecurityW(source.c_str(), kOwnSecurity, descriptor.data());
}

// target's creation time on source; a failure is no error (the content is what counts).
void copyCreationTime(const std::wstring& target, const std::wstring& source)
{
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE from = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return;
    FILETIME created;
    const bool read = GetFileTime(from, &created, nullptr, nullptr) != 0;
    CloseHandle(from);
    HANDLE to = read ? CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr)
                     : INVALID_HANDLE_VALUE;
    if (to == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(to, &created, nullptr, nullptr);
    CloseHandle(to);
}

bool moveReplacing(const std::wstring& source, const std::wstring& target)
{
    if (source.empty() || target.empty())
        return false;
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

bool replaceFileWith(const char* source, const char* target)
{
    const std::wstring wideSource = widePath(source);
    const std::wstring wideTarget = widePath(target);
    const DWORD original = wideTarget.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wideTarget.c_str());
    if (wideSource.empty() || original == INVALID_FILE_ATTRIBUTES || (original & FILE_ATTRIBUTE_DIRECTORY))
        return moveReplacing(wideSource, wideTarget);
    // The new file takes the old one's identity before it takes its name, so
    // that one rename replaces the old file with a complete new one: the name
    // never stands empty. New content is marked for archiving, as any write
    // marks it.
    copyCreationTime(wideTarget, wideSource);
    copySecurity(wideTarget, wideSource);
    if (!setAttributesW(wideSource, original | FILE_ATTRIBUTE_ARCHIVE))
        return false;
    // No rename replaces a read-only file: the flag is lifted meanwhile and
    // set again when the old file stays.
    const bool readOnly = (original & FILE_ATTRIBUTE_READONLY) != 0;
    if ((!readOnly || setAttributesW(wideTarget, original & ~FILE_ATTRIBUTE_READONLY)) &&
        moveReplacing(wideSource, wideTarget))
        return true;
    if (readOnly)
        setAttributesW(wideTarget, original);
    // The temporary file is removed by the caller: it must not stay read-only.
    setAttributesW(wideSource, FILE_ATTRIBUTE_NORMAL);
    return false;
}
