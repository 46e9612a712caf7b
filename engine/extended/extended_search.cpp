#include "engine/extended/extended_search.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <vector>

#include "core/shared_flag.h"
#include "core/size_limits.h"
#include "engine/extended/extended_encoders.h"
#include "engine/extended/extended_filters.h"
#include "engine/extended/extended_layouts.h"
#include "engine/extended/zopfli_parts.h"
#include "engine/row_filters.h"
#include "engine/worker_pool.h"

namespace {

ExtendedStageObserver stageObserver = nullptr;
void* stageObserverContext = nullptr;

void stageEnded(const char* stage)
{
    if (stageObserver)
        stageObserver(stage, stageObserverContext);
}

// Every (layout, filter) pair is first screened by a fast compression
// (libdeflate's or zlib's, as the level says); only the best few (the
// finalists) are then ranked by libdeflate level 12, which orders them as
// zopfli does where zlib level 9 does not. Layouts whose rows exceed
// kLargeRowsBytes get a faster screening and fewer finalists (LevelPolicy).
constexpr uint64_t kLargeRowsBytes = 512u << 10;
// Rows up to kSmallRowsBytes are screened at kSmallRowsScreeningLevel at
// every level: it costs milliseconds there, and zlib's faster levels
// misrank noise (at level 3 a 40 x 40 black-and-white picture missed its
// 1-bit grey layout).
constexpr uint64_t kSmallRowsBytes = 64u << 10;
constexpr int kSmallRowsScreeningLevel = 6;
// The row-by-row plans (their row trials cost several compressions of the
// image each) are made for the layouts of the best screened pairs, as many as
// the level says (1 when a layout's rows exceed kLargeRowsBytes), and never
// for rows above kCompressedPlanMaxBytes (FILTER_COMPRESSED) or
// kLibdeflatePlanMaxBytes (FILTER_LIBDEFLATE, the dearer one). The libdeflate
// plan skips screening: zlib's order is the one it is meant to correct.
constexpr uint64_t kCompressedPlanMaxBytes = 1u << 20;
constexpr uint64_t kLibdeflatePlanMaxBytes = 256u << 10;
// zlib's Huffman-only strategy beats libdeflate on some tiny images only: it
// is measured for finalists whose rows are at most this size.
constexpr uint64_t kHuffmanMaxBytes = 16u << 10;
// zopfli's iterations at most and at least (unless the request forces a
// count), and the data size up to which it gets the most.
constexpr int32_t kMostZopfliIterations = 15;
constexpr int32_t kLeastZopfliIterations = 5;
constexpr uint64_t kFullIterationBytes = 192u << 10;
// The probe that decides whether zopfli runs on data above kProbeBytes:
// zopfli at kLeastZopfliIterations and libdeflate 12 on the middle
// kProbeBytes of the data (in kProbeParts parts). zopfli runs when it saves
// at least kProbeGainPerMille of libdeflate's bytes there. One iteration is
// no guide: on cargo-logo it lost 0.3% to libdeflate where 5 gained 0.5%;
// plasma photos lose at 5. How well libdeflate compresses is no guide
// either: a blurred photo keeps 20% of its data, as drawings do, and loses.
constexpr uint32_t kProbeBytes = 128u << 10;
// Data libdeflate 12 keeps at most this share of (in thousandths) is taken
// for a drawing, where zopfli gains (on every such image of the bench corpus,
// 2% to 17%), and runs zopfli without the probe. Above it, as the blurred
// photo at 20% shows, only the probe can tell.
constexpr uint64_t kDrawingPerMille = 180;
constexpr uint32_t kProbeParts = 2;
constexpr uint32_t kProbeGainPerMille = 1;

// What one level spends, indexed by level - 1. Levels share the stages; they
// differ in which run, how many pairs reach each one and zopfli's effort.
// Level 1: the default search on small pictures only, two palette orders
// beside the input's and the popularity order, every pair screened by
// libdeflate's fastest level, no row plans, no zopfli: the best screened
// pair by libdeflate 12 and zlib 9 side by side. Level 2: the same default
// search, three ranked orders, no row plans (libdeflate 12 ranks the
// compressed-length plan first where zopfli does better without it, as on
// terminal-anim and logo-palette), two finalists and zopfli on the leader
// (a probe first on data that is not plainly a drawing). Level 3: the
// default search always, every palette order, zlib's screening, both row
// plans, more finalists, zopfli on up to six close pairs at few iterations,
// then on the best of them at four times level 2's, photos included.
struct LevelPolicy {
    uint64_t defaultSearchPixels;   // the default search runs first on pictures of at most this many pixels
    OrderEffort orders;          // the palette orders screened
    bool filterPlainOrders;      // ORDER_INPUT and ORDER_POPULARITY with every filter, else with none alone
    int libdeflateScreening;     // libdeflate's level for the screening of rows above kSmallRowsBytes; 0: zlib's
    uint64_t screeningSample;    // libdeflate screens bands of about this many bytes of the largest layout (0: all)
    int screeningLevel;          // without libdeflateScreening, zlib's level for rows above kSmallRowsBytes
    int largeScreeningLevel;     // ... and for rows above kLargeRowsBytes
    size_t planLayouts;          // layouts of the best screened pairs given both row plans (1 above kLargeRowsBytes)
    bool zlibFinalists;          // each finalist also by zlib level 9, which beats libdeflate 12 on some drawings
    size_t finalists;            // pairs ranked by libdeflate 12
    size_t largeFinalists;       // the same when the leading layout's rows exceed kLargeRowsBytes
    size_t zopfliCandidates;     // pairs zopfli encodes (0: none), best libdeflate rank first
    uint32_t closePerMille;      // a pair after the first only this close to the first's file...
    uint64_t closeCandidateBytes;   // ... and with at most this much data
    int32_t mostIterations;      // zopfli's iterations on data up to kFullIterationBytes
    int32_t leastIterations;     // ... and at least, on more data
    uint32_t zopfliPartBytes;    // zopfli's parts (zopfliBlockStarts) hold at least this
    int32_t screenIterations;    // more than one pair: each first at this many (0: at their full count)
    bool probe;                  // data above kProbeBytes runs zopfli only when a probe shows it gaining
};
constexpr LevelPolicy kLevelPolicies[kMaxExtendedLevel] = {
    {kSmallPictureDefaultSearchPixels, {2, 32}, false, 1, 1u << 20, 0, 0, 0, true, 1, 1, 0, 0, 0, 0, 0, 0, 0,
     false},
    {kSmallPictureDefaultSearchPixels, {3, 256}, false, 4, 512u << 10, 0, 0, 0, false, 2, 2, 1, 0, 0,
     kMostZopfliIterations, kLeastZopfliIterations, 256u << 10, 0, true},
    {UINT64_MAX, {kPaletteOrderCount, 256}, true, 0, 0, 6, 4, 2, false, 8, 4, 6, 30, UINT64_MAX,
     4 * kMostZopfliIterations, 2 * kLeastZopfliIterations, 128u << 10, kLeastZopfliIterations, false},
};

// most iterations up to kFullIterationBytes, fewer in proportion above, at least least.
int32_t zopfliIterations(uint64_t dataBytes, int32_t most, int32_t least)
{
    if (dataBytes <= kFullIterationBytes)
        return most;
    const uint64_t iterations = most * kFullIterationBytes / dataBytes;
    return iterations < uint64_t(least) ? least : static_cast<int32_t>(iterations);
}

// Rows of a band of the sampled screening: each band's first row is filtered
// against the true row above it, as in the whole image.
constexpr uint32_t kSampleBandRows = 64;

// The libdeflate stream length at `level` of the image filtered by plan,
// estimated from every step-th band of kSampleBandRows rows (all rows for
// step 1) in proportion to the rows: the same rows of every layout. 0 on
// failure.
uint32_t sampledLength(const PackedRows& image, const std::vector<uint8_t>& plan, uint32_t step, int level)
{
    std::vector<uint8_t> filtered, stream;
    uint32_t sampledRows = 0;
    try {
        for (uint32_t first = 0; first < image.height; first += step * kSampleBandRows)
            for (uint32_t row = first; row < std::min(image.height, first + kSampleBandRows); ++row) {
                filtered.resize(filtered.size() + image.stride);
                filterPlannedRow(image, plan, row, filtered.data() + filtered.size() - image.stride);
                ++sampledRows;
            }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!libdeflateEncode(filtered.data(), static_cast<uint32_t>(filtered.size()), stream, level))
        return 0;
    const uint64_t length = (uint64_t(stream.size()) * image.height + sampledRows / 2) / sampledRows;
    return length > kMaxBlockBytes ? 0 : static_cast<uint32_t>(std::max<uint64_t>(length, 1));
}

struct Candidate {
    Layout layout;
    ExtendedChoice file;   // the layout's part of the choice: its format and palette order
    std::vector<uint8_t> rows;
    PackedRows packed;
    std::vector<uint8_t> plans[kFilterStrategyCount];
    bool planned[kFilterStrategyCount] = {};
};

// One measured encoding of a (candidate, filter strategy) pair.
struct Measured {
    size_t candidate = 0;
    int32_t strategy = 0;
    int32_t encoder = ENCODER_ZLIB;
    int32_t iterations = 0;
    uint32_t parts = 0;           // zopfli's parts
    uint32_t length = 0;          // zlib stream bytes; 0 = failed or not run
    uint32_t fileSize = 0;        // the whole file with it
    std::vector<uint8_t> stream;  // kept for the optimal encoders only
};

// One pair's zopfli encoding: its filtered rows, the starts of its parts and the result.
struct ZopfliTrial {
    Measured result;
    std::vector<uint8_t> input;
    std::vector<uint32_t> starts;
};

class ExtendedSearch {
public:
    ExtendedSearch(const ConvertRequest& request, ExtendedChoice& choice)
        : request_(request), choice_(choice), policy_(kLevelPolicies[requestedExtendedLevel(request) - 1])
    {
    }

    bool run(unsigned threads);
    bool runOnRows(const PackedRows& rows, unsigned threads);

private:
    bool cancelled() const { return request_.cancelFlag && loadSharedFlag(request_.cancelFlag) != 0; }
    bool step()
    {
        if (request_.callback)
            request_.callback(-1, -1, -1, -1, -1, request_.userData);
        return !cancelled();
    }
    bool prepareCandidates();
    bool plan(const std::vector<std::pair<size_t, int32_t>>& pairs);
    // Each trial's zlib length at the screening level (faster for large rows).
    bool screen(std::vector<Measured>& trials);
    // The finalists' streams: libdeflate 12 for each pair, zlib's
    // Huffman-only strategy too for small rows.
    bool measureFinalists(const std::vector<std::pair<size_t, int32_t>>& pairs);
    // Whether zopfli runs on the leader's filtered rows, whose libdeflate 12
    // stream holds libdeflateBytes.
    bool zopfliPays(const std::vector<uint8_t>& filtered, uint32_t libdeflateBytes);
    bool sizeFile(Measured& m) const;
    // Sizes each trial's file as its task (group's i-th for trials[i]) ends;
    // false on a failure or a cancel.
    bool collectMeasurements(TaskGroup& group, std::vector<Measured>& trials);
    std::vector<std::pair<size_t, int32_t>> bestPairs(const std::vector<Measured>& results,
                                                      size_t count) const;
    bool rank();
    bool encodeBest();
    // Encodes every trial with zopfli at its iterations and sizes its file.
    bool runZopfli(std::vector<ZopfliTrial>& trials);
    bool better(const Measured& a, const Measured& b) const;
    bool choose(Measured& winner);

    const ConvertRequest& request_;
    ExtendedChoice& choice_;
    const LevelPolicy& policy_;
    std::shared_ptr<WorkerPool> pool_;
    ExactPicture picture_;
    ColourFacts facts_;
    std::vector<Candidate> candidates_;
    uint32_t sampleStep_ = 1;          // libdeflate screens every sampleStep_-th band of kSampleBandRows rows
    std::vector<Measured> screened_;   // every screening result, in order
    std::vector<Measured> measured_;   // every finalist's result, in submission order (no streams)
    Measured best_;
};

bool ExtendedSearch::prepareCandidates()
{
    std::vector<Layout> layouts;
    if (!exactPicture(request_, picture_) || !analyseColours(picture_, facts_) ||
        !exactLayouts(picture_, facts_, layouts, policy_.orders, pool_.get()))
        return false;
    try {
        candidates_.resize(layouts.size());
        std::vector<char> packed(layouts.size(), 0);
        TaskGroup group(pool_.get());
        for (size_t i = 0; i < layouts.size(); ++i) {
            Candidate* candidate = &candidates_[i];
            candidate->layout = std::move(layouts[i]);
            char* done = &packed[i];
            group.submit([this, candidate, done] {
                uint32_t stride = 0;
                if (!packLayout(picture_, facts_, candidate->layout, candidate->rows, stride))
                    return;
                candidate->packed = {candidate->rows.data(), stride, picture_.height,
                                     filterBytesPerPixel(static_cast<int32_t>(layoutBitsPerPixel(candidate->layout)))};
                *done = 1;
            });
            ExtendedChoice& file = candidate->file;
            file.layout = candidate->layout.kind;
            file.depth = candidate->layout.depth;
            file.paletteOrder = candidate->layout.order;
            layoutChunks(candidate->layout, facts_, file.palette, file.transparency);
        }
        for (size_t i = 0; i < layouts.size(); ++i)
            group.wait();
        if (std::count(packed.begin(), packed.end(), 0) > 0)
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The picture itself is no longer needed once every layout is packed.
    picture_.rgba.clear();
    picture_.rgba.shrink_to_fit();
    facts_.indices.clear();
    facts_.indices.shrink_to_fit();
    return true;
}

bool ExtendedSearch::plan(const std::vector<std::pair<size_t, int32_t>>& pairs)
{
    TaskGroup group(pool_.get());
    size_t tasks = 0;
    for (const auto& pair : pairs) {
        Candidate* c = &candidates_[pair.first];
        const int32_t strategy = pair.second;
        // One pass over the rows makes both the min-sum and the entropy plan.
        const auto asked = [&](int32_t s) {
            return std::find(pairs.begin(), pairs.end(), std::pair<size_t, int32_t>(pair.first, s)) != pairs.end();
        };
        const bool both = asked(FILTER_MIN_SUM) && asked(FILTER_ENTROPY);
        if (both && strategy == FILTER_ENTROPY)
            continue;
        ++tasks;
        if (both && strategy == FILTER_MIN_SUM) {
            group.submit([c] {
                c->planned[FILTER_MIN_SUM] = c->planned[FILTER_ENTROPY] =
                    planRowHeuristics(c->packed, &c->plans[FILTER_MIN_SUM], &c->plans[FILTER_ENTROPY]);
            });
            continue;
        }
        group.submit([c, strategy] {
            c->planned[strategy] = planFilters(c->packed, strategy, c->plans[strategy]);
        });
    }
    for (size_t i = 0; i < tasks; ++i) {
        group.wait();
        if (cancelled())
            return false;
    }
    for (const auto& pair : pairs)
        if (!candidates_[pair.first].planned[pair.second])
            return false;
    return true;
}

// Smaller file first; among equals the earlier candidate, strategy and encoder.
bool ExtendedSearch::better(const Measured& a, const Measured& b) const
{
    if (a.fileSize != b.fileSize)
        return a.fileSize < b.fileSize;
    if (a.candidate != b.candidate)
        return a.candidate < b.candidate;
    if (a.strategy != b.strategy)
        return a.strategy < b.strategy;
    return a.encoder < b.encoder;
}

bool ExtendedSearch::screen(std::vector<Measured>& trials)
{
    TaskGroup group(pool_.get());
    const std::atomic<bool>* stop = &group.stopping();
    for (Measured& m : trials) {
        Measured* trial = &m;
        const Candidate* candidate = &candidates_[m.candidate];
        const uint64_t rows = candidate->rows.size();
        const int level = rows > kLargeRowsBytes     ? policy_.largeScreeningLevel
                          : rows > kSmallRowsBytes ? policy_.screeningLevel
                                                   : kSmallRowsScreeningLevel;
        const int libdeflateLevel = rows > kSmallRowsBytes ? policy_.libdeflateScreening : 0;
        const uint32_t step = sampleStep_;
        group.submit([trial, candidate, stop, level, libdeflateLevel, step] {
            const std::vector<uint8_t>& plan = candidate->plans[trial->strategy];
            if (libdeflateLevel == 0) {
                trial->length = zlibPlannedLength(candidate->packed, plan, trial->encoder, level, *stop);
                return;
            }
            trial->length = sampledLength(candidate->packed, plan, step, libdeflateLevel);
        });
    }
    if (!collectMeasurements(group, trials))
        return false;
    screened_.insert(screened_.end(), trials.begin(), trials.end());   // ranks, never written
    return true;
}

bool ExtendedSearch::measureFinalists(const std::vector<std::pair<size_t, int32_t>>& pairs)
{
    std::vector<Measured> trials;
    for (const auto& pair : pairs) {
        trials.push_back({pair.first, pair.second, ENCODER_LIBDEFLATE, 0, 0, 0, 0, {}});
        if (candidates_[pair.first].rows.size() <= kHuffmanMaxBytes)
            trials.push_back({pair.first, pair.second, ENCODER_ZLIB_HUFFMAN, 0, 0, 0, 0, {}});
        if (policy_.zlibFinalists)
            trials.push_back({pair.first, pair.second, ENCODER_ZLIB, 0, 0, 0, 0, {}});
    }
    TaskGroup group(pool_.get());   // after trials: its end waits for the tasks writing them
    const std::atomic<bool>* stop = &group.stopping();
    for (Measured& m : trials) {
        Measured* trial = &m;
        const Candidate* candidate = &candidates_[m.candidate];
        group.submit([trial, candidate, stop] {
            const std::vector<uint8_t>& plan = candidate->plans[trial->strategy];
            if (trial->encoder != ENCODER_LIBDEFLATE) {
                trial->length = zlibPlannedLength(candidate->packed, plan, trial->encoder, 9, *stop);
                return;
            }
            std::vector<uint8_t> filtered;
            const bool ok = filterByPlan(candidate->packed, plan, filtered) &&
                            libdeflateEncode(filtered.data(), static_cast<uint32_t>(filtered.size()),
                                             trial->stream);
            trial->length = ok ? static_cast<uint32_t>(trial->stream.size()) : 0;
        });
    }
    if (!collectMeasurements(group, trials))
        return false;
    for (Measured& m : trials) {
        if (best_.fileSize == 0 || better(m, best_))
            best_ = m;
        m.stream = std::vector<uint8_t>();   // frees it: best_ holds its own copy
        measured_.push_back(std::move(m));
    }
    return true;
}

bool ExtendedSearch::collectMeasurements(TaskGroup& group, std::vector<Measured>& trials)
{
    for (Measured& m : trials) {
        group.wait();
        if (!sizeFile(m) || !step())
            return false;
    }
    return !cancelled();
}

bool ExtendedSearch::sizeFile(Measured& m) const
{
    if (m.length == 0)
        return false;
    m.fileSize = pngFileSize(describePngFile(request_, candidates_[m.candidate].file.format(), m.length));
    return m.fileSize > 0;
}

std::vector<std::pair<size_t, int32_t>> ExtendedSearch::bestPairs(const std::vector<Measured>& results,
                                                                 size_t count) const
{
    std::vector<Measured> order = results;
    std::sort(order.begin(), order.end(),
              [this](const Measured& a, const Measured& b) { return better(a, b); });
    std::vector<std::pair<size_t, int32_t>> pairs;
    for (const Measured& m : order) {
        if (pairs.size() == count)
            break;
        const std::pair<size_t, int32_t> pair(m.candidate, m.strategy);
        if (std::find(pairs.begin(), pairs.end(), pair) == pairs.end())
            pairs.push_back(pair);
    }
    return pairs;
}

bool ExtendedSearch::rank()
{
    // Screening: every candidate with the filters that cost one pass over the
    // rows each, by a fast compression. The input and popularity orders are
    // for unfiltered rows: a filter's differences of indices placed with no
    // regard to their colours scatter.
    std::vector<std::pair<size_t, int32_t>> pairs;
    uint64_t largestRows = 0;
    for (size_t c = 0; c < candidates_.size(); ++c) {
        const int32_t order = candidates_[c].layout.order;
        const bool plain = order == ORDER_INPUT || order == ORDER_POPULARITY;
        for (int32_t strategy = 0; strategy < FILTER_COMPRESSED; ++strategy)
            if (strategy == FILTER_NONE || !plain || policy_.filterPlainOrders)
                pairs.emplace_back(c, strategy);
        largestRows = std::max<uint64_t>(largestRows, candidates_[c].rows.size());
    }
    sampleStep_ = policy_.screeningSample == 0 || largestRows <= policy_.screeningSample
                      ? 1
                      : static_cast<uint32_t>((largestRows + policy_.screeningSample - 1) / policy_.screeningSample);
    std::vector<Measured> trials;
    for (const auto& pair : pairs)
        trials.push_back({pair.first, pair.second, ENCODER_ZLIB, 0, 0, 0, 0, {}});
    if (!plan(pairs) || !screen(trials))
        return false;
    stageEnded("screening");

    // The row-by-row plans on the layouts of the best few.
    const std::vector<std::pair<size_t, int32_t>> leaders = bestPairs(screened_, screened_.size());
    const bool large = candidates_[leaders.front().first].rows.size() > kLargeRowsBytes;
    std::vector<size_t> layouts;
    const size_t planLayouts = large ? std::min<size_t>(policy_.planLayouts, 1) : policy_.planLayouts;
    for (const auto& pair : leaders)
        if (layouts.size() < planLayouts &&
            std::find(layouts.begin(), layouts.end(), pair.first) == layouts.end())
            layouts.push_back(pair.first);
    pairs.clear();
    std::vector<std::pair<size_t, int32_t>> libdeflatePlans;
    for (size_t c : layouts) {
        if (candidates_[c].rows.size() <= kCompressedPlanMaxBytes)
            pairs.emplace_back(c, FILTER_COMPRESSED);
        if (candidates_[c].rows.size() <= kLibdeflatePlanMaxBytes)
            libdeflatePlans.emplace_back(c, FILTER_LIBDEFLATE);
    }
    trials.clear();
    for (const auto& pair : pairs)
        trials.push_back({pair.first, pair.second, ENCODER_ZLIB, 0, 0, 0, 0, {}});
    pairs.insert(pairs.end(), libdeflatePlans.begin(), libdeflatePlans.end());
    if (!plan(pairs) || !screen(trials))
        return false;
    stageEnded("row plans");

    // The finalists, and the libdeflate plans beside them.
    std::vector<std::pair<size_t, int32_t>> finalists =
        bestPairs(screened_, large ? policy_.largeFinalists : policy_.finalists);
    finalists.insert(finalists.end(), libdeflatePlans.begin(), libdeflatePlans.end());
    if (!measureFinalists(finalists))
        return false;
    stageEnded("finalists");
    return true;
}

bool ExtendedSearch::zopfliPays(const std::vector<uint8_t>& filtered, uint32_t libdeflateBytes)
{
    if (!policy_.probe || request_.extendedIterations > 0 || filtered.size() <= kProbeBytes ||
        uint64_t(libdeflateBytes) * 1000 <= filtered.size() * kDrawingPerMille)
        return true;
    const uint8_t* middle = filtered.data() + (filtered.size() - kProbeBytes) / 2;
    std::vector<uint8_t> zopfli, libdeflate;
    if (!zopfliEncodeParts(middle, kProbeBytes, kLeastZopfliIterations, kProbeParts, pool_.get(), zopfli) ||
        !libdeflateEncode(middle, kProbeBytes, libdeflate))
        return true;   // no verdict: zopfli runs and is measured
    return uint64_t(zopfli.size()) * 1000 + uint64_t(libdeflate.size()) * kProbeGainPerMille <=
           uint64_t(libdeflate.size()) * 1000;
}

bool ExtendedSearch::encodeBest()
{
    if (policy_.zopfliCandidates == 0)
        return true;
    // zopfli on the pairs libdeflate ranked first: the leader, and up to
    // zopfliCandidates - 1 more whose files came close to it.
    std::vector<const Measured*> ranked;
    for (const Measured& m : measured_)
        if (m.encoder == ENCODER_LIBDEFLATE)
            ranked.push_back(&m);
    if (ranked.empty())
        return true;
    std::sort(ranked.begin(), ranked.end(),
              [this](const Measured* a, const Measured* b) { return better(*a, *b); });
    const uint64_t closeEnough = uint64_t(ranked.front()->fileSize) * (1000 + policy_.closePerMille);
    std::vector<ZopfliTrial> trials;
    for (const Measured* ranking : ranked) {
        if (trials.size() == policy_.zopfliCandidates)
            break;
        const Candidate& candidate = candidates_[ranking->candidate];
        if (!trials.empty() && (uint64_t(ranking->fileSize) * 1000 > closeEnough ||
                                candidate.rows.size() > policy_.closeCandidateBytes))
            continue;
        trials.emplace_back();
        ZopfliTrial& trial = trials.back();
        if (!filterByPlan(candidate.packed, candidate.plans[ranking->strategy], trial.input))
            return false;
        const uint32_t size = static_cast<uint32_t>(trial.input.size());
        if (trials.size() == 1) {
            // Photos gain nothing from zopfli: the leader's probe decides for all.
            const bool pays = zopfliPays(trial.input, ranking->length);
            stageEnded("probe");
            if (!step() || !pays)
                return !cancelled();
        }
        if (!zopfliBlockStarts(trial.input.data(), size, policy_.zopfliPartBytes, trial.starts))
            return false;
        Measured& m = trial.result;
        m.candidate = ranking->candidate;
        m.strategy = ranking->strategy;
        m.encoder = ENCODER_ZOPFLI;
        m.iterations = request_.extendedIterations > 0
                           ? request_.extendedIterations
                           : zopfliIterations(size, policy_.mostIterations, policy_.leastIterations);
        m.parts = static_cast<uint32_t>(trial.starts.size());
    }
    stageEnded("zopfli parts");
    if (policy_.screenIterations > 0 && trials.size() > 1 && request_.extendedIterations == 0) {
        // A round at few iterations picks the pair; the full count runs on it alone.
        std::vector<int32_t> full;
        for (ZopfliTrial& trial : trials) {
            full.push_back(trial.result.iterations);
            trial.result.iterations = std::min(trial.result.iterations, policy_.screenIterations);
        }
        if (!runZopfli(trials))
            return false;
        stageEnded("zopfli screening");
        size_t first = 0;
        for (size_t i = 1; i < trials.size(); ++i)
            if (better(trials[i].result, trials[first].result))
                first = i;
        for (ZopfliTrial& trial : trials)
            if (better(trial.result, best_))
                best_ = trial.result;
        ZopfliTrial chosen = std::move(trials[first]);
        chosen.result.iterations = full[first];
        chosen.result.stream = std::vector<uint8_t>();
        chosen.result.length = chosen.result.fileSize = 0;
        trials.clear();
        trials.push_back(std::move(chosen));
    }
    if (!runZopfli(trials))
        return false;
    stageEnded("zopfli");
    for (ZopfliTrial& trial : trials)
        if (better(trial.result, best_))
            best_ = std::move(trial.result);
    return true;
}

bool ExtendedSearch::runZopfli(std::vector<ZopfliTrial>& trials)
{
    // Pairs of one part each run side by side, one per worker; others one
    // after another, each split over the workers.
    const bool sideBySide =
        std::all_of(trials.begin(), trials.end(), [](const ZopfliTrial& t) { return t.starts.size() == 1; });
    {
        TaskGroup group(sideBySide ? pool_.get() : nullptr);
        WorkerPool* partsPool = sideBySide ? nullptr : pool_.get();
        for (ZopfliTrial& t : trials) {
            ZopfliTrial* trial = &t;
            group.submit([trial, partsPool] {
                Measured& m = trial->result;
                if (zopfliEncodeAt(trial->input.data(), static_cast<uint32_t>(trial->input.size()),
                                   m.iterations, trial->starts, partsPool, m.stream))
                    m.length = static_cast<uint32_t>(m.stream.size());
            });
        }
        for (size_t i = 0; i < trials.size(); ++i) {
            group.wait();
            if (!step())
                return false;
        }
    }
    for (ZopfliTrial& trial : trials)
        if (!sizeFile(trial.result))
            return false;
    return true;
}

bool ExtendedSearch::choose(Measured& winner)
{
    const Candidate& candidate = candidates_[winner.candidate];
    ExtendedChoice choice = candidate.file;
    choice.filterPlan = candidate.plans[winner.strategy];
    choice.filterStrategy = winner.strategy;
    choice.encoder = winner.encoder;
    choice.encoderIterations = winner.iterations;
    choice.encoderParts = winner.parts;
    if (!winner.stream.empty()) {
        choice.stream = std::move(winner.stream);
    } else {
        // A zlib winner: its stream again, now kept.
        std::vector<uint8_t> filtered;
        if (!filterByPlan(candidate.packed, choice.filterPlan, filtered) ||
            !zlibEncode(filtered.data(), static_cast<uint32_t>(filtered.size()), winner.encoder,
                        choice.stream))
            return false;
    }
    if (choice.stream.size() != winner.length ||
        pngFileSize(describePngFile(request_, choice.format(), winner.length)) != winner.fileSize)
        return false;   // the file would not be the size measured
    choice_ = std::move(choice);
    return true;
}

bool ExtendedSearch::run(unsigned threads)
{
    choice_ = ExtendedChoice();
    stageEnded("default search");
    if (threads > 1)
        pool_ = sharedWorkerPool(threads);   // the default search's workers, or those of runs beside it
    bool ok = false;
    try {
        ok = step() && prepareCandidates();
        if (ok)
            stageEnded("layouts");
        ok = ok && rank() && encodeBest();
        if (ok && best_.fileSize > 0 && best_.fileSize < request_.fileSize)
            ok = choose(best_);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    pool_.reset();
    if (!ok)
        choice_ = ExtendedChoice();
    return ok;
}

bool ExtendedSearch::runOnRows(const PackedRows& rows, unsigned threads)
{
    choice_ = ExtendedChoice();
    bool ok = false;
    try {
        candidates_.resize(1);
        Candidate& candidate = candidates_.front();
        candidate.rows.assign(rows.rows, rows.rows + size_t(rows.stride) * rows.height);
        candidate.packed = {candidate.rows.data(), rows.stride, rows.height, rows.bytesPerPixel};
        candidate.file.layout = LAYOUT_RGBA;   // sizes the files compared; the same for every pair
        if (threads > 1)
            pool_ = sharedWorkerPool(threads);
        ok = step() && rank() && encodeBest() && best_.fileSize > 0 && choose(best_);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    pool_.reset();
    if (!ok)
        choice_ = ExtendedChoice();
    else
        choice_.layout = LAYOUT_DEFAULT;
    return ok;
}

}   // namespace

void setExtendedStageObserver(ExtendedStageObserver observer, void* context)
{
    stageObserver = observer;
    stageObserverContext = context;
}

int32_t requestedExtendedLevel(const ConvertRequest& request)
{
    const int32_t level = request.extendedLevel;
    return level >= kMinExtendedLevel && level <= kMaxExtendedLevel ? level : kDefaultExtendedLevel;
}

bool runsDefaultSearch(const ConvertRequest& request, uint64_t pixels)
{
    return !(request.options & OPT_EXTENDED_SEARCH) ||
           pixels <= kLevelPolicies[requestedExtendedLevel(request) - 1].defaultSearchPixels;
}

int32_t automaticZopfliIterations(uint64_t dataBytes)
{
    return zopfliIterations(dataBytes, kMostZopfliIterations, kLeastZopfliIterations);
}

PngFormat ExtendedChoice::format() const
{
    PngFormat format;
    format.layout = layout;
    format.depth = depth;
    format.palette = palette.data();
    format.paletteBytes = static_cast<uint32_t>(palette.size());
    format.transparency = transparency.data();
    format.transparencyBytes = static_cast<uint32_t>(transparency.size());
    return format;
}

bool runExtendedSearch(const ConvertRequest& request, unsigned threads, ExtendedChoice& choice)
{
    ExtendedSearch search(request, choice);
    return search.run(threads);
}

bool runExtendedRowsSearch(const ConvertRequest& request, const PackedRows& rows, unsigned threads,
                           ExtendedChoice& choice)
{
    ExtendedSearch search(request, choice);
    return search.runOnRows(rows, threads);
}
