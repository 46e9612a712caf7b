#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "core/path_text.h"

namespace {

// The code points of a UTF-8 text, stand-ins "<U+hex>" read back as theirs.
std::u32string codePointsOf(const std::string& text)
{
    std::u32string points;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 3, "<U+") == 0) {
            const size_t end = text.find('>', i);
            points += static_cast<char32_t>(std::strtoul(text.substr(i + 3, end - i - 3).c_str(), nullptr, 16));
            i = end + 1;
            continue;
        }
        std::u16string units;
        size_t length = 1;
        while (!utf16FromUtf8(text.substr(i, length).c_str(), units) && length < 4)
            ++length;
        const char32_t c = units.size() == 2 ? 0x10000 + ((units[0] - 0xD800u) << 10) + (units[1] - 0xDC00u)
                                             : units.empty() ? 0xFFFD : units[0];
        points += c;
        i += length;
    }
    return points;
}

// A code page of its own for the walk: holds the even code points, as UTF-8.
bool evenPoints(uint32_t c, std::string& out)
{
    if (c % 2 != 0)
        return false;
    std::u16string unit(1, static_cast<char16_t>(c));
    out += c < 0x10000 ? utf8FromUtf16(unit.data(), 1) : std::string();
    return c < 0x10000;
}

}  // namespace

// The names of every kind over each conversion: UTF-16 and back, and how the
// system shows them (Windows: code page 932, as the Wine runs set it).
TEST(PathText, NamesConvertAndShow)
{
    const struct {
        const char* name;
        const char* shownIn932;
    } names[] = {
        {u8"café.png", "caf<U+00E9>.png"},
        {u8"图片.png", "<U+56FE>\x95\xd0.png"},
        {u8"사진\\x.png", "<U+C0AC><U+C9C4>\\x.png"},
        {u8"🎨.bmp", "<U+1F3A8>.bmp"},
        {u8"日本語.gif", "\x93\xfa\x96\x7b\x8c\xea.gif"},
        {"plain.png", "plain.png"},
    };
    for (const auto& c : names) {
        std::u16string wide;
        ASSERT_TRUE(utf16FromUtf8(c.name, wide)) << c.name;
        EXPECT_EQ(utf8FromUtf16(wide.data(), wide.size()), c.name);
#ifdef _WIN32
        EXPECT_EQ(displayPath(c.name), c.shownIn932);
        std::string back;
        EXPECT_EQ(pathFromSystemText(c.shownIn932, back) && back == c.name,
                  std::string(c.shownIn932).find("<U+") == std::string::npos);
#else
        EXPECT_EQ(displayPath(c.name), c.name);
#endif
    }
    // Malformed UTF-8 names no UTF-16 name and shows as the replacement's stand-in.
    for (const char* bad : {"\xC0\xAF", "a\xE6\x96", "\xFF", "\xF4\x90\x80\x80", "\x80"}) {
        std::u16string wide = u"stale";
        EXPECT_FALSE(utf16FromUtf8(bad, wide)) << bad;
        EXPECT_TRUE(wide.empty());
        EXPECT_NE(displayPathWith(bad, evenPoints).find("<U+FFFD>"), std::string::npos);
    }
}

// Properties over random names: every UTF-16 name (unpaired surrogates too)
// comes back from UTF-8 unit for unit, and the shown form, stand-ins read
// back, is the name character for character, so no name is shown as another.
TEST(PathText, RandomNamesRoundTripAndShowUnambiguously)
{
    std::mt19937 random(29);
    const char16_t pool[] = {u'a', u'.', u'\\', u'\u00E9', u'\u00EA', u'\u56FE', u'\u7247', 0xD83C, 0xDFA8, 0xDC00, 0xD800};
    for (int round = 0; round < 2000; ++round) {
        std::u16string name;
        for (int n = random() % 9; n > 0; --n)
            name += pool[random() % (sizeof pool / sizeof pool[0])];
        const std::string utf8 = utf8FromUtf16(name.data(), name.size());
        std::u16string back;
        ASSERT_TRUE(utf16FromUtf8(utf8.c_str(), back));
        ASSERT_EQ(back, name);
        const std::string shown = displayPathWith(utf8.c_str(), evenPoints);
        ASSERT_EQ(codePointsOf(shown), codePointsOf(utf8)) << shown;
    }
}
