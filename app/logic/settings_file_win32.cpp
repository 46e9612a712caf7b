// Name comparison of the settings file: the system default locale without any
// ignore flags, so case counts and only an exact match is equal.

#include "app/logic/settings_file.h"

#include <windows.h>

bool settingsNamesEqual(const char* a, const char* b, int n)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a, n, b, n) == CSTR_EQUAL;
}
