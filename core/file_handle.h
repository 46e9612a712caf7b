#pragma once
// An owned operating-system file handle with the reads and writes that the
// readers, the PNG writer and the settings file need.
//
// Failures are reported only through results (0, false, or a closed handle).
// A handle is used by one thread at a time. Not copyable.

#include <cstdint>

class TextString;

// A platform file time: 100-nanosecond intervals since 1601-01-01 UTC.
using FileTime = uint64_t;

enum class SeekOrigin { Begin, Current, End };

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens an existing file for reading; others may read it too.
    bool openRead(const char* path);
    // Creates or truncates a file for writing, no sharing.
    bool createWrite(const char* path);
    // Creates a file that must not exist yet, for writing; shared with no one
    // (Windows: only for deletion, see ReplacingFile and its interrupt list).
    // Used for temporary files, so that an existing file is never truncated.
    bool createNew(const char* path);
    // Opens an existing file for reading and writing, no sharing.
    bool openReadWrite(const char* path);
    // Closes if open; false if it was not open or the platform reports an error.
    bool close();
    bool isOpen() const { return handle_ != kClosed; }
    // The POSIX descriptor or Windows HANDLE while open; for platform code
    // that needs a call this class does not wrap. Still owned by this object.
    intptr_t nativeHandle() const { return handle_; }
    // Takes ownership of an open native handle, closing what was open first.
    void adopt(intptr_t native)
    {
        close();
        handle_ = native;
    }

    // Reads up to n bytes; the count read, 0 at end of file and on failure.
    uint32_t read(void* buffer, uint32_t n);
    // True once a read or a seek has failed (an I/O error), as opposed to
    // reaching the end of the file: a short count alone cannot tell the two
    // apart. Cleared by close().
    bool ioFailed() const { return ioFailed_; }
    // Reads 4 bytes as a big-endian value; stores it only when all 4 were read.
    // Returns the count read.
    uint32_t readUInt32BE(uint32_t& value);
    // Writes n bytes; the count written, 0 on failure. A short count is a failure
    // for every caller.
    uint32_t write(const void* buffer, uint32_t n);
    // Writes 4 bytes, least significant first; true only when all 4 were written.
    bool writeUInt32(uint32_t value);
    // Writes 4 bytes, most significant first; true only when all 4 were written.
    bool writeUInt32BE(uint32_t value);
    // Writes the string's bytes without its terminator.
    bool writeText(const TextString& text);
    bool writeText(const char* text);
    // Writes the two bytes 13, 10.
    bool writeNewline();
    // Writes "key=value\r\n".
    bool writeKeyInt(const char* key, int value);
    bool writeKeyText(const char* key, const char* value);

    // The file's size in bytes; 0 when the handle is closed or the platform fails.
    uint64_t size();
    // Each out pointer may be null. False when the handle is closed or the platform fails.
    bool getTimes(FileTime* creation, FileTime* lastAccess, FileTime* lastWrite);
    // A null pointer leaves that time unchanged. Where the platform cannot set a
    // creation time (POSIX), only the access and write times are set.
    bool setTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite);
    // Moves by distance from origin; returns the new position (low 32 bits),
    // 0xFFFFFFFF on failure.
    uint32_t seek(int32_t distance, SeekOrigin origin);
    uint32_t tell();
    // Forces written data to the storage device.
    bool flush();

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;   // POSIX descriptor or Windows HANDLE
    bool ioFailed_ = false;
};

// Free helpers asking the file system about a path.

// openRead + getTimes + close; false only if the open failed.
bool getFileTimes(const char* path, FileTime* creation, FileTime* lastAccess, FileTime* lastWrite);
// openReadWrite + setTimes + close; false only if the open failed.
bool setFileTimes(const char* path, const FileTime* creation, const FileTime* lastAccess,
                  const FileTime* lastWrite);
// True when the file system reports attributes for the path (files and folders alike).
bool fileExists(const char* path);
// True when the path names a folder.
bool isDirectory(const char* path);
// Low 32 bits of the size a directory search reports; 0 when nothing is found.
uint32_t fileSizeByName(const char* path);
// True when both paths name the same existing file (same device and inode, or
// same volume and file index).
bool isSameFile(const char* pathA, const char* pathB);
// Deletes a file; true on success.
bool deleteFile(const char* path);
// Moves source over target, replacing it, as one step where the platform allows:
// target holds its old bytes or all of source's. On failure both files are as
// they were. Only used with source and target in the same folder.
// Windows: source first takes the replaced file's identity (its creation
// time, its security descriptor as far as the process may set it, and its
// attributes, marked for archiving), then one rename with
// MOVEFILE_REPLACE_EXISTING puts it in place, so the name always holds the
// old file or the new one. A read-only target is replaced like any other
// (its flag is lifted for the rename and comes back if the old file stays).
bool replaceFileWith(const char* source, const char* target);
