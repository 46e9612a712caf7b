// rank_check: how the deflate encoders rank the extended search's candidates,
// what the libdeflate-scored filter plan gives, and what splitting zopfli into
// parts costs, for each image given. Prints one block of lines per image.
//
//   rank_check [-zopfli N] [-parts N] IMAGE...
//
// Candidates are every exact layout with every filter strategy and the
// libdeflate plan (at levels 1 and 6). Each is ranked by zlib level 9
// (the smallest of its four strategies), by libdeflate 6 to 12, and zopfli
// (-zopfli iterations, default 1) encodes the union of every ranker's best
// three. Sizes are the stream plus the PLTE and tRNS chunks of the layout.
// With -parts N (iterations, 0 to skip), zopfli's winner is encoded again in
// 1, 2 and 4 parts on a pool of two workers, with sizes and wall times.

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/dib_image.h"
#include "core/image_loader.h"
#include "engine/extended/extended_encoders.h"
#include "engine/extended/extended_filters.h"
#include "engine/extended/extended_layouts.h"
#include "engine/row_filters.h"
#include "engine/worker_pool.h"
#include "engine/extended/zopfli_parts.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kPlanLevels[] = {1, 6};   // level 12 costs some 25 times level 6 and gave no smaller files
constexpr int kPlanCount = sizeof kPlanLevels / sizeof kPlanLevels[0];
constexpr int kFirstLibdeflateLevel = 6;
constexpr int kRankers = 1 + 12 - kFirstLibdeflateLevel + 1;   // zlib 9, libdeflate 6..12
constexpr size_t kFinalists = 3;

struct Candidate {
    size_t layout = 0;
    std::string plan;          // strategy number, or "ld<level>"
    std::vector<uint8_t> filtered;
    uint32_t overhead = 0;     // PLTE and tRNS chunks
    uint32_t ranked[kRankers] = {};
    uint32_t zlibStrategies[4] = {};
    uint32_t zopfli = 0;       // 0 when not a finalist
};

uint32_t libdeflateLength(const std::vector<uint8_t>& data, int level)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor, data.size()));
    const size_t written = libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    return static_cast<uint32_t>(written);
}

std::string rankerName(int r)
{
    return r == 0 ? "zlib9" : "ld" + std::to_string(kFirstLibdeflateLevel + r - 1);
}

bool checkImage(const char* path, int32_t zopfliIterations, int32_t partIterations)
{
    DibImage image;
    ConvertRequest request;
    if (!loadImageFile(image, path, request.transparentColour))
        return false;
    request.pixels = image.bits;
    request.width = image.width;
    request.height = image.height;
    request.hasAlpha = image.hasAlpha;
    ExactPicture picture;
    ColourFacts facts;
    std::vector<Layout> layouts;
    if (!exactPicture(request, picture) || !analyseColours(picture, facts) ||
        !exactLayouts(picture, facts, layouts))
        return false;

    std::vector<Candidate> candidates;
    double planSeconds[kPlanCount] = {};
    for (size_t l = 0; l < layouts.size(); ++l) {
        std::vector<uint8_t> rows;
        uint32_t stride = 0;
        if (!packLayout(picture, facts, layouts[l], rows, stride))
            return false;
        const PackedRows packed = {rows.data(), stride, picture.height,
                                   filterBytesPerPixel(static_cast<int32_t>(layoutBitsPerPixel(layouts[l])))};
        std::vector<uint8_t> plte, trns;
        layoutChunks(layouts[l], facts, plte, trns);
        const uint32_t overhead = static_cast<uint32_t>((plte.empty() ? 0 : 12 + plte.size()) +
                                                        (trns.empty() ? 0 : 12 + trns.size()));
        for (int32_t plan = 0; plan < kFilterStrategyCount + kPlanCount; ++plan) {
            std::vector<uint8_t> types;
            Candidate c;
            c.layout = l;
            c.overhead = overhead;
            if (plan < kFilterStrategyCount) {
                c.plan = std::to_string(plan);
                if (!planFilters(packed, plan, types))
                    return false;
            } else {
                const int index = plan - kFilterStrategyCount;
                c.plan = "ld" + std::to_string(kPlanLevels[index]);
                const Clock::time_point start = Clock::now();
                if (!planFiltersByLibdeflate(packed, kPlanLevels[index], types))
                    return false;
                planSeconds[index] += secondsSince(start);
            }
            if (!filterByPlan(packed, types, c.filtered))
                return false;
            const std::atomic<bool> never{false};
            for (int32_t e = ENCODER_ZLIB; e <= ENCODER_ZLIB_RLE; ++e)
                c.zlibStrategies[e] = zlibPlannedLength(packed, types, e, 9, never) + overhead;
            c.ranked[0] = *std::min_element(c.zlibStrategies, c.zlibStrategies + 4);
            for (int r = 1; r < kRankers; ++r)
                c.ranked[r] = libdeflateLength(c.filtered, kFirstLibdeflateLevel + r - 1) + overhead;
            candidates.push_back(std::move(c));
        }
    }

    // Each ranker's order over every candidate ("all") and over the strategy
    // plans alone ("0-7", the candidates without the libdeflate plan); zopfli
    // on the union of their best few.
    const auto inPool = [&](size_t i, int pool) { return pool == 0 || candidates[i].plan.rfind("ld", 0) != 0; };
    size_t winners[2][kRankers] = {};
    std::set<size_t> finalists;
    for (int pool = 0; pool < 2; ++pool)
        for (int r = 0; r < kRankers; ++r) {
            std::vector<size_t> order;
            for (size_t i = 0; i < candidates.size(); ++i)
                if (inPool(i, pool))
                    order.push_back(i);
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return candidates[a].ranked[r] < candidates[b].ranked[r]; });
            winners[pool][r] = order[0];
            finalists.insert(order.begin(), order.begin() + std::min(kFinalists, order.size()));
        }
    size_t bests[2] = {*finalists.begin(), *finalists.begin()};
    for (size_t i : finalists) {
        std::vector<uint8_t> stream;
        if (!zopfliEncode(candidates[i].filtered.data(), static_cast<uint32_t>(candidates[i].filtered.size()),
                          zopfliIterations, stream))
            return false;
        candidates[i].zopfli = static_cast<uint32_t>(stream.size()) + candidates[i].overhead;
    }
    for (int pool = 0; pool < 2; ++pool)
        for (size_t i : finalists)
            if (inPool(i, pool) && (!inPool(bests[pool], pool) || candidates[i].zopfli < candidates[bests[pool]].zopfli))
                bests[pool] = i;
    const size_t best = bests[0];
    const auto describe = [&](size_t i) {
        return "layout " + std::to_string(layouts[candidates[i].layout].kind) + "/" +
               std::to_string(layouts[candidates[i].layout].order) + " plan " + candidates[i].plan;
    };
    std::printf("%s: %zu candidates; zopfli(%d) best %u (%s)\n", path, candidates.size(), zopfliIterations,
                candidates[best].zopfli, describe(best).c_str());
    for (int pool = 0; pool < 2; ++pool)
        for (int r = 0; r < kRankers; ++r) {
            const size_t w = winners[pool][r], top = bests[pool];
            std::printf("  %s %-6s winner %-22s zopfli %u (+%u)%s\n", pool == 0 ? "all" : "0-7", rankerName(r).c_str(),
                        describe(w).c_str(), candidates[w].zopfli, candidates[w].zopfli - candidates[top].zopfli,
                        w == top ? " same" : "");
        }
    // Whether a zlib strategy's own stream beats zopfli's winner.
    uint32_t bestZlib[4] = {~0u, ~0u, ~0u, ~0u};
    for (const Candidate& c : candidates)
        for (int e = 0; e < 4; ++e)
            bestZlib[e] = std::min(bestZlib[e], c.zlibStrategies[e]);
    std::printf("  zlib9 default/filtered/huffman/rle best %u %u %u %u; beats zopfli: %s\n", bestZlib[0],
                bestZlib[1], bestZlib[2], bestZlib[3],
                *std::min_element(bestZlib, bestZlib + 4) < candidates[best].zopfli ? "yes" : "no");
    // Each plan's best layout under libdeflate 12 and under zopfli (0: no finalist), and the libdeflate plans' cost.
    std::printf("  plans, best under ld12 / zopfli:");
    for (int32_t plan = 0; plan < kFilterStrategyCount + kPlanCount; ++plan) {
        const std::string name = plan < kFilterStrategyCount ? std::to_string(plan)
                                                             : "ld" + std::to_string(kPlanLevels[plan - kFilterStrategyCount]);
        uint32_t underLibdeflate = ~0u, underZopfli = ~0u;
        for (const Candidate& c : candidates)
            if (c.plan == name) {
                underLibdeflate = std::min(underLibdeflate, c.ranked[kRankers - 1]);
                if (c.zopfli > 0)
                    underZopfli = std::min(underZopfli, c.zopfli);
            }
        std::printf(" %s=%u/%u", name.c_str(), underLibdeflate, underZopfli == ~0u ? 0 : underZopfli);
    }
    std::printf("\n  plan seconds");
    for (int p = 0; p < kPlanCount; ++p)
        std::printf(" ld%d %.2f", kPlanLevels[p], planSeconds[p]);
    std::printf("\n");

    if (partIterations > 0) {
        const Candidate& w = candidates[best];
        WorkerPool pool(2);
        for (uint32_t parts : {1u, 2u, 4u}) {
            std::vector<uint8_t> stream;
            const Clock::time_point start = Clock::now();
            if (!zopfliEncodeParts(w.filtered.data(), static_cast<uint32_t>(w.filtered.size()), partIterations,
                                   parts, &pool, stream))
                return false;
            std::printf("  zopfli(%d) %u parts of %zu bytes: %zu bytes, %.2f s wall\n", partIterations, parts,
                        w.filtered.size(), stream.size(), secondsSince(start));
        }
    }
    std::fflush(stdout);
    return true;
}

}   // namespace

int main(int argc, char** argv)
{
    int32_t zopfliIterations = 1;
    int32_t partIterations = 0;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (std::strcmp(argv[arg], "-zopfli") == 0)
            zopfliIterations = std::atoi(argv[arg + 1]);
        else if (std::strcmp(argv[arg], "-parts") == 0)
            partIterations = std::atoi(argv[arg + 1]);
        else
            break;
    }
    if (arg >= argc) {
        std::fputs("usage: rank_check [-zopfli N] [-parts N] IMAGE...\n", stderr);
        return 2;
    }
    int failures = 0;
    for (; arg < argc; ++arg)
        if (!checkImage(argv[arg], zopfliIterations, partIterations)) {
            std::fprintf(stderr, "%s: failed\n", argv[arg]);
            ++failures;
        }
    return failures == 0 ? 0 : 1;
}
