// Folder listing and creation with the Win32 find and directory functions
// (the W functions; names converted to and from UTF-8).

#include "core/folder_scan.h"

#include <windows.h>

#include <string>

#include "core/wide_path_win32.h"

namespace {

class FindHandle {
public:
    FindHandle(const wchar_t* pattern, WIN32_FIND_DATAW& found) : handle_(FindFirstFileW(pattern, &found)) {}
    ~FindHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool next(WIN32_FIND_DATAW& found) { return FindNextFileW(handle_, &found) != FALSE; }

private:
    HANDLE handle_;
};

}  // namespace

bool forEachFolderEntry(const char* folder, FolderEntryVisitor visit, void* userData)
{
    std::wstring pattern;
    if (!widePathOf(folder, pattern))
        return false;
    pattern += L"\\*";
    WIN32_FIND_DATAW found;
    FindHandle search(pattern.c_str(), found);
    if (!search.isOpen())
        return false;
    do {
        const std::string name = pathOfWide(found.cFileName);
        const FolderEntry item{name.c_str(), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
        if (!visit(item, userData))
            return false;
    } while (search.next(found));
    return true;
}

bool createFolder(const char* path)
{
    std::wstring wide;
    return widePathOf(path, wide) && CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}
