#include "engine/extended/extended_filters.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

#include "engine/extended/fixed_log2.h"
#include "engine/png_optimizer.h"
#include "engine/row_filters.h"

namespace {

const uint8_t* rowData(const PackedRows& image, uint32_t row)
{
    return image.rows + size_t(row) * image.stride + 1;
}

const uint8_t* aboveData(const PackedRows& image, uint32_t row)
{
    return row == 0 ? nullptr : rowData(image, row - 1);
}

// One zlib stream reused for every row trial.
class RowTrialCompressor {
public:
    bool open()
    {
        ready_ = deflateInit2(&stream_, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        return ready_;
    }
    ~RowTrialCompressor()
    {
        if (ready_)
            deflateEnd(&stream_);
    }

    // Bytes of a stream holding row (type byte included) after history; 0 on failure.
    uint32_t length(const uint8_t* history, uint32_t historyBytes, const uint8_t* row,
                    uint32_t rowBytes)
    {
        if (deflateReset(&stream_) != Z_OK)
            return 0;
        if (historyBytes > 0 && deflateSetDictionary(&stream_, history, historyBytes) != Z_OK)
            return 0;
        const uLong bound = deflateBound(&stream_, rowBytes);
        if (scratch_.size() < bound)
            scratch_.resize(bound);
        stream_.next_in = const_cast<Bytef*>(row);
        stream_.avail_in = rowBytes;
        stream_.next_out = scratch_.data();
        stream_.avail_out = static_cast<uInt>(scratch_.size());
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END)
            return 0;
        return static_cast<uint32_t>(stream_.total_out);
    }

private:
    z_stream stream_ = {};
    bool ready_ = false;
    std::vector<uint8_t> scratch_;
};

// Each row the type whose filtered row (type byte included) the scorer finds
// cheapest after up to historyLimit bytes of the rows chosen before it; the
// lowest type on a tie. scorer.length(history, historyBytes, row, rowBytes)
// returns the bytes of that trial's stream, 0 on failure.
template <class Scorer>
bool planByTrialLength(const PackedRows& image, uint32_t historyLimit, Scorer& scorer,
                       std::vector<uint8_t>& types)
{
    const uint32_t stride = image.stride;
    std::vector<uint8_t> chosen(size_t(stride) * image.height);   // the filtered rows so far
    std::vector<uint8_t> trial(stride);
    for (uint32_t r = 0; r < image.height; ++r) {
        const size_t done = size_t(r) * stride;
        const uint32_t historyBytes = static_cast<uint32_t>(std::min<size_t>(done, historyLimit));
        const uint8_t* history = chosen.data() + done - historyBytes;
        uint32_t best = 0;
        for (int32_t type = FILTER_NONE; type <= FILTER_PAETH; ++type) {
            trial[0] = rowFilterFor(type)(trial.data() + 1, rowData(image, r), aboveData(image, r),
                                          stride - 1, image.bytesPerPixel);
            const uint32_t length = scorer.length(history, historyBytes, trial.data(), stride);
            if (length == 0)
                return false;
            if (type == FILTER_NONE || length < best) {
                best = length;
                types[r] = static_cast<uint8_t>(type);
                std::copy(trial.begin(), trial.end(), chosen.begin() + done);
            }
        }
    }
    return true;
}

bool planByCompressedLength(const PackedRows& image, std::vector<uint8_t>& types)
{
    RowTrialCompressor compressor;
    return compressor.open() && planByTrialLength(image, kCompressedPlanHistory, compressor, types);
}

// libdeflate's whole-buffer stream of history and row. libdeflate takes no
// preset dictionary, so the history is compressed with the row; its share is
// the same for the five trials of a row and does not change their order.
class LibdeflateRowTrial {
public:
    explicit LibdeflateRowTrial(int level) : compressor_(libdeflate_alloc_compressor(level)) {}
    ~LibdeflateRowTrial() { libdeflate_free_compressor(compressor_); }
    LibdeflateRowTrial(const LibdeflateRowTrial&) = delete;
    LibdeflateRowTrial& operator=(const LibdeflateRowTrial&) = delete;
    bool ready() const { return compressor_ != nullptr; }

    uint32_t length(const uint8_t* history, uint32_t historyBytes, const uint8_t* row, uint32_t rowBytes)
    {
        input_.assign(history, history + historyBytes);
        input_.insert(input_.end(), row, row + rowBytes);
        output_.resize(libdeflate_deflate_compress_bound(compressor_, input_.size()));
        return static_cast<uint32_t>(libdeflate_deflate_compress(compressor_, input_.data(), input_.size(),
                                                                 output_.data(), output_.size()));
    }

private:
    libdeflate_compressor* compressor_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
};

}   // namespace

bool planFilters(const PackedRows& image, int32_t strategy, std::vector<uint8_t>& types)
{
    try {
        types.assign(image.height, 0);
        if (image.stride < 1)
            return false;
        if (strategy >= FILTER_NONE && strategy <= FILTER_PAETH) {
            std::fill(types.begin(), types.end(), static_cast<uint8_t>(strategy));
            return true;
        }
        if (strategy == FILTER_MIN_SUM)
            return planRowHeuristics(image, &types, nullptr);
        if (strategy == FILTER_ENTROPY)
            return planRowHeuristics(image, nullptr, &types);
        if (strategy == FILTER_COMPRESSED)
            return planByCompressedLength(image, types);
        if (strategy == FILTER_LIBDEFLATE)
            return planFiltersByLibdeflate(image, kLibdeflatePlanLevel, types);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return false;
}

bool planRowHeuristics(const PackedRows& image, std::vector<uint8_t>* minSum, std::vector<uint8_t>* entropy)
{
    try {
        const uint32_t rowBytes = image.stride - 1;
        if (image.stride < 1)
            return false;
        if (minSum)
            minSum->assign(image.height, 0);
        if (entropy)
            entropy->assign(image.height, 0);
        std::vector<uint8_t> trial(rowBytes);
        for (uint32_t r = 0; r < image.height; ++r) {
            uint64_t bestSum = 0, bestCounts = 0;
            for (int32_t type = FILTER_NONE; type <= FILTER_PAETH; ++type) {
                rowFilterFor(type)(trial.data(), rowData(image, r), aboveData(image, r), rowBytes,
                                   image.bytesPerPixel);
                if (minSum) {
                    const uint64_t sum = filteredRowSum(trial.data(), rowBytes);
                    if (type == FILTER_NONE || sum < bestSum) {
                        bestSum = sum;
                        (*minSum)[r] = static_cast<uint8_t>(type);
                    }
                }
                if (entropy) {
                    uint32_t histogram[256] = {};
                    for (uint32_t i = 0; i < rowBytes; ++i)
                        ++histogram[trial[i]];
                    // The row's byte count is the same for every type: the
                    // lowest entropy is the highest sum of c log2 c.
                    const uint64_t counts = countLog2Sum(histogram, 256);
                    if (type == FILTER_NONE || counts > bestCounts) {
                        bestCounts = counts;
                        (*entropy)[r] = static_cast<uint8_t>(type);
                    }
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool planFiltersByLibdeflate(const PackedRows& image, int level, std::vector<uint8_t>& types)
{
    try {
        types.assign(image.height, 0);
        LibdeflateRowTrial trial(level);
        return image.stride >= 1 && trial.ready() &&
               planByTrialLength(image, kLibdeflatePlanHistory, trial, types);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void filterPlannedRow(const PackedRows& image, const std::vector<uint8_t>& types, uint32_t row,
                      uint8_t* destination)
{
    destination[0] = rowFilterFor(types[row])(destination + 1, rowData(image, row),
                                              aboveData(image, row), image.stride - 1,
                                              image.bytesPerPixel);
}

bool filterByPlan(const PackedRows& image, const std::vector<uint8_t>& types,
                  std::vector<uint8_t>& filtered)
{
    try {
        filtered.resize(size_t(image.stride) * image.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t r = 0; r < image.height; ++r)
        filterPlannedRow(image, types, r, filtered.data() + size_t(r) * image.stride);
    return true;
}
