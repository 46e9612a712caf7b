// Platform-independent parts of FileHandle and the path helpers built on it.

#include "core/file_handle.h"

#include <cstdio>
#include <cstring>

#include "core/text_string.h"

uint32_t FileHandle::readUInt32BE(uint32_t& value)
{
    uint8_t bytes[4];
    const uint32_t n = read(bytes, 4);
    if (n == 4)
        value = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    return n;
}

bool FileHandle::writeUInt32(uint32_t value)
{
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return write(bytes, 4) == 4;
}

bool FileHandle::writeUInt32BE(uint32_t value)
{
    const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    return write(bytes, 4) == 4;
}

bool FileHandle::writeText(const char* text)
{
    const auto n = static_cast<uint32_t>(std::strlen(text));
    return n == 0 || write(text, n) == n;
}

bool FileHandle::writeText(const TextString& text)
{
    return writeText(text.c_str());
}

bool FileHandle::writeNewline()
{
    return write("\r\n", 2) == 2;
}

bool FileHandle::writeKeyInt(const char* key, int value)
{
    TextString line(static_cast<int>(std::strlen(key)) + 20);
    std::snprintf(line.buffer(), static_cast<size_t>(line.bufferSize()), "%s=%d\r\n", key, value);
    return writeText(line);
}

bool FileHandle::writeKeyText(const char* key, const char* value)
{
    return writeText(key) && writeText("=") && writeText(value) && writeNewline();
}

bool getFileTimes(const char* path, FileTime* creation, FileTime* lastAccess, FileTime* lastWrite)
{
    FileHandle file;
    if (!file.openRead(path))
        return false;
    file.getTimes(creation, lastAccess, lastWrite);
    file.close();
    return true;
}

bool setFileTimes(const char* path, const FileTime* creation, const FileTime* lastAccess,
                  const FileTime* lastWrite)
{
    FileHandle file;
    if (!file.openReadWrite(path))
        return false;
    file.setTimes(creation, lastAccess, lastWrite);
    file.close();
    return true;
}
