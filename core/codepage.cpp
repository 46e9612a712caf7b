#include "core/codepage.h"

namespace {

CharStepper activeStepper = nullptr;   // null: the platform's rule

}  // namespace

const char* nextChar(const char* p)
{
    return activeStepper ? activeStepper(p) : platformNextChar(p);
}

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

ScopedCharStepper::ScopedCharStepper(CharStepper stepper) : previous_(activeStepper)
{
    activeStepper = stepper;
}

ScopedCharStepper::~ScopedCharStepper()
{
    activeStepper = previous_;
}
