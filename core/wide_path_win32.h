#pragma once
// The UTF-8 paths of the programs at the Windows file calls (the W functions).
// Windows only.

#include <string>

// path (UTF-8) as a UTF-16 name; false, wide empty, when path is malformed.
bool widePathOf(const char* path, std::wstring& wide);
// widePathOf's name, or an empty one: a call given it fails as for a missing
// file, and a malformed path never names another file.
std::wstring widePath(const char* path);
// A UTF-16 name (NUL-terminated) as the programs' UTF-8 path.
std::string pathOfWide(const wchar_t* wide);
