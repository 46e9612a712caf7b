#include <cstring>

#include "fuzz/fuzz_checks.h"

const FuzzTarget kFuzzTargets[] = {
    {"png", checkPngLoad},
    {"gif", checkGifLoad},
    {"bmp", checkBmpLoad},
    {"animation", checkAnimationRead},
    {"convert", checkConversion},
    {"settings", checkSettingsParser},
    {"cmdline", checkCommandLineScanner},
};

const int kFuzzTargetCount = int(sizeof kFuzzTargets / sizeof kFuzzTargets[0]);

const FuzzTarget* findFuzzTarget(const char* name)
{
    for (const FuzzTarget& target : kFuzzTargets)
        if (std::strcmp(target.name, name) == 0)
            return &target;
    return nullptr;
}
