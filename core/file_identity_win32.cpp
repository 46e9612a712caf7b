// File identity on Windows: the replacement gives the temporary file the
// replaced file's attributes, security descriptor and creation time
// (replaceFileWith), so nothing is copied while it is written; links are
// counted by the file's own information.

#include "core/file_identity.h"

#include <windows.h>

#include "core/file_handle.h"
#include "core/text_string.h"
#include "core/wide_path_win32.h"

bool resolveWriteTarget(const char* path, TextString& out)
{
    out.assign(path);
    return true;
}

bool createTemporaryFile(FileHandle& file, const char* tempPath, bool)
{
    return file.createNew(tempPath);
}

bool copyFileIdentity(const char*, FileHandle&)
{
    return true;
}

TargetState replacementTarget(const char* path)
{
    std::wstring wide;
    if (!widePathOf(path, wide))
        return TargetState::Unknown;
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
        return TargetState::Exists;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TargetState::Missing
                                                                         : TargetState::Unknown;
}

uint32_t fileLinkCount(const char* path)
{
    HANDLE handle = CreateFileW(widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : kUnknownLinkCount;
    BY_HANDLE_FILE_INFORMATION info;
    const bool read = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return read ? info.nNumberOfLinks : kUnknownLinkCount;
}
