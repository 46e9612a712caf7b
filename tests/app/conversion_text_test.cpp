#include <gtest/gtest.h>

#include <string>

#include "app/logic/conversion_text.h"
#include "core/text_string.h"

namespace {

std::string piece(int32_t d, int32_t w, int32_t m, int32_t f, int32_t size)
{
    TextString out;
    formatProgressPiece(out, decodeProgress(d, w, m, f, size));
    return out.c_str();
}

ConversionResult result(int32_t depth, int32_t filter, int32_t w, int32_t m, uint32_t fileSize)
{
    ConversionResult r;
    r.bitDepth = depth;
    r.filter = filter;
    r.windowBits = w;
    r.memLevel = m;
    r.fileSize = fileSize;
    r.dataSize = 1;
    return r;
}

}  // namespace

TEST(ConversionLog, EachEventGivesItsPiece)
{
    EXPECT_EQ(piece(8, -1, -1, -1, -1), "=== <8BIT> ===\r\n");
    EXPECT_EQ(piece(32, -1, -1, -1, -1), "=== <32BIT> ===\r\n");
    EXPECT_EQ(piece(-1, -1, -1, 2, -1), "filter 2 ... ");
    EXPECT_EQ(piece(-1, -1, -1, 2, 10234), "10234\r\n");
    EXPECT_EQ(piece(-1, 15, 9, -1, -1), "zw 15 zm 9 ... ");
    EXPECT_EQ(piece(-1, 15, 9, -1, 9876), "9876\r\n");
    EXPECT_EQ(piece(-1, -1, -1, 0, -1), "filter 0 ... ");   // filter NONE is 0, not "absent"
    EXPECT_EQ(piece(-1, -1, -1, 5, 0), "0\r\n");            // a size of 0 is a result
    EXPECT_EQ(piece(-1, -1, -1, -1, -1), ".");              // a step of the extended search
}

TEST(ConversionLog, TrialsJoinIntoOneLineEach)
{
    // The sequence the engine reports for one bit depth with one filter and
    // one parameter trial.
    std::string log;
    log += piece(4, -1, -1, -1, -1);
    log += piece(-1, -1, -1, 1, -1);
    log += piece(-1, -1, -1, 1, 777);
    log += piece(-1, 14, 8, -1, -1);
    log += piece(-1, 14, 8, -1, 701);
    EXPECT_EQ(log, "=== <4BIT> ===\r\nfilter 1 ... 777\r\nzw 14 zm 8 ... 701\r\n");
}

TEST(ConversionLog, ExtremeArgumentsFitThePiece)
{
    EXPECT_EQ(piece(-1, INT32_MAX, INT32_MAX, -1, -1), "zw 2147483647 zm 2147483647 ... ");
    EXPECT_EQ(piece(-1, -1, -1, 0, INT32_MAX), "2147483647\r\n");
    EXPECT_EQ(piece(-1, -1, -1, INT32_MAX, -1), "filter 2147483647 ... ");
}

TEST(ConversionResultText, ResultBlock)
{
    TextString out;
    formatResultBlock(out, result(8, 5, 15, 9, 12345));
    EXPECT_STREQ(out.c_str(), "\r\n結果\r\n[ 8BIT 総和最小 zw 15 zm 9 ]\r\n[ FileSize : 12345 Byte ]");
    formatResultBlock(out, result(24, 0, 8, 4, 67));
    EXPECT_STREQ(out.c_str(), "\r\n結果\r\n[ 24BIT NONE zw 8 zm 4 ]\r\n[ FileSize : 67 Byte ]");
    // No default search ran (extended level 1): its line is left out.
    formatResultBlock(out, result(0, 0, 0, 0, 4321));
    EXPECT_STREQ(out.c_str(), "\r\n結果\r\n[ FileSize : 4321 Byte ]");
}

TEST(ConversionResultText, EncodingSummaryNamesEveryFilter)
{
    const char* const names[] = {"NONE", "SUB", "UP", "AVERAGE", "PAETH", "総和最小"};
    for (int f = 0; f < 6; ++f) {
        TextString out;
        formatEncodingSummary(out, result(32, f, 12, 7, 1));
        EXPECT_EQ(std::string(out.c_str()), std::string("32BIT ") + names[f] + " zw 12 zm 7");
    }
}

TEST(ConversionResultText, UnknownFilterDoesNotReadOutsideTheNames)
{
    EXPECT_STREQ(filterDisplayName(-1), "?");
    EXPECT_STREQ(filterDisplayName(6), "?");
    EXPECT_STREQ(filterDisplayName(4), "PAETH");
}
