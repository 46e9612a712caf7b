#pragma once
// TextString: an owned, growable, NUL-terminated 8-bit string with the path
// operations of the programs. Paths are UTF-8 on every system (path_text.h);
// string resources are texts of the system code page.
//
// The buffer holds capacity + 1 bytes and the byte at index capacity is always
// 0. Capacities are rounded (see reserve). Scans step by whole characters
// (codepage.h). The heap is assumed to succeed. Not copyable.

#include <cstdint>

class TextString {
public:
    TextString();
    // Capacity rounded up: below 64 -> 63, below 128 -> 127, below 256 -> 255,
    // below 512 -> 511, otherwise n.
    explicit TextString(int n);
    explicit TextString(const char* text);
    ~TextString();
    TextString(const TextString&) = delete;
    TextString& operator=(const TextString&) = delete;

    // Grows (never shrinks) so that n bytes fit. Capacity rounded up: below 128
    // -> 127, below 256 -> 255, below 512 -> 511, below 1024 -> 1023,
    // below 2048 -> 2047, otherwise n.
    void reserve(int n);
    void assign(const char* text);
    void append(const char* text);
    void appendChar(char ch);
    // Loads string resource id, truncated to the current capacity. False when
    // there is no such resource (the string is then empty).
    bool loadResource(unsigned id);

    int length() const;
    int bufferSize() const { return capacity_ + 1; }
    int capacity() const { return capacity_; }
    const char* c_str() const { return text_; }
    char* buffer() { return text_; }

    // Stores ch at i when 0 <= i < capacity; otherwise nothing.
    void setCharAt(int i, char ch);
    // The byte at i when 0 <= i <= capacity; 0 beyond.
    char charAt(int i) const;
    // Copies count bytes from start into out; count -1 (or more than remains) copies to the end.
    void substring(TextString& out, int start, int count) const;
    void clear();
    bool isEmpty() const { return text_[0] == 0; }
    // Case-insensitive and case-sensitive comparisons of paths: 0 when equal.
    // Windows compares the UTF-16 names ordinally (ignoring case as the file
    // system does); POSIX compares bytes (strcasecmp ignores ASCII case).
    int compareNoCase(const char* text) const;
    int compare(const char* text) const;

    // Character-wise searches comparing lead bytes only; -1 when not found.
    int findFirst(char ch, int from) const;
    int findLast(char ch) const;
    void replaceChar(char ch, char to);

    // Cuts at the last '\\' (else the last '/'); with neither the string becomes empty.
    void truncateToFolder();
    // The extension operations look for the last '.' of the file name only: a
    // '.' before the last separator belongs to a folder name and counts as none,
    // so a derived name never leaves the input's folder.

    // Index of the extension's '.', -1 when the file name has none.
    int extensionDot() const;
    // out = text after the extension's '.', or empty.
    void getExtension(TextString& out) const;
    // out = text after the last '\\' (else '/', else from the start) up to the
    // extension's '.' (else to the end).
    void getBaseName(TextString& out) const;
    // Keeps everything up to and including the extension's '.' and appends ext.
    // Returns -1 and changes nothing when there is none.
    int replaceExtension(const char* ext);
    // When length >= 3 and the first byte is '"', removes the first and the last byte.
    void stripQuotes();
    // Sets the string to the running program's folder, or to a file in it when
    // name is given. False when the program's path cannot be had.
    bool setToModuleFolder(const char* name);

private:
    char* text_;
    int capacity_;
};

