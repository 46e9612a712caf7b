#pragma once
// ReplacingFile writes a file under a temporary name in the target's folder and
// moves it over the target only when commit() succeeds. Until then the target
// is exactly as it was; abandon() or destruction removes the temporary file.
//
// This is how every output file is written, so a failed write (full disk,
// device error, cancel) never destroys an existing file, not even the input
// when converting in place. Not copyable; one thread at a time.

#include "core/file_handle.h"
#include "core/text_string.h"

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside targetPath. False when it cannot be
    // created; nothing is touched then.
    bool begin(const char* targetPath);
    // The open temporary file; valid between begin and commit/abandon.
    FileHandle& file() { return file_; }
    // Flushes and closes the temporary file and moves it over the target.
    // On failure the temporary file is removed and the target is unchanged.
    bool commit();
    // Closes and removes the temporary file, if any.
    void abandon();

private:
    FileHandle file_;
    TextString tempPath_;
    TextString targetPath_;
    bool active_ = false;
};

// Copies source to target (replacing any file there) through a ReplacingFile.
// False on any read or write failure; the target is then unchanged.
bool copyFileReplacing(const char* source, const char* target);
