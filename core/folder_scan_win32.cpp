// Folder listing and creation with the Win32 find and directory functions
// (ANSI paths in the system code page).

#include "core/folder_scan.h"

#include <windows.h>

#include "core/text_string.h"

namespace {

class FindHandle {
public:
    FindHandle(const char* pattern, WIN32_FIND_DATAA& found) : handle_(FindFirstFileA(pattern, &found)) {}
    ~FindHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool next(WIN32_FIND_DATAA& found) { return FindNextFileA(handle_, &found) != FALSE; }

private:
    HANDLE handle_;
};

}  // namespace

bool forEachFolderEntry(const char* folder, FolderEntryVisitor visit, void* userData)
{
    TextString pattern(folder);
    pattern.append("\\*");
    WIN32_FIND_DATAA found;
    FindHandle search(pattern.c_str(), found);
    if (!search.isOpen())
        return false;
    do {
        const FolderEntry item{found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
        if (!visit(item, userData))
            return false;
    } while (search.next(found));
    return true;
}

bool createFolder(const char* path)
{
    return CreateDirectoryA(path, nullptr) != FALSE;
}
