#pragma once
// ReplacingFile writes a file under a temporary name in the target's folder and
// moves it over the target only when commit() succeeds. Until then the target
// is exactly as it was; abandon() or destruction removes the temporary file.
//
// This is how every output file is written, so a failed write (full disk,
// device error, cancel) never destroys an existing file, not even the input
// when converting in place. A replaced file's identity carries over to the
// new one (file_identity.h: mode, owner, group, extended attributes on POSIX;
// attributes and security on Windows), and a target that is a symbolic link
// is written through: the file it names is replaced, the link stays.
// Not copyable; one thread at a time.

#include <cstddef>

#include "core/file_handle.h"
#include "core/text_string.h"

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside the file targetPath reaches (through
    // links) with that file's identity when it exists. False when it cannot
    // be created, the link is dangling, or the identity cannot be copied;
    // nothing is touched then.
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
    int listedSlot_ = -1;   // this temporary file's entry in the interrupt list, -1 if none
};

// The interrupt list: the path of every temporary file that exists between a
// begin and its commit or abandon, in a fixed table that an interrupt handler
// reads without allocating or locking. Each ReplacingFile lists its temporary
// file right after creating it and unlists it right after renaming or removing
// it, with the interrupts that could end the process held off meanwhile (the
// calling thread's signals on POSIX; a lock the console control handler also
// takes on Windows), so the list never names a file that is not ours.
// Temporary files beyond kMaxListedTempFiles at once, or with paths longer
// than kMaxListedTempPathBytes, are not listed.
constexpr int kMaxListedTempFiles = 8;
constexpr size_t kMaxListedTempPathBytes = 4096;

// Removes every listed temporary file. For handlers that end the process right
// after (SIGINT and the like, console control events): async-signal-safe on
// POSIX, callable from any thread. Targets are untouched, so each is either as
// it was or completely replaced.
void removeListedTempFiles();

// Counts the listed temporary files; for tests.
int listedTempFileCount();

// Writes the file at targetPath through a ReplacingFile: write(FileHandle&)
// fills the temporary file and returns true when all of it was written; only
// then is the target replaced. False on any failure; the target is then
// unchanged.
template <typename Write>
bool writeReplacing(const char* targetPath, Write write)
{
    ReplacingFile output;
    if (!output.begin(targetPath))
        return false;
    if (!write(output.file())) {
        output.abandon();
        return false;
    }
    return output.commit();
}

// Copies source to target (replacing any file there) through a ReplacingFile.
// False on any read or write failure; the target is then unchanged.
bool copyFileReplacing(const char* source, const char* target);
