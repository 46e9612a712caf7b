#pragma once
// A private folder for the files a memory conversion stages: created under
// the system's temporary folder, removed with everything in it when the
// object goes. One object per conversion; one thread at a time.

#include <string>

class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Creates a new folder that no other caller shares (TMPDIR, else the
    // platform's temporary folder). False when it cannot be created.
    bool create();
    // The path of name inside the folder (after a successful create).
    std::string file(const char* name) const;

private:
    std::string path_;
};
