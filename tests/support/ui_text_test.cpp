// The language of the texts: chosen from the locale variables as the
// programs choose it, and only among the languages with texts.

#include <gtest/gtest.h>

#include <string>

#include "core/ui_text.h"

namespace {

// The environment of one case: LANGUAGE, LC_ALL, LC_MESSAGES, LANG (null:
// not set) and the language the texts must be in.
struct LocaleCase {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* expected;
};

const LocaleCase kLocaleCases[] = {
    {nullptr, nullptr, nullptr, nullptr, "ja"},   // no locale at all
    {"", "", "", "", "ja"},                       // set but empty: as not set
    {nullptr, nullptr, nullptr, "C", "ja"},
    {nullptr, nullptr, nullptr, "POSIX", "ja"},
    {nullptr, nullptr, nullptr, "C.UTF-8", "ja"},
    {nullptr, nullptr, nullptr, "C.utf8", "ja"},
    {nullptr, nullptr, nullptr, "ja_JP.UTF-8", "ja"},
    {nullptr, nullptr, nullptr, "ja_JP.eucJP", "ja"},
    {nullptr, nullptr, nullptr, "ja", "ja"},
    {nullptr, nullptr, nullptr, "en_US.UTF-8", "en"},
    {nullptr, nullptr, nullptr, "en_GB", "en"},
    {nullptr, nullptr, nullptr, "de_DE.UTF-8", "en"},
    {nullptr, nullptr, nullptr, "jam_JM", "en"},        // another language that begins with "ja"
    {nullptr, nullptr, nullptr, "Japanese", "en"},      // no language code
    {nullptr, "C", nullptr, "en_US.UTF-8", "ja"},       // LC_ALL before LANG
    {nullptr, "en_US.UTF-8", nullptr, "ja_JP.UTF-8", "en"},
    {nullptr, nullptr, "de_DE.UTF-8", "ja_JP.UTF-8", "en"},   // LC_MESSAGES before LANG
    {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", nullptr, "ja"},   // LC_ALL before LC_MESSAGES
    {nullptr, nullptr, "C", "en_US.UTF-8", "ja"},
    {"en", nullptr, nullptr, nullptr, "en"},            // a container: LANGUAGE=en asks for English
    {"en", "C", nullptr, nullptr, "en"},                // even in the C locale
    {"en", nullptr, nullptr, "ja_JP.UTF-8", "en"},
    {"ja", nullptr, nullptr, "en_US.UTF-8", "ja"},
    {"de:en_GB:ja", nullptr, nullptr, "ja_JP.UTF-8", "en"},   // the first listed language with texts
    {"::ja:en", nullptr, nullptr, "en_US.UTF-8", "ja"},       // empty entries skipped
    {"de", nullptr, nullptr, "ja_JP.UTF-8", "ja"},            // none with texts: the locale decides
    {"de", nullptr, nullptr, nullptr, "ja"},
    {"C", nullptr, nullptr, "en_US.UTF-8", "en"},
};

std::string shown(const char* value)
{
    return value ? std::string("\"") + value + "\"" : std::string("unset");
}

// Chooses a language for one test and the default again after it.
class ChosenLanguage {
public:
    explicit ChosenLanguage(const char* code) { EXPECT_TRUE(chooseTextLanguage(code)) << code; }
    ~ChosenLanguage() { chooseTextLanguage(kTextLanguageCodes[kDefaultTextLanguage]); }
};

}  // namespace

TEST(TextLanguage, ChosenFromTheLocaleVariables)
{
    for (const LocaleCase& c : kLocaleCases) {
        const char* language = textLanguageOfLocale(c.language, c.lcAll, c.lcMessages, c.lang);
        ASSERT_NE(language, nullptr);
        EXPECT_STREQ(language, c.expected) << "LANGUAGE " << shown(c.language) << ", LC_ALL " << shown(c.lcAll)
                                           << ", LC_MESSAGES " << shown(c.lcMessages) << ", LANG "
                                           << shown(c.lang);
    }
}

TEST(TextLanguage, OnlyALanguageWithTextsCanBeChosen)
{
    EXPECT_STREQ(textLanguage(), "ja");
    EXPECT_TRUE(isDefaultTextLanguage());
    const std::string japanese = uiText(Msg::ReportOutputError);
    for (const char* code : {"de", "", "e", "EN", "en_US"})
        EXPECT_FALSE(chooseTextLanguage(code)) << code;
    EXPECT_FALSE(chooseTextLanguage(nullptr));
    EXPECT_EQ(uiText(Msg::ReportOutputError), japanese);
    {
        const ChosenLanguage english("en");
        EXPECT_STREQ(textLanguage(), "en");
        EXPECT_FALSE(isDefaultTextLanguage());
        EXPECT_NE(uiText(Msg::ReportOutputError), japanese);
    }
    EXPECT_EQ(uiText(Msg::ReportOutputError), japanese);
}
