#pragma once
// SettingsFile: a small reader for KEY=value files with [Section] headers.
//
// The whole file is read into `text` and split into lines in place. Rules:
// - A line ends at CR LF, a lone CR or a lone LF. Neither byte is ever part of
//   a multi-byte character (UTF-8, or a double-byte code page, whose trail
//   bytes are 0x40 or above), so the text is stepped by bytes. The first NUL
//   byte ends the text.
// - A section header is a line "[name]" (bytes after the "]" are ignored); the
//   first one with the wanted name is the section. Its lines run up to the next
//   line that starts with "[".
// - A key's value is the rest of the first section line that starts with the
//   key followed directly by "=". No trimming, quoting or comments.
// - Names and keys compare case-sensitively (settingsNamesEqual).
//
// Not copyable; one thread at a time.

#include <cstdint>

#include "core/byte_buffer.h"

class TextString;

class SettingsFile {
public:
    SettingsFile() = default;
    ~SettingsFile() { release(); }
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Reads and splits the file. False (and no lines) when the file cannot be
    // opened, is empty, or does not fit in memory.
    bool load(const char* path);
    // Takes the text to parse from memory (size bytes, may hold NULs); the same
    // rules as load apply. False for an empty block or no memory.
    bool loadText(const char* bytes, uint32_t size);
    // Drops the text and the lines; section becomes -1.
    void release();

    // Selects the first section header with this name; section -1 when none.
    void selectSection(const char* name);
    // The value of key in the selected section (a NUL-terminated text inside
    // `text`, valid until release or the next load), or null.
    const char* findValue(const char* key) const;
    // The key's value read as a decimal number (parseSettingsInt), or
    // defaultValue when the key is missing.
    int32_t getInt(const char* key, int32_t defaultValue) const;
    // out = the key's value, or defaultValue when the key is missing.
    void getString(const char* key, TextString& out, const char* defaultValue) const;

    // Line i (0 <= i < lineCount), without its line end.
    const char* line(int32_t i) const { return reinterpret_cast<char* const*>(lines.data)[i]; }

    ByteBuffer text;            // the file's bytes plus one NUL, split in place
    ByteBuffer lines;           // lineCount pointers into text, in file order
    int32_t lineCount = 0;
    int32_t section = -1;       // index in lines of the selected header

private:
    // Allocates text for size bytes and a NUL; null for size 0 or when the
    // block cannot be had.
    uint8_t* allocateText(uint32_t size);
    bool split();
};

// A decimal number as the settings file holds it: leading white space skipped,
// an optional sign, then digits up to the first other character. No digits
// read as 0; values beyond the 32-bit range saturate.
int32_t parseSettingsInt(const char* text);

// True when the first n bytes of a and b are the same text, compared
// case-sensitively (on Windows by the system default locale, as the platform
// compares strings; elsewhere byte by byte).
bool settingsNamesEqual(const char* a, const char* b, int n);
