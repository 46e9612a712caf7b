// Folder listing and creation with the POSIX directory functions.

#include "core/folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "core/codepage.h"

namespace {

// A folder entry is entered only when it really is a folder: a symbolic link
// to a folder is skipped so that a link loop cannot make the scan endless.
bool isEnterableFolder(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class DirectoryStream {
public:
    explicit DirectoryStream(const char* folder) : dir_(opendir(folder)) {}
    ~DirectoryStream()
    {
        if (dir_)
            closedir(dir_);
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

}  // namespace

bool forEachFolderEntry(const char* folder, FolderEntryVisitor visit, void* userData)
{
    DirectoryStream stream(folder);
    if (!stream.get())
        return false;
    std::string path;
    while (const dirent* entry = readdir(stream.get())) {
        path.assign(folder);
        path.push_back(kPathSeparator);
        path.append(entry->d_name);
        const FolderEntry item{entry->d_name, isEnterableFolder(path)};
        if (!visit(item, userData))
            return false;
    }
    return true;
}

bool createFolder(const char* path)
{
    return mkdir(path, 0777) == 0;
}
