// The code pages' stepping rules as plain functions: they depend on nothing,
// so the platform's rule (codepage_posix.cpp) can use one without calling
// back into codepage.cpp.
#include "core/codepage.h"

const char* utf8NextChar(const char* p)
{
    if (*p == 0)
        return p;
    const auto lead = static_cast<unsigned char>(*p);
    int length = 1;
    if (lead >= 0xF0 && lead <= 0xF7)
        length = 4;
    else if (lead >= 0xE0)
        length = lead <= 0xEF ? 3 : 1;
    else if (lead >= 0xC0)
        length = 2;
    // A truncated sequence stops at the terminator, never past it.
    const char* next = p + 1;
    for (int i = 1; i < length && *next != 0; ++i)
        ++next;
    return next;
}

const char* cp932NextChar(const char* p)
{
    if (*p == 0)
        return p;
    const auto lead = static_cast<unsigned char>(*p);
    const bool doubleByte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (doubleByte && p[1] != 0)
        return p + 2;
    return p + 1;
}
