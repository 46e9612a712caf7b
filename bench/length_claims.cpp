#include "bench/length_claims.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_set>

#include "engine/deflate_stream.h"
#include "engine/png_optimizer.h"

namespace {

constexpr int32_t kFirstWindowBits = 8;
constexpr int32_t kLastWindowBits = 15;
constexpr int32_t kFirstMemLevel = 4;
constexpr int32_t kLastMemLevel = 9;
constexpr int kPairCount = (kLastWindowBits - kFirstWindowBits + 1) * (kLastMemLevel - kFirstMemLevel + 1);
constexpr size_t kExamplesKept = 10;
// Past 64 KiB, where only window bits 8 still pairs with another setting, a
// few prefixes suffice; longer ones would only cost time.
constexpr uint32_t kLongestPrefix = 96 * 1024;

// xorshift: the same data on every run.
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
};

int pairIndex(int32_t windowBits, int32_t memLevel)
{
    return (windowBits - kFirstWindowBits) * (kLastMemLevel - kFirstMemLevel + 1) + memLevel -
           kFirstMemLevel;
}

// Collects each distinct buffer the optimizer measures.
struct TrialCapture {
    std::vector<ClaimSource>* sources;
    std::string name;
    std::unordered_set<uint64_t> seen;
};

uint64_t contentHash(const uint8_t* data, uint32_t size)
{
    uint64_t hash = 1469598103934665603ull ^ size;
    for (uint32_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

uint32_t captureTrial(void* context, const uint8_t* data, uint32_t size, int32_t windowBits,
                      int32_t memLevel)
{
    auto& capture = *static_cast<TrialCapture*>(context);
    if (capture.seen.insert(contentHash(data, size)).second)
        capture.sources->push_back({capture.name + "/" + std::to_string(capture.seen.size()),
                                    std::vector<uint8_t>(data, data + size)});
    return zlibTrialMeasure(nullptr, data, size, windowBits, memLevel);
}

void fillRect(std::vector<uint32_t>& pixels, int32_t width, int32_t height, int32_t x0, int32_t y0,
              int32_t w, int32_t h, uint32_t colour)
{
    for (int32_t y = std::max(0, y0); y < std::min(height, y0 + h); ++y)
        for (int32_t x = std::max(0, x0); x < std::min(width, x0 + w); ++x)
            pixels[size_t(y) * width + x] = colour;
}

}   // namespace

void addTrialData(const ConvertRequest& picture, const std::string& name,
                  std::vector<ClaimSource>& sources)
{
    TrialCapture capture = {&sources, name, {}};
    ConvertRequest request = picture;
    request.callback = nullptr;
    request.cancelFlag = nullptr;
    PngOptimizer optimizer;
    optimizer.setTrialMeasure(captureTrial, &capture);
    optimizer.convert(nullptr, request);
}

void addRunHeavyPictures(int count, int32_t maxSide, uint32_t seed,
                         std::vector<ClaimSource>& sources)
{
    static const uint32_t kColourCounts[] = {2, 4, 16, 200};
    for (int n = 0; n < count; ++n) {
        Random random(seed + uint32_t(n));
        const int32_t width = 8 + int32_t(random.below(uint32_t(maxSide - 7)));
        const int32_t height = 8 + int32_t(random.below(uint32_t(maxSide - 7)));
        const uint32_t colourCount = kColourCounts[n % 4];
        std::vector<uint32_t> colours;
        std::set<uint32_t> distinct;
        while (colours.size() < colourCount) {
            const uint32_t colour = random.next() & 0xFFFFFFu;
            if (distinct.insert(colour).second)
                colours.push_back(colour);
        }
        std::vector<uint32_t> pixels(size_t(width) * height, colours[0]);
        const int shapes = 2 + int(random.below(12));
        for (int s = 0; s < shapes; ++s) {
            const uint32_t colour = colours[random.below(colourCount)];
            const int32_t x = int32_t(random.below(uint32_t(width)));
            const int32_t y = int32_t(random.below(uint32_t(height)));
            switch (random.below(4)) {
            case 0:   // a rectangle
                fillRect(pixels, width, height, x, y, 1 + int32_t(random.below(uint32_t(width))),
                         1 + int32_t(random.below(uint32_t(height))), colour);
                break;
            case 1:   // a horizontal or vertical line
                if (random.below(2))
                    fillRect(pixels, width, height, 0, y, width, 1 + int32_t(random.below(3)), colour);
                else
                    fillRect(pixels, width, height, x, 0, 1 + int32_t(random.below(3)), height, colour);
                break;
            case 2: {   // diagonal bands
                const int32_t period = 2 + int32_t(random.below(30));
                for (int32_t py = 0; py < height; ++py)
                    for (int32_t px = 0; px < width; ++px)
                        if ((px + py) % period == 0)
                            pixels[size_t(py) * width + px] = colour;
                break;
            }
            default: {   // a column of text-like marks
                for (int32_t py = y; py < std::min(height, y + 12); ++py)
                    for (int32_t px = x; px < std::min(width, x + 40); ++px)
                        if (random.below(3) == 0)
                            pixels[size_t(py) * width + px] = colour;
                break;
            }
            }
        }
        std::vector<uint8_t> bgra(pixels.size() * 4);
        for (size_t i = 0; i < pixels.size(); ++i) {
            bgra[i * 4] = uint8_t(pixels[i]);
            bgra[i * 4 + 1] = uint8_t(pixels[i] >> 8);
            bgra[i * 4 + 2] = uint8_t(pixels[i] >> 16);
            bgra[i * 4 + 3] = 255;
        }
        ConvertRequest request;
        request.pixels = bgra.data();
        request.width = width;
        request.height = height;
        addTrialData(request, "picture" + std::to_string(n) + "-" + std::to_string(colourCount),
                     sources);
    }
}

void addRandomBytes(int count, uint32_t maxBytes, uint32_t seed, std::vector<ClaimSource>& sources)
{
    for (int n = 0; n < count; ++n) {
        Random random(seed + 7919u * uint32_t(n));
        std::vector<uint8_t> data(1 + random.below(maxBytes));
        const uint32_t symbols = n % 2 ? 256 : 2 + random.below(6);
        for (uint8_t& byte : data)
            byte = uint8_t(random.below(symbols) * (256 / symbols));
        sources.push_back({"random" + std::to_string(n), std::move(data)});
    }
}

std::vector<uint32_t> claimPrefixLengths(uint32_t size, int spread, uint32_t seed)
{
    size = std::min(size, kLongestPrefix);
    std::set<uint32_t> lengths;
    auto around = [&](int64_t at, int64_t below, int64_t above) {
        for (int64_t d = -below; d <= above; ++d)
            if (at + d >= 1 && at + d <= size)
                lengths.insert(uint32_t(at + d));
    };
    for (uint32_t length = 1; length <= 8; ++length)
        around(length, 0, 0);
    for (int32_t w = 9; w <= kLastWindowBits; ++w)
        around((int64_t(1) << w) - 262, 3, 6);   // window's distance limit; the last matches reach it
    for (int32_t m = kFirstMemLevel; m < kLastMemLevel; ++m)
        around((int64_t(1) << (m + 6)) - 2, 3, 3);   // the symbol buffer fills
    around(1024, 3, 3);                             // the shortest chain budget
    around(65536, 2, 2);
    // The rest spread evenly over the powers of two up to size, so short and
    // long prefixes both appear.
    uint32_t topBit = 0;
    while ((uint64_t(1) << (topBit + 1)) <= size)
        ++topBit;
    Random random(seed);
    for (int i = 0; i < spread; ++i) {
        const uint32_t bit = random.below(topBit + 1);
        const uint32_t low = 1u << bit;
        const uint32_t high = uint32_t(std::min<uint64_t>(size, (uint64_t(1) << (bit + 1)) - 1));
        lengths.insert(low + random.below(high - low + 1));
    }
    lengths.insert(size);
    return {lengths.begin(), lengths.end()};
}

ClaimSweepCounts sweepLengthClaims(const std::vector<ClaimSource>& sources,
                                   LengthClaimMapping mapping, int spread, unsigned threads)
{
    struct Task {
        const ClaimSource* source;
        uint32_t length;
    };
    std::vector<Task> tasks;
    uint32_t seed = 1;
    for (const ClaimSource& source : sources)
        if (!source.data.empty())
            for (uint32_t length : claimPrefixLengths(uint32_t(source.data.size()), spread, seed++))
                tasks.push_back({&source, length});

    ClaimSweepCounts counts;
    counts.sources = sources.size();
    counts.prefixes = tasks.size();
    std::mutex mutex;
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t t; (t = next++) < tasks.size();) {
            const Task& task = tasks[t];
            uint32_t sizes[kPairCount] = {};
            int32_t mappedWindow[kPairCount];
            int32_t mappedLevel[kPairCount];
            uint64_t compressions = 0;
            for (int32_t w = kFirstWindowBits; w <= kLastWindowBits; ++w)
                for (int32_t m = kFirstMemLevel; m <= kLastMemLevel; ++m) {
                    const int i = pairIndex(w, m);
                    mappedWindow[i] = w;
                    mappedLevel[i] = m;
                    mapping(task.length, mappedWindow[i], mappedLevel[i]);
                }
            auto sizeOf = [&](int i, int32_t w, int32_t m) {
                if (sizes[i] == 0) {
                    sizes[i] = measureDeflate(task.source->data.data(), task.length, w, m);
                    ++compressions;
                }
                return sizes[i];
            };
            ClaimSweepCounts local;
            for (int32_t w = kFirstWindowBits; w <= kLastWindowBits; ++w)
                for (int32_t m = kFirstMemLevel; m <= kLastMemLevel; ++m) {
                    const int i = pairIndex(w, m);
                    const int32_t toW = mappedWindow[i];
                    const int32_t toM = mappedLevel[i];
                    if (toW == w && toM == m)
                        continue;
                    ++local.claims;
                    local.windowClaims += toW != w;
                    local.memLevelClaims += toM != m;
                    const uint32_t claimed = sizeOf(pairIndex(toW, toM), toW, toM);
                    const uint32_t real = sizeOf(i, w, m);
                    if (claimed != real) {
                        ++local.counterexamples;
                        local.examples.push_back(
                            task.source->name + ", " + std::to_string(task.length) + " bytes: " +
                            std::to_string(w) + "/" + std::to_string(m) + " gives " +
                            std::to_string(real) + ", taken as " + std::to_string(toW) + "/" +
                            std::to_string(toM) + " = " + std::to_string(claimed));
                    }
                }
            std::lock_guard<std::mutex> lock(mutex);
            counts.compressions += compressions;
            counts.claims += local.claims;
            counts.windowClaims += local.windowClaims;
            counts.memLevelClaims += local.memLevelClaims;
            counts.counterexamples += local.counterexamples;
            for (std::string& example : local.examples)
                if (counts.examples.size() < kExamplesKept)
                    counts.examples.push_back(std::move(example));
        }
    };
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < std::max(1u, threads); ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return counts;
}
