// Name comparison of the settings file where the platform has no locale
// comparison of its own: byte for byte.

#include "app/logic/settings_file.h"

#include <cstring>

bool settingsNamesEqual(const char* a, const char* b, int n)
{
    return std::memcmp(a, b, static_cast<size_t>(n)) == 0;
}
