#include "fuzz/scratch_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::string folder;

void removeFolder()
{
    if (folder.empty())
        return;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

std::string makeFolder()
{
    // A memory file system keeps millions of short-lived files off the disk.
    const char* bases[] = {"/dev/shm", std::getenv("TMPDIR"), "/tmp"};
    for (const char* base : bases) {
        if (base == nullptr || *base == 0)
            continue;
        std::string pattern = std::string(base) + "/tolvarinx-fuzz-XXXXXX";
        if (mkdtemp(&pattern[0]) != nullptr)
            return pattern;
    }
    return std::string();
}

}  // namespace

const std::string& scratchFolder()
{
    if (folder.empty()) {
        folder = makeFolder();
        if (!folder.empty())
            std::atexit(removeFolder);
    }
    return folder;
}

std::string scratchPath(const char* name)
{
    return scratchFolder() + "/" + name;
}

bool writeScratchFile(const std::string& path, const uint8_t* data, size_t size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return close(fd) == 0 && done == size;
}

std::string unexpectedScratchEntries(const char* keepA, const char* keepB)
{
    std::string names;
    DIR* dir = opendir(scratchFolder().c_str());
    if (dir == nullptr)
        return "(scratch folder unreadable)";
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if ((keepA && std::strcmp(name, keepA) == 0) || (keepB && std::strcmp(name, keepB) == 0))
            continue;
        if (!names.empty())
            names += ' ';
        names += name;
    }
    closedir(dir);
    return names;
}
