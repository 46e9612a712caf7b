// POSIX parts of the folder test helpers.

#include "tests/app/folder_test_support.h"

bool decodeOutputPng(const std::string& path, RgbaImage& out)
{
    return decodePngWithLibpng(path, out);
}

std::string writeHiddenFile(const std::string& folder, const std::string& name, const Bytes& bytes)
{
    const std::string hidden = "." + name;
    writeFileBytes(joined(folder, hidden), bytes);
    return hidden;
}

std::string otherSpellingOfFolder(const std::string& path)
{
    return path;
}
