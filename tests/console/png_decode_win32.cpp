#include "tests/console/console_test_support.h"

// No libpng in the cross build: the loader is the decoder here.
bool decodeOutputPng(const std::string& path, RgbaImage& out)
{
    return loadAsRgba(path, out, nullptr);
}
