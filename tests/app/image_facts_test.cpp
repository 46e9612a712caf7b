#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/logic/image_facts.h"

namespace {

std::string byteSize(uint32_t bytes)
{
    TextString out;
    formatByteSize(out, bytes);
    return out.c_str();
}

std::string sizeChange(int32_t input, uint32_t output)
{
    TextString out;
    formatSizeChange(out, input, output);
    return out.c_str();
}

ConversionResult sampleResult(uint32_t fileSize)
{
    ConversionResult r;
    r.bitDepth = 8;
    r.filter = 4;
    r.windowBits = 13;
    r.memLevel = 6;
    r.fileSize = fileSize;
    return r;
}

}  // namespace

TEST(ImageFactsLabels, EachNamesTheValueBesideIt)
{
    ImageFacts facts;
    facts.describeImage("in.png", 1000, 640, 480, true);
    facts.describeResult(1000, sampleResult(900));
    // Each row is found by a piece of its value, so a label on the wrong row fails.
    const struct { const char* valuePart; const char* labelWord; } rows[] = {
        {"in.png", "ﾌｧｲﾙ"}, {"640", "画像"}, {"あり", "ｱﾙﾌｧ"}, {"1000Byte", "入力"},
        {"900Byte", "出力"}, {"-100", "増減"}, {"PAETH", "形式"},
    };
    for (const auto& r : rows) {
        std::vector<int> holding;
        for (int row = 0; row < kInfoRowCount; ++row)
            if (std::string(facts.values[row].c_str()).find(r.valuePart) != std::string::npos)
                holding.push_back(row);
        ASSERT_EQ(holding.size(), 1u) << r.valuePart;
        const std::string label = uiText(kInfoRowLabels[holding[0]]);
        EXPECT_NE(label.find(r.labelWord), std::string::npos) << label << " beside " << r.valuePart;
    }
}

TEST(ImageFactsFormats, ByteSizeWithKilobytes)
{
    EXPECT_EQ(byteSize(12345), "12345Byte (12.06KB)");
    EXPECT_EQ(byteSize(0), "0Byte (0.00KB)");
    EXPECT_EQ(byteSize(1024), "1024Byte (1.00KB)");
    EXPECT_EQ(byteSize(1535), "1535Byte (1.50KB)");
    EXPECT_EQ(byteSize(4294967295u), "4294967295Byte (4194304.00KB)");
}

TEST(ImageFactsFormats, SizeChangeSigns)
{
    EXPECT_EQ(sizeChange(1000, 900), "-100Byte");
    EXPECT_EQ(sizeChange(1000, 1000), "0Byte");
    EXPECT_EQ(sizeChange(1000, 1100), "+100Byte");
    EXPECT_EQ(sizeChange(kNoInputSize, 1100), "----");
    // Sizes at the ends of the ranges do not wrap.
    EXPECT_EQ(sizeChange(0, 4294967295u), "+4294967295Byte");
    EXPECT_EQ(sizeChange(2147483647, 0), "-2147483647Byte");
}

TEST(ImageFactsRows, ImageFromAFile)
{
    ImageFacts facts;
    facts.describeImage("C:\\pics\\a b.png", 12345, 640, 480, false);
    EXPECT_STREQ(facts.values[ROW_FILE_NAME].c_str(), "C:\\pics\\a b.png");
    EXPECT_STREQ(facts.values[ROW_IMAGE_SIZE].c_str(), "640 x 480");
    EXPECT_STREQ(facts.values[ROW_ALPHA].c_str(), "×なし");
    EXPECT_STREQ(facts.values[ROW_INPUT_SIZE].c_str(), "12345Byte (12.06KB)");
    for (int row = ROW_OUTPUT_SIZE; row < kInfoRowCount; ++row)
        EXPECT_STREQ(facts.values[row].c_str(), "") << row;
}

TEST(ImageFactsRows, ImageFromTheClipboard)
{
    ImageFacts facts;
    facts.describeImage("ignored", kNoInputSize, 3, 2, true);
    EXPECT_STREQ(facts.values[ROW_FILE_NAME].c_str(), "<ｸﾘｯﾌﾟﾎﾞｰﾄﾞ>");
    EXPECT_STREQ(facts.values[ROW_ALPHA].c_str(), "○あり");
    EXPECT_STREQ(facts.values[ROW_INPUT_SIZE].c_str(), "----");
    facts.describeResult(kNoInputSize, sampleResult(2048));
    EXPECT_STREQ(facts.values[ROW_OUTPUT_SIZE].c_str(), "2048Byte (2.00KB)");
    EXPECT_STREQ(facts.values[ROW_SIZE_CHANGE].c_str(), "----");
    EXPECT_STREQ(facts.values[ROW_OUTPUT_FORMAT].c_str(), "8BIT PAETH zw 13 zm 6");
}

// Without a default search (extended level 1) the format row shows the
// extended search's choice, or "----" when there is none to show.
TEST(ImageFactsRows, FormatRowWithoutTheDefaultSearch)
{
    ConversionResult none = sampleResult(700);
    none.bitDepth = none.filter = none.windowBits = none.memLevel = 0;
    ImageFacts facts;
    facts.describeImage("a.bmp", 1000, 10, 10, false);
    facts.describeResult(1000, none, "パレット 4ビット, 隣接順, PAETH, libdeflate 12, レベル1");
    EXPECT_STREQ(facts.values[ROW_OUTPUT_FORMAT].c_str(), "パレット 4ビット, 隣接順, PAETH, libdeflate 12, レベル1");
    EXPECT_STREQ(facts.values[ROW_OUTPUT_SIZE].c_str(), "700Byte (0.68KB)");
    facts.describeResult(1000, none);
    EXPECT_STREQ(facts.values[ROW_OUTPUT_FORMAT].c_str(), "----");
    // With it, the default search's encoding, whatever choice is given.
    facts.describeResult(1000, sampleResult(700), "既定, レベル2");
    EXPECT_STREQ(facts.values[ROW_OUTPUT_FORMAT].c_str(), "8BIT PAETH zw 13 zm 6");
}

TEST(ImageFactsRows, ResultRowsLastUntilTheNextLoad)
{
    ImageFacts facts;
    facts.describeImage("a.bmp", 1000, 10, 10, false);
    facts.describeResult(1000, sampleResult(900));
    EXPECT_STREQ(facts.values[ROW_SIZE_CHANGE].c_str(), "-100Byte");
    // A second conversion of the same image overwrites them.
    facts.describeResult(1000, sampleResult(1100));
    EXPECT_STREQ(facts.values[ROW_SIZE_CHANGE].c_str(), "+100Byte");
    EXPECT_STREQ(facts.values[ROW_FILE_NAME].c_str(), "a.bmp");
    // A new load clears them.
    facts.describeImage("b.gif", 50, 1, 1, false);
    EXPECT_STREQ(facts.values[ROW_OUTPUT_SIZE].c_str(), "");
    EXPECT_STREQ(facts.values[ROW_SIZE_CHANGE].c_str(), "");
    EXPECT_STREQ(facts.values[ROW_OUTPUT_FORMAT].c_str(), "");
}

TEST(ImageFactsRows, LongPathIsKeptWhole)
{
    const std::string path = "C:\\" + std::string(700, 'p') + ".png";
    ImageFacts facts;
    facts.describeImage(path.c_str(), 1, 1, 1, false);
    EXPECT_EQ(std::string(facts.values[ROW_FILE_NAME].c_str()), path);
}
