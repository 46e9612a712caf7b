#include <gtest/gtest.h>

#include <string>

#include "core/codepage.h"
#include "core/text_string.h"

namespace {

std::string truncated(const char* path)
{
    TextString s(path);
    s.truncateToFolder();
    return s.c_str();
}

std::string extensionOf(const char* path)
{
    TextString s(path);
    TextString ext;
    s.getExtension(ext);
    return ext.c_str();
}

std::string baseNameOf(const char* path)
{
    TextString s(path);
    TextString base;
    s.getBaseName(base);
    return base.c_str();
}

}  // namespace

TEST(TextStringCapacity, SizedConstructorRounding)
{
    EXPECT_EQ(TextString().capacity(), 63);
    EXPECT_EQ(TextString(0).capacity(), 63);
    EXPECT_EQ(TextString(63).capacity(), 63);
    EXPECT_EQ(TextString(64).capacity(), 127);
    EXPECT_EQ(TextString(127).capacity(), 127);
    EXPECT_EQ(TextString(128).capacity(), 255);
    EXPECT_EQ(TextString(256).capacity(), 511);
    EXPECT_EQ(TextString(511).capacity(), 511);
    EXPECT_EQ(TextString(512).capacity(), 512);
    EXPECT_EQ(TextString(1500).capacity(), 1500);
    EXPECT_EQ(TextString().bufferSize(), 64);
}

TEST(TextStringCapacity, ReserveRoundingWhenGrowing)
{
    struct Case { int assigned; int capacity; };
    for (Case c : {Case{10, 63}, Case{64, 127}, Case{100, 127}, Case{200, 255}, Case{300, 511}, Case{600, 1023},
                   Case{1500, 2047}, Case{3000, 3000}}) {
        TextString s;
        s.assign(std::string(static_cast<size_t>(c.assigned), 'x').c_str());
        EXPECT_EQ(s.capacity(), c.capacity) << c.assigned;
        EXPECT_EQ(s.length(), c.assigned);
        EXPECT_EQ(s.charAt(s.capacity()), 0);
    }
}

TEST(TextStringCapacity, NeverShrinks)
{
    TextString s;
    s.assign(std::string(600, 'y').c_str());
    s.assign("short");
    EXPECT_EQ(s.capacity(), 1023);
    EXPECT_STREQ(s.c_str(), "short");
}

TEST(TextStringEdit, AppendAndAppendCharGrowAcrossBoundaries)
{
    TextString s;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        s.appendChar(static_cast<char>('a' + i % 26));
        expected += static_cast<char>('a' + i % 26);
    }
    s.append("-tail");
    expected += "-tail";
    EXPECT_EQ(expected, s.c_str());
    EXPECT_EQ(s.capacity(), 511);
}

TEST(TextStringEdit, AppendingItselfKeepsBothCopies)
{
    TextString s(std::string(40, 'q').c_str());
    s.append(s.c_str());
    EXPECT_EQ(std::string(80, 'q'), s.c_str());
}

TEST(TextStringEdit, CharAtAndSetCharAtBounds)
{
    TextString s("abc");
    EXPECT_EQ(s.charAt(0), 'a');
    EXPECT_EQ(s.charAt(s.capacity()), 0);
    EXPECT_EQ(s.charAt(s.capacity() + 1), 0);
    EXPECT_EQ(s.charAt(-1), 0);
    s.setCharAt(1, 0);
    EXPECT_STREQ(s.c_str(), "a");
    s.setCharAt(s.capacity(), 'x');   // the final terminator is never overwritten
    EXPECT_EQ(s.charAt(s.capacity()), 0);
}

TEST(TextStringEdit, Substring)
{
    TextString s("hello world");
    TextString out;
    s.substring(out, 6, -1);
    EXPECT_STREQ(out.c_str(), "world");
    s.substring(out, 0, 5);
    EXPECT_STREQ(out.c_str(), "hello");
    s.substring(out, 6, 100);
    EXPECT_STREQ(out.c_str(), "world");
    s.substring(out, 11, 3);
    EXPECT_STREQ(out.c_str(), "");
}

TEST(TextStringPath, TruncateToFolder)
{
    EXPECT_EQ(truncated("C:\\a\\b.png"), "C:\\a");
    EXPECT_EQ(truncated("b.png"), "");
    EXPECT_EQ(truncated("x/y"), "x");
    EXPECT_EQ(truncated("C:\\a/b\\c"), "C:\\a/b");   // '\\' wins over a later '/'
}

TEST(TextStringPath, Extension)
{
    EXPECT_EQ(extensionOf("a.tar.gz"), "gz");
    EXPECT_EQ(extensionOf("noext"), "");
    EXPECT_EQ(extensionOf("pic."), "");
    EXPECT_EQ(extensionOf("IMAGE.PNG"), "PNG");
}

TEST(TextStringPath, BaseName)
{
    EXPECT_EQ(baseNameOf("C:\\dir\\pic.bmp"), "pic");
    EXPECT_EQ(baseNameOf("C:\\dir\\pic"), "pic");
    EXPECT_EQ(baseNameOf("dir/sub/pic.tar.gz"), "pic.tar");
    EXPECT_EQ(baseNameOf("plain"), "plain");
}

TEST(TextStringPath, ReplaceExtension)
{
    TextString s("pic.bmp");
    EXPECT_EQ(s.replaceExtension("png"), 0);
    EXPECT_STREQ(s.c_str(), "pic.png");
    TextString bare("pic");
    EXPECT_EQ(bare.replaceExtension("png"), -1);
    EXPECT_STREQ(bare.c_str(), "pic");
}

// A '.' in a folder name is not the file's extension: deriving an output name
// from such a path must never leave the input's folder.
TEST(TextStringPath, DotInFolderNameIsNoExtension)
{
    TextString windowsPath("C:\\old.dir\\picture");
    EXPECT_EQ(windowsPath.replaceExtension("png"), -1);
    EXPECT_STREQ(windowsPath.c_str(), "C:\\old.dir\\picture");
    EXPECT_EQ(extensionOf("C:\\old.dir\\picture"), "");
    EXPECT_EQ(baseNameOf("C:\\old.dir\\picture"), "picture");

    TextString posixPath("/tmp/old.dir/picture");
    EXPECT_EQ(posixPath.replaceExtension("png"), -1);
    EXPECT_EQ(extensionOf("/tmp/old.dir/pic.bmp"), "bmp");
}

TEST(TextStringPath, StripQuotes)
{
    TextString quoted("\"C:\\my files\\a.png\"");
    quoted.stripQuotes();
    EXPECT_STREQ(quoted.c_str(), "C:\\my files\\a.png");

    TextString unclosed("\"ab");
    unclosed.stripQuotes();
    EXPECT_STREQ(unclosed.c_str(), "a");

    TextString two("\"\"");
    two.stripQuotes();
    EXPECT_STREQ(two.c_str(), "\"\"");

    TextString plain("abc");
    plain.stripQuotes();
    EXPECT_STREQ(plain.c_str(), "abc");
}

TEST(TextStringSearch, FindFirstLastAndReplace)
{
    TextString s("a.b.c");
    EXPECT_EQ(s.findFirst('.', 0), 1);
    EXPECT_EQ(s.findFirst('.', 2), 3);
    EXPECT_EQ(s.findFirst('.', 4), -1);
    EXPECT_EQ(s.findLast('.'), 3);
    EXPECT_EQ(s.findLast('z'), -1);
    s.replaceChar('.', '_');
    EXPECT_STREQ(s.c_str(), "a_b_c");
}

TEST(TextStringCompare, CaseRules)
{
    TextString s("Image.PNG");
    EXPECT_EQ(s.compareNoCase("image.png"), 0);
    EXPECT_NE(s.compare("image.png"), 0);
    EXPECT_EQ(s.compare("Image.PNG"), 0);
}

// Shift-JIS: the character 0x95 0x5C ("表") has '\\' as its trail byte. Scans
// stepping by whole characters must not take it for a separator.
TEST(TextStringShiftJis, TrailByteBackslashIsNoSeparator)
{
    ScopedCharStepper cp932(cp932NextChar);
    const char* path = "C:\\\x95\x5C\\\x95\x5C.png";   // C:\表\表.png

    EXPECT_EQ(truncated(path), "C:\\\x95\x5C");
    EXPECT_EQ(baseNameOf(path), "\x95\x5C");
    EXPECT_EQ(extensionOf(path), "png");

    TextString name("\x95\x5C");
    EXPECT_EQ(name.findLast('\\'), -1);
    name.truncateToFolder();
    EXPECT_STREQ(name.c_str(), "");

    TextString replaced("a\\\x95\x5C");
    replaced.replaceChar('\\', '/');
    EXPECT_STREQ(replaced.c_str(), "a/\x95\x5C");

    // A trail byte 0x2E ('.') is no dot either: 0x81 0x2E is not a valid
    // character, but the stepping rule alone decides.
    TextString dotted("x\x81.");
    EXPECT_EQ(dotted.findLast('.'), -1);
}

TEST(TextStringShiftJis, ByteWiseScanWouldSplitTheCharacter)
{
    // The same text under the UTF-8 rule steps byte by byte over 0x95 and so
    // finds the trail byte: this is what the code-page rule protects against.
    ScopedCharStepper utf8(utf8NextChar);
    TextString s("\x95\x5C");
    EXPECT_EQ(s.findLast('\\'), 1);
}

TEST(CodePage, Utf8Stepping)
{
    const char* text = "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80z";   // a é あ 😀 z
    const char* p = text;
    p = utf8NextChar(p);
    EXPECT_EQ(p - text, 1);
    p = utf8NextChar(p);
    EXPECT_EQ(p - text, 3);
    p = utf8NextChar(p);
    EXPECT_EQ(p - text, 6);
    p = utf8NextChar(p);
    EXPECT_EQ(p - text, 10);
    p = utf8NextChar(p);
    EXPECT_EQ(*p, 0);
    EXPECT_EQ(utf8NextChar(p), p);

    const char* truncatedSequence = "\xE3\x81";
    EXPECT_EQ(utf8NextChar(truncatedSequence), truncatedSequence + 2);
}

TEST(CodePage, Cp932Stepping)
{
    const char* text = "\x82\xA0" "a\xE0\x40\xFC\xFC" "\x81";   // two-byte, ASCII, two two-byte, a lone lead
    const char* p = text;
    p = cp932NextChar(p);
    EXPECT_EQ(p - text, 2);
    p = cp932NextChar(p);
    EXPECT_EQ(p - text, 3);
    p = cp932NextChar(p);
    EXPECT_EQ(p - text, 5);
    p = cp932NextChar(p);
    EXPECT_EQ(p - text, 7);
    p = cp932NextChar(p);   // a lead byte before the terminator steps one byte only
    EXPECT_EQ(p - text, 8);
    EXPECT_EQ(cp932NextChar(p), p);
    // Half-width katakana (0xA1-0xDF) are single bytes.
    const char* kana = "\xBB\xB2";
    EXPECT_EQ(cp932NextChar(kana), kana + 1);
}
