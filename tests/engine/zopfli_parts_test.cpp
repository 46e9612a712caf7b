#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "engine/extended/extended_encoders.h"
#include "engine/worker_pool.h"
#include "engine/extended/zopfli_parts.h"

namespace {

struct PartsCase {
    const char* name;
    uint32_t size;
    bool repetitive;   // short runs and copies; else uniform noise
};

std::vector<uint8_t> caseBytes(const PartsCase& c)
{
    std::mt19937 random(c.size);
    std::vector<uint8_t> bytes(c.size);
    for (uint32_t i = 0; i < c.size; ++i)
        bytes[i] = c.repetitive ? static_cast<uint8_t>(i >= 300 && random() % 4 != 0 ? bytes[i - 300] : random() % 6)
                                : static_cast<uint8_t>(random());
    return bytes;
}

// Every split count gives a zlib stream that inflates to exactly the input,
// parts far below the 32 KiB window included (70,000 bytes in 6 parts); one
// part gives exactly zopfli's own stream.
TEST(ZopfliPartsTest, JoinedStreamsInflateToTheirInput)
{
    const PartsCase cases[] = {
        {"empty", 0, false}, {"one byte", 1, false}, {"five bytes", 5, true},
        {"noise", 20000, false}, {"repetitive", 70000, true},
    };
    for (const PartsCase& c : cases) {
        const std::vector<uint8_t> input = caseBytes(c);
        for (uint32_t parts = 1; parts <= 6; ++parts) {
            std::vector<uint8_t> stream;
            ASSERT_TRUE(zopfliEncodeParts(input.data(), c.size, 1, parts, nullptr, stream)) << c.name << " " << parts;
            std::vector<uint8_t> back(c.size + 1);
            uLongf backSize = back.size();
            ASSERT_EQ(uncompress(back.data(), &backSize, stream.data(), stream.size()), Z_OK) << c.name << " " << parts;
            back.resize(backSize);
            EXPECT_EQ(back, input) << c.name << " " << parts;
            std::vector<uint8_t> whole;   // one part is zopfli's own one-piece stream
            if (parts == 1 && zopfliEncode(input.data(), c.size, 1, whole)) {
                EXPECT_EQ(stream, whole) << c.name;
            }
        }
    }
}

// The pool only changes who encodes a part: the same bytes for no pool, a
// pool that started no worker, and one to three workers, with fewer and more
// parts than workers.
TEST(ZopfliPartsTest, SameStreamForEveryThreadCount)
{
    const std::vector<uint8_t> input = caseBytes({"repetitive", 90000, true});
    for (uint32_t parts : {2u, 5u}) {
        std::vector<uint8_t> alone;
        ASSERT_TRUE(zopfliDeflateParts(input.data(), 90000, 1, parts, nullptr, alone));
        for (unsigned threads : {0u, 1u, 2u, 3u}) {
            WorkerPool pool(threads);
            std::vector<uint8_t> stream;
            ASSERT_TRUE(zopfliDeflateParts(input.data(), 90000, 1, parts, &pool, stream));
            EXPECT_EQ(stream, alone) << parts << " parts, " << threads << " workers";
        }
    }
    EXPECT_EQ(zopfliPartCount(0), 1u);
    EXPECT_EQ(zopfliPartCount(3 * kZopfliPartBytes - 1), 2u);
    EXPECT_EQ(zopfliPartCount(uint64_t(1) << 40), kMaxZopfliParts);
}

}   // namespace

// Parts at zopfli's own block boundaries: ascending from 0, each at least the
// minimum, their stream inflates to the input and costs at most 0.5% over
// the one-piece stream on data with changing statistics.
TEST(ZopfliPartsTest, BlockStartsSplitWhereZopfliEndsBlocks)
{
    std::vector<uint8_t> input = caseBytes({"repetitive", 160000, true});
    const std::vector<uint8_t> noise = caseBytes({"noise", 40000, false});
    input.insert(input.begin() + 60000, noise.begin(), noise.end());   // a block of its own
    for (uint32_t minimum : {16384u, 65536u, 1u << 20}) {
        std::vector<uint32_t> starts;
        ASSERT_TRUE(zopfliBlockStarts(input.data(), uint32_t(input.size()), minimum, starts));
        ASSERT_FALSE(starts.empty());
        EXPECT_EQ(starts.front(), 0u);
        for (size_t i = 1; i < starts.size(); ++i)
            EXPECT_GE(starts[i] - starts[i - 1], minimum) << i;
        EXPECT_GE(uint32_t(input.size()) - starts.back(), starts.size() > 1 ? minimum : 0u);
        EXPECT_EQ(starts.size() > 1, minimum < input.size() / 2) << minimum;
        std::vector<uint8_t> parted, whole;
        ASSERT_TRUE(zopfliEncodeAt(input.data(), uint32_t(input.size()), 1, starts, nullptr, parted));
        ASSERT_TRUE(zopfliEncode(input.data(), uint32_t(input.size()), 1, whole));
        EXPECT_LE(parted.size() * 1000, whole.size() * 1005) << minimum;
        std::vector<uint8_t> back(input.size() + 1);
        uLongf backSize = back.size();
        ASSERT_EQ(uncompress(back.data(), &backSize, parted.data(), parted.size()), Z_OK);
        back.resize(backSize);
        EXPECT_EQ(back, input) << minimum;
    }
}
