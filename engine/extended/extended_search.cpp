#include "engine/extended/extended_search.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <vector>

#include "core/shared_flag.h"
#include "engine/extended/extended_encoders.h"
#include "engine/extended/extended_filters.h"
#include "engine/extended/extended_layouts.h"
#include "engine/extended/zopfli_parts.h"
#include "engine/row_filters.h"
#include "engine/worker_pool.h"

const char* const kExtendedLayoutNames[kExtendedLayoutCount] = {
    "既定", "パレット", "グレー", "グレー+tRNS", "グレー+α", "RGB", "RGB+tRNS", "RGBA",
};
const char* const kPaletteOrderNames[kPaletteOrderCount] = {
    "-", "入力順", "透明優先・頻度順", "輝度順", "隣接順",
};
const char* const kFilterStrategyNames[kFilterStrategyCount] = {
    "NONE", "SUB", "UP", "AVERAGE", "PAETH", "総和最小", "エントロピー最小", "圧縮長最小",
    "圧縮長最小 (libdeflate)",
};
const char* const kDeflateEncoderNames[kDeflateEncoderCount] = {
    "zlib", "zlib (filtered)", "zlib (Huffman)", "zlib (RLE)", "zopfli", "libdeflate 12",
};

namespace {

// Every (layout, filter) pair is first screened at a fast zlib level; only
// the best few (the finalists) are then ranked by libdeflate level 12, which
// orders them as zopfli does where zlib level 9 does not. Layouts whose rows
// exceed kLargeRowsBytes get a faster screening and fewer finalists.
constexpr uint64_t kLargeRowsBytes = 512u << 10;
constexpr int kScreeningLevel = 6;
constexpr int kLargeScreeningLevel = 4;
constexpr size_t kFinalistCount = 6;
constexpr size_t kLargeFinalistCount = 3;
// The row-by-row plans (their row trials cost several compressions of the
// image each) are made for the layouts of the best kCompressedPlanCount
// screened pairs (1 when a layout's rows exceed kLargeRowsBytes), and never
// for rows above kCompressedPlanMaxBytes (FILTER_COMPRESSED) or
// kLibdeflatePlanMaxBytes (FILTER_LIBDEFLATE, the dearer one). The libdeflate
// plan skips screening: zlib's order is the one it is meant to correct.
constexpr size_t kCompressedPlanCount = 2;
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
// plasma photos lose at 5. cargo-logo's probe saves 0.25%, its whole stream
// 0.8%: the threshold stays low.
constexpr uint32_t kProbeBytes = 128u << 10;
constexpr uint32_t kProbeParts = 2;
constexpr uint32_t kProbeGainPerMille = 1;

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

class ExtendedSearch {
public:
    ExtendedSearch(const ConvertRequest& request, ExtendedChoice& choice) : request_(request), choice_(choice) {}

    bool run(unsigned threads);

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
    bool zopfliPays(const std::vector<uint8_t>& filtered);
    bool sizeFile(Measured& m) const;
    // Sizes each trial's file as its task (group's i-th for trials[i]) ends;
    // false on a failure or a cancel.
    bool collectMeasurements(TaskGroup& group, std::vector<Measured>& trials);
    std::vector<std::pair<size_t, int32_t>> bestPairs(const std::vector<Measured>& results,
                                                      size_t count) const;
    bool rank();
    bool encodeBest();
    bool better(const Measured& a, const Measured& b) const;
    bool choose(Measured& winner);

    const ConvertRequest& request_;
    ExtendedChoice& choice_;
    std::shared_ptr<WorkerPool> pool_;
    ExactPicture picture_;
    ColourFacts facts_;
    std::vector<Candidate> candidates_;
    std::vector<Measured> screened_;   // every screening result, in order
    std::vector<Measured> measured_;   // every finalist's result, in submission order (no streams)
    Measured best_;
};

bool ExtendedSearch::prepareCandidates()
{
    std::vector<Layout> layouts;
    if (!exactPicture(request_, picture_) || !analyseColours(picture_, facts_) ||
        !exactLayouts(picture_, facts_, layouts))
        return false;
    try {
        candidates_.resize(layouts.size());
        for (size_t i = 0; i < layouts.size(); ++i) {
            Candidate& candidate = candidates_[i];
            candidate.layout = std::move(layouts[i]);
            uint32_t stride = 0;
            if (!packLayout(picture_, facts_, candidate.layout, candidate.rows, stride))
                return false;
            candidate.packed = {candidate.rows.data(), stride, picture_.height,
                                filterBytesPerPixel(static_cast<int32_t>(layoutBitsPerPixel(candidate.layout)))};
            ExtendedChoice& file = candidate.file;
            file.layout = candidate.layout.kind;
            file.depth = candidate.layout.depth;
            file.paletteOrder = candidate.layout.order;
            layoutChunks(candidate.layout, facts_, file.palette, file.transparency);
        }
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
    for (const auto& pair : pairs) {
        Candidate* c = &candidates_[pair.first];
        const int32_t strategy = pair.second;
        group.submit([c, strategy] {
            c->planned[strategy] = planFilters(c->packed, strategy, c->plans[strategy]);
        });
    }
    for (size_t i = 0; i < pairs.size(); ++i) {
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
        const int level = candidate->rows.size() > kLargeRowsBytes ? kLargeScreeningLevel : kScreeningLevel;
        group.submit([trial, candidate, stop, level] {
            trial->length = zlibPlannedLength(candidate->packed, candidate->plans[trial->strategy],
                                              trial->encoder, level, *stop);
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
        m.stream.clear();
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
    // rows each, at a fast zlib level (faster still for large rows).
    std::vector<std::pair<size_t, int32_t>> pairs;
    for (size_t c = 0; c < candidates_.size(); ++c)
        for (int32_t strategy = 0; strategy < FILTER_COMPRESSED; ++strategy)
            pairs.emplace_back(c, strategy);
    std::vector<Measured> trials;
    for (const auto& pair : pairs)
        trials.push_back({pair.first, pair.second, ENCODER_ZLIB, 0, 0, 0, 0, {}});
    if (!plan(pairs) || !screen(trials))
        return false;

    // The row-by-row plans on the layouts of the best few.
    const std::vector<std::pair<size_t, int32_t>> leaders = bestPairs(screened_, screened_.size());
    const bool large = candidates_[leaders.front().first].rows.size() > kLargeRowsBytes;
    std::vector<size_t> layouts;
    for (const auto& pair : leaders)
        if (layouts.size() < (large ? 1 : kCompressedPlanCount) &&
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

    // The finalists, and the libdeflate plans beside them.
    std::vector<std::pair<size_t, int32_t>> finalists =
        bestPairs(screened_, large ? kLargeFinalistCount : kFinalistCount);
    finalists.insert(finalists.end(), libdeflatePlans.begin(), libdeflatePlans.end());
    return measureFinalists(finalists);
}

bool ExtendedSearch::zopfliPays(const std::vector<uint8_t>& filtered)
{
    if (request_.extendedIterations > 0 || filtered.size() <= kProbeBytes)
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
    // zopfli, split over the cores, on the pair libdeflate ranked first.
    const Measured* leader = nullptr;
    for (const Measured& m : measured_)
        if (m.encoder == ENCODER_LIBDEFLATE && (!leader || better(m, *leader)))
            leader = &m;
    if (!leader)
        return true;
    const Candidate& candidate = candidates_[leader->candidate];
    std::vector<uint8_t> filtered;
    if (!filterByPlan(candidate.packed, candidate.plans[leader->strategy], filtered))
        return false;
    if (!step() || !zopfliPays(filtered))
        return !cancelled();
    Measured m;
    m.candidate = leader->candidate;
    m.strategy = leader->strategy;
    m.encoder = ENCODER_ZOPFLI;
    m.iterations = request_.extendedIterations > 0 ? request_.extendedIterations
                                                    : automaticZopfliIterations(filtered.size());
    m.parts = zopfliPartCount(filtered.size());
    if (!step() || !zopfliEncodeParts(filtered.data(), static_cast<uint32_t>(filtered.size()), m.iterations,
                                      m.parts, pool_.get(), m.stream))
        return false;
    m.length = static_cast<uint32_t>(m.stream.size());
    if (!sizeFile(m) || !step())
        return false;
    if (better(m, best_))
        best_ = std::move(m);
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
    if (!step() || !prepareCandidates())
        return false;
    if (threads > 1)
        pool_ = sharedWorkerPool(threads);   // the default search's workers, or those of runs beside it
    bool ok = false;
    try {
        ok = rank() && encodeBest();
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

}   // namespace

int32_t automaticZopfliIterations(uint64_t dataBytes)
{
    if (dataBytes <= kFullIterationBytes)
        return kMostZopfliIterations;
    const uint64_t iterations = kMostZopfliIterations * kFullIterationBytes / dataBytes;
    return iterations < kLeastZopfliIterations ? kLeastZopfliIterations : static_cast<int32_t>(iterations);
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
