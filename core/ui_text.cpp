#include "core/ui_text.h"

#include <atomic>
#include <cstring>
#include <string>

static_assert(kDefaultTextLanguage >= 0 && kDefaultTextLanguage < kTextLanguageCount, "a default language");

namespace {

constexpr int kEnglish = 0;   // the msgids: the table's first language
std::atomic<int> chosenLanguage{kDefaultTextLanguage};

int languageIndex(const std::string& code)
{
    for (int i = 0; i < kTextLanguageCount; ++i) {
        if (code == kTextLanguageCodes[i])
            return i;
    }
    return -1;
}

bool isSet(const char* value)
{
    return value != nullptr && *value != 0;
}

// "C", "POSIX" and "C.<codeset>" (C.UTF-8).
bool isCLocale(const char* name)
{
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

}  // namespace

const char* uiText(Msg id)
{
    return kMessageTexts[chosenLanguage.load(std::memory_order_relaxed)][static_cast<int>(id)];
}

bool chooseTextLanguage(const char* code)
{
    const int index = code ? languageIndex(code) : -1;
    if (index < 0)
        return false;
    chosenLanguage.store(index, std::memory_order_relaxed);
    return true;
}

const char* textLanguage()
{
    return kTextLanguageCodes[chosenLanguage.load(std::memory_order_relaxed)];
}

bool isDefaultTextLanguage()
{
    return chosenLanguage.load(std::memory_order_relaxed) == kDefaultTextLanguage;
}

const char* textLanguageOfName(const char* name)
{
    if (!isSet(name))
        return nullptr;
    const int index = languageIndex(std::string(name, std::strcspn(name, "_-.@")));
    return index < 0 ? nullptr : kTextLanguageCodes[index];
}

const char* textLanguageOfLocale(const char* languageList, const char* lcAll, const char* lcMessages,
                                 const char* lang)
{
    for (const char* entry = languageList; isSet(entry);) {
        const size_t length = std::strcspn(entry, ":");
        if (const char* code = textLanguageOfName(std::string(entry, length).c_str()))
            return code;
        entry += entry[length] == ':' ? length + 1 : length;
    }
    const char* locale = isSet(lcAll) ? lcAll : isSet(lcMessages) ? lcMessages : lang;
    if (!isSet(locale) || isCLocale(locale))
        return kTextLanguageCodes[kDefaultTextLanguage];
    const char* code = textLanguageOfName(locale);
    return code ? code : kTextLanguageCodes[kEnglish];
}
