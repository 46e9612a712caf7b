#include "core/ui_text.h"

#include <cstdlib>

const char* userTextLanguage()
{
    return textLanguageOfLocale(std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                std::getenv("LANG"));
}
