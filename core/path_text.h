#pragma once
// Paths inside the programs are UTF-8 bytes on every system. On Windows they
// come from and go to the system's UTF-16 names (an unpaired surrogate is kept
// as its own 3-byte form, so every listed name converts back to itself) and
// are converted to the system code page only to be shown.
//
// Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <string>

// count UTF-16 units of text as UTF-8.
std::string utf8FromUtf16(const char16_t* text, size_t count);
// text (NUL-terminated UTF-8) as UTF-16 into out; false, out empty, when a
// byte starts no well-formed sequence.
bool utf16FromUtf8(const char* text, std::u16string& out);

// The stand-in shown for a character the code page lacks: "<U+" and 4 to 6
// upper-case hex digits and ">". Windows allows no '<' or '>' in a file name,
// so the stand-in is never part of another file's name.
std::string pathStandIn(uint32_t codePoint);

// The path as the system code page shows it. POSIX: unchanged. Windows: each
// character the code page cannot hold exactly becomes its stand-in, and a
// byte that starts no well-formed sequence becomes "<U+FFFD>"; every other
// character is its code-page bytes.
std::string displayPath(const char* path);

// The walk behind displayPath: ASCII as it is, a malformed byte as "<U+FFFD>",
// and each other character as shown() appends it to out, or as its stand-in
// when shown() returns false (the code page lacks it).
std::string displayPathWith(const char* path, bool (*shown)(uint32_t codePoint, std::string& out));

// A text of the system code page (as written by an older program) as a path.
// POSIX: unchanged. Windows: converted; false, path empty, when the text is
// no valid text of the code page.
bool pathFromSystemText(const char* text, std::string& path);
