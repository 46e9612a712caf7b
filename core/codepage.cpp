#include "core/codepage.h"

namespace {

CharStepper activeStepper = nullptr;   // null: the platform's rule

}  // namespace

const char* nextChar(const char* p)
{
    return activeStepper ? activeStepper(p) : platformNextChar(p);
}

ScopedCharStepper::ScopedCharStepper(CharStepper stepper) : previous_(activeStepper)
{
    activeStepper = stepper;
}

ScopedCharStepper::~ScopedCharStepper()
{
    activeStepper = previous_;
}
