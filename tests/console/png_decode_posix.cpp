#include "tests/console/console_test_support.h"

bool decodeOutputPng(const std::string& path, RgbaImage& out)
{
    return decodePngWithLibpng(path, out);
}
