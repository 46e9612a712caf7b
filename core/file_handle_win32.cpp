// FileHandle and the path helpers on Win32 file handles (ANSI paths in the system code page).

#include "core/file_handle.h"

#include <windows.h>

namespace {

HANDLE nativeHandle(intptr_t handle)
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
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    const BOOL result = CloseHandle(nativeHandle(handle_));
    handle_ = kClosed;
    ioFailed_ = false;
    return result != 0;
}

uint32_t FileHandle::read(void* buffer, uint32_t n)
{
    DWORD got = 0;
    if (!isOpen())
        return 0;
    if (!ReadFile(nativeHandle(handle_), buffer, n, &got, nullptr)) {
        ioFailed_ = true;
        return 0;
    }
    return got;
}

uint32_t FileHandle::write(const void* buffer, uint32_t n)
{
    DWORD put = 0;
    if (!isOpen() || !WriteFile(nativeHandle(handle_), buffer, n, &put, nullptr))
        return 0;
    return put;
}

uint32_t FileHandle::size()
{
    if (!isOpen())
        return 0;
    return GetFileSize(nativeHandle(handle_), nullptr);
}

bool FileHandle::getTimes(FileTime* creation, FileTime* lastAccess, FileTime* lastWrite)
{
    FILETIME c, a, w;
    if (!isOpen() || !GetFileTime(nativeHandle(handle_), &c, &a, &w))
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
    return SetFileTime(nativeHandle(handle_), creation ? &c : nullptr, lastAccess ? &a : nullptr,
                       lastWrite ? &w : nullptr) != 0;
}

uint32_t FileHandle::seek(int32_t distance, SeekOrigin origin)
{
    if (!isOpen())
        return 0xFFFFFFFFu;
    const DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
    const DWORD position = SetFilePointer(nativeHandle(handle_), distance, nullptr, method);
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
    return isOpen() && FlushFileBuffers(nativeHandle(handle_)) != 0;
}

bool fileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t fileSizeByName(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return found.nFileSizeLow;
}

bool isSameFile(const char* pathA, const char* pathB)
{
    HANDLE ha = CreateFileA(pathA, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (ha == INVALID_HANDLE_VALUE)
        return false;
    HANDLE hb = CreateFileA(pathB, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
    return DeleteFileA(path) != 0;
}

bool replaceFileWith(const char* source, const char* target)
{
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
