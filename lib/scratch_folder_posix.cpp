#include "lib/scratch_folder.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

ScratchFolder::~ScratchFolder()
{
    if (path_.empty())
        return;
    // The folder is ours alone (mode 0700, fresh name), so all it holds is
    // what the conversion left there.
    if (DIR* folder = opendir(path_.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                unlink(file(name.c_str()).c_str());
        }
        closedir(folder);
    }
    rmdir(path_.c_str());
}

bool ScratchFolder::create()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = base && *base ? base : "/tmp";
    pattern += "/tolvarinx-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        return false;
    path_ = name.data();
    return true;
}

std::string ScratchFolder::file(const char* name) const
{
    return path_ + "/" + name;
}
