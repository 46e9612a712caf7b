// The zlib facts the search builds on, checked against the zlib this build
// links: a stream fed in pieces equals one fed whole, and sameLengthParams
// only ever pairs parameters that give equal lengths, tried on data of many
// kinds at every length where one of its rules starts or stops to apply.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/deflate_stream.h"

namespace {

// A small deterministic generator (xorshift), so every run sees the same data.
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed * 2654435761u + 1) {}
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

using Generator = std::function<std::vector<uint8_t>(uint32_t length, uint32_t seed)>;

// Noise with copies from anywhere earlier: matches at every distance, so a
// smaller window loses some of them as soon as the data outgrows it.
std::vector<uint8_t> farCopies(uint32_t length, uint32_t seed)
{
    Random random(seed);
    std::vector<uint8_t> data;
    while (data.size() < length) {
        if (data.size() > 64 && random.below(3) != 0) {
            const size_t from = random.below(static_cast<uint32_t>(data.size() - 8));
            const size_t count = 8 + random.below(120);
            for (size_t i = 0; i < count && data.size() < length; ++i)
                data.push_back(data[from + i]);
        } else {
            data.push_back(static_cast<uint8_t>(random.next()));
        }
    }
    return data;
}

// Four symbols only: every three-byte string recurs constantly, so the hash
// chains grow as long as the data allows and collisions abound.
std::vector<uint8_t> fewSymbols(uint32_t length, uint32_t seed)
{
    Random random(seed);
    std::vector<uint8_t> data(length);
    for (uint8_t& byte : data)
        byte = static_cast<uint8_t>(random.below(4) * 37);
    return data;
}

// Rows like a filtered picture: runs, small differences, a type byte per row.
std::vector<uint8_t> pictureRows(uint32_t length, uint32_t seed)
{
    Random random(seed);
    std::vector<uint8_t> data(length);
    const uint32_t stride = 61 + random.below(40);
    uint8_t value = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (i % stride == 0) {
            data[i] = static_cast<uint8_t>(random.below(5));
            continue;
        }
        if (random.below(7) == 0)
            value = static_cast<uint8_t>(value + random.below(9) - 4);
        data[i] = value;
    }
    return data;
}

// Text-like bytes from a small vocabulary of words: long chains of true
// matches at all distances.
std::vector<uint8_t> words(uint32_t length, uint32_t seed)
{
    static const char* const vocabulary[] = {"filter ", "window ", "deflate ", "row ", "paeth ",
                                             "level ", "zlib ", "palette ", "chunk ", "the "};
    Random random(seed);
    std::vector<uint8_t> data;
    while (data.size() < length) {
        const char* word = vocabulary[random.below(10)];
        for (const char* c = word; *c && data.size() < length; ++c)
            data.push_back(static_cast<uint8_t>(*c));
    }
    return data;
}

const std::vector<std::pair<std::string, Generator>>& dataKinds()
{
    static const std::vector<std::pair<std::string, Generator>> kinds = {
        {"far copies", farCopies},
        {"few symbols", fewSymbols},
        {"picture rows", pictureRows},
        {"words", words},
    };
    return kinds;
}

// Lengths where a rule of sameLengthParams starts or stops to apply, with
// their neighbours.
std::vector<uint32_t> thresholdLengths()
{
    std::set<uint32_t> lengths;
    auto around = [&](uint32_t at) {
        for (int64_t d = -2; d <= 2; ++d)
            if (int64_t(at) + d > 0)
                lengths.insert(static_cast<uint32_t>(int64_t(at) + d));
    };
    for (int32_t w = 9; w <= 14; ++w)
        around((1u << w) - 262);          // the window reaches every byte
    for (int32_t m = 4; m <= 8; ++m)
        around((1u << (m + 6)) - 2);      // the symbol buffer never fills
    around(1023);                         // hash chains below the chain limit
    lengths.insert(1);
    lengths.insert(40);
    return {lengths.begin(), lengths.end()};
}

using Params = std::pair<int32_t, int32_t>;

Params mapped(uint32_t length, int32_t windowBits, int32_t memLevel)
{
    sameLengthParams(length, windowBits, memLevel);
    return {windowBits, memLevel};
}

bool zlibFollowsTheModel()
{
    // The rules apply only to the releases they were worked out for; on any
    // other zlib sameLengthParams changes nothing.
    return mapped(100, 12, 4) != Params(12, 4);
}

std::vector<uint8_t> compressedBytes(const uint8_t* data, uint32_t size, int32_t windowBits,
                                     int32_t memLevel, const std::vector<uint32_t>& pieces)
{
    struct Source {
        const uint8_t* data;
        uint32_t size;
        uint32_t at;
        const std::vector<uint32_t>* pieces;
        size_t next;
    } source = {data, size, 0, &pieces, 0};
    auto nextPiece = [](void* context, const uint8_t*& piece, uint32_t& count) {
        auto* s = static_cast<Source*>(context);
        const uint32_t wanted = s->pieces->empty() ? s->size
                                                   : (*s->pieces)[s->next++ % s->pieces->size()];
        count = std::min(wanted, s->size - s->at);
        piece = s->data + s->at;
        s->at += count;
        return true;
    };
    std::vector<uint8_t> out;
    auto collect = [](const uint8_t* bytes, uint32_t count, void* context) {
        auto* o = static_cast<std::vector<uint8_t>*>(context);
        o->insert(o->end(), bytes, bytes + count);
        return true;
    };
    uint8_t scratch[4096];
    uint32_t total = 0;
    EXPECT_TRUE(deflateFrom(nextPiece, &source, windowBits, memLevel, scratch, sizeof scratch,
                            collect, &out, total));
    EXPECT_EQ(total, out.size());
    return out;
}

}   // namespace

TEST(DeflateStream, InputInPiecesGivesTheSameStreamAsWholeInput)
{
    const std::vector<std::vector<uint32_t>> splits = {
        {1}, {3, 1, 7}, {262}, {4096}, {65536}, {1000, 1, 2, 50000, 17},
    };
    const uint32_t kLength = 80000;
    for (const auto& kind : dataKinds()) {
        // Longer than the largest window, so the window slides too.
        const std::vector<uint8_t> data = kind.second(kLength, 7);
        for (const Params& params : {Params(15, 9), Params(9, 4), Params(12, 6)}) {
            const std::vector<uint8_t> whole =
                compressedBytes(data.data(), kLength, params.first, params.second, {});
            ASSERT_FALSE(whole.empty());
            for (const auto& split : splits)
                EXPECT_EQ(compressedBytes(data.data(), kLength, params.first, params.second, split),
                          whole)
                    << kind.first << " first piece " << split[0];
        }
    }
}

TEST(DeflateStream, MeasuredLengthIsTheLengthOfTheStream)
{
    const std::vector<uint8_t> data = pictureRows(70000, 3);
    for (int32_t w = 8; w <= 15; ++w) {
        const std::vector<uint8_t> bytes = compressedBytes(data.data(), 70000, w, 5, {999});
        EXPECT_EQ(measureDeflate(data.data(), 70000, w, 5), bytes.size()) << w;
        // A complete zlib stream: it inflates back to the input.
        std::vector<uint8_t> back(70000 + 1);
        uLongf backSize = back.size();
        ASSERT_EQ(uncompress(back.data(), &backSize, bytes.data(), bytes.size()), Z_OK);
        ASSERT_EQ(backSize, 70000u);
        EXPECT_EQ(std::memcmp(back.data(), data.data(), 70000), 0);
    }
}

TEST(DeflateStream, AFailingSourceFailsTheCompression)
{
    auto failing = [](void*, const uint8_t*&, uint32_t&) { return false; };
    uint8_t scratch[1024];
    uint32_t total = 1234;
    EXPECT_FALSE(deflateFrom(failing, nullptr, 15, 8, scratch, sizeof scratch, nullptr, nullptr,
                             total));
    EXPECT_EQ(total, 1234u);
}

TEST(SameLengthParams, LeavesParametersAloneOnLargeData)
{
    for (int32_t w = 9; w <= 15; ++w)
        for (int32_t m = 4; m <= 9; ++m)
            EXPECT_EQ(mapped(40000, w, m), Params(w, m)) << w << "/" << m;
    EXPECT_EQ(mapped(40000, 3, 2), Params(3, 2));   // outside zlib's range: untouched
}

TEST(SameLengthParams, ClassesFollowTheRules)
{
    if (!zlibFollowsTheModel())
        GTEST_SKIP() << "zlib " << zlibVersion() << " is not one the rules were made for";
    // Window bits 8 is 9.
    EXPECT_EQ(mapped(40000, 8, 6), Params(9, 6));
    // The window reaches every byte: 15.
    EXPECT_EQ(mapped((1u << 12) - 262, 12, 7), Params(15, 7));
    EXPECT_EQ(mapped((1u << 12) - 261, 12, 7), Params(12, 7));
    EXPECT_EQ(mapped(250, 8, 9), Params(15, 9));
    EXPECT_EQ(mapped(251, 8, 9), Params(9, 9));
    // Short chains and a symbol buffer that never fills: memory level 9.
    EXPECT_EQ(mapped(1022, 15, 4), Params(15, 9));
    EXPECT_EQ(mapped(1023, 15, 4), Params(15, 4));
    EXPECT_EQ(mapped(1023, 15, 5), Params(15, 9));
    EXPECT_EQ(mapped(1025, 15, 5), Params(15, 5));     // chains may reach the limit
    // A match may lie exactly at a small window's distance limit: the memory
    // level matters however short the chains.
    EXPECT_EQ(mapped(763, 10, 6), Params(10, 6));
    EXPECT_EQ(mapped(762, 10, 6), Params(15, 9));
    EXPECT_EQ(mapped(2400, 9, 8), Params(9, 8));
    EXPECT_EQ(mapped(251, 9, 5), Params(9, 5));
}

TEST(SameLengthParams, PairsOnlyParametersOfEqualLength)
{
    const std::vector<uint32_t> lengths = thresholdLengths();
    int differencesOutsideClasses = 0;
    int pairsShared = 0;
    for (const auto& kind : dataKinds()) {
        for (uint32_t length : lengths) {
            const std::vector<uint8_t> data = kind.second(length, length);
            std::map<Params, uint32_t> sizes;
            for (int32_t w = 8; w <= 15; ++w)
                for (int32_t m = 4; m <= 9; ++m) {
                    const uint32_t size = measureDeflate(data.data(), length, w, m);
                    ASSERT_GT(size, 0u);
                    sizes[Params(w, m)] = size;
                }
            for (const auto& entry : sizes) {
                const Params to = mapped(length, entry.first.first, entry.first.second);
                if (to != entry.first)
                    ++pairsShared;
                EXPECT_EQ(entry.second, sizes[to])
                    << kind.first << ", " << length << " bytes: " << entry.first.first << "/"
                    << entry.first.second << " taken as " << to.first << "/" << to.second;
            }
            // The data must be able to tell parameters apart, or the check
            // above would prove nothing.
            for (const auto& entry : sizes)
                if (entry.second != sizes[{15, 9}])
                    ++differencesOutsideClasses;
        }
    }
    EXPECT_GT(differencesOutsideClasses, 100);
    if (zlibFollowsTheModel()) {
        EXPECT_GT(pairsShared, 1000);
    }
}
