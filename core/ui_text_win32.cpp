#include "core/ui_text.h"

#include <windows.h>

const char* userTextLanguage()
{
    // The ISO 639 name of the UI language ("ja", "en", "de").
    char name[16] = "";
    const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    if (GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, name, sizeof name) > 0) {
        if (const char* code = textLanguageOfName(name))
            return code;
    }
    return "en";
}
