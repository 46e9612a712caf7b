#include "engine/trial_runner.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

#include "core/byte_buffer.h"
#include "engine/deflate_stream.h"
#include "engine/row_filters.h"
#include "engine/worker_pool.h"

namespace {

// Input is handed to zlib in pieces of about this size, so a dropped trial
// stops soon and a filter trial needs only this much filtered data at a time.
constexpr uint32_t kPieceBytes = 65536;

// Bytes of the rows of a round; the caller's buffer already holds them all.
uint32_t roundBytes(const TrialRows& rows)
{
    return rows.stride * rows.height;
}

// Scratch memory of one worker: the compressed output and one piece of
// filtered rows. Grown on first use, kept for the runner's life.
struct WorkerScratch {
    ByteBuffer output;
    ByteBuffer rows;
};

// Hands a trial's input to zlib piece by piece: either slices of the rows as
// they are, or whole rows filtered into the worker's buffer.
struct TrialInput {
    const TrialRows* rows;
    int32_t filter;
    uint8_t* buffer;                  // filter trials: rowsPerPiece rows
    uint32_t rowsPerPiece;
    uint32_t next;                    // next row, or next byte for rows as they are
    const std::atomic<bool>* stop;    // set: the trial is dropped
};

bool nextPiece(void* context, const uint8_t*& piece, uint32_t& count)
{
    auto* input = static_cast<TrialInput*>(context);
    if (input->stop && input->stop->load(std::memory_order_relaxed))
        return false;
    const TrialRows& rows = *input->rows;
    if (input->filter == kRowsAsTheyAre) {
        const uint32_t total = roundBytes(rows);
        count = total - input->next < kPieceBytes ? total - input->next : kPieceBytes;
        piece = rows.rows + input->next;
        input->next += count;
        return true;
    }
    const uint32_t left = rows.height - input->next;
    const uint32_t rowCount = left < input->rowsPerPiece ? left : input->rowsPerPiece;
    filterRows(rows.rows, rows.stride, input->next, rowCount, input->filter, rows.bytesPerPixel,
               input->buffer);
    input->next += rowCount;
    piece = input->buffer;
    count = rowCount * rows.stride;
    return true;
}

// A kept stream grows in steps of this size.
constexpr uint32_t kStreamStepBytes = 262144;

// Where a trial's compressed output goes: counted always, and appended to
// the trial's stream while it stays within the keeping limit.
struct StreamKeeper {
    AppendBuffer* stream;   // null: only counted
    uint32_t limit;
};

bool keepPiece(const uint8_t* bytes, uint32_t count, void* context)
{
    auto* keeper = static_cast<StreamKeeper*>(context);
    if (!keeper->stream)
        return true;
    AppendBuffer& stream = *keeper->stream;
    if (count > keeper->limit - stream.used ||
        (!stream.data && !stream.init(kStreamStepBytes, kStreamStepBytes)) ||
        !stream.append(bytes, count)) {
        stream.release();   // too long to keep, or no memory for it: count only
        keeper->stream = nullptr;
    }
    return true;
}

// Compresses one trial with the worker's scratch; 0 for failure or a drop.
// The stream goes into keep (emptied first) unless it grows beyond
// keepLimit, in which case keep ends up empty.
uint32_t compressTrial(const TrialRows& rows, const TrialSpec& settings, WorkerScratch& scratch,
                       const std::atomic<bool>* stop, AppendBuffer& keep, uint32_t keepLimit)
{
    keep.release();
    if (!scratch.output.data && !scratch.output.allocate(kDeflateScratchBytes, false))
        return 0;
    TrialInput input = {&rows, settings.filter, nullptr, 0, 0, stop};
    if (settings.filter != kRowsAsTheyAre) {
        input.rowsPerPiece = rows.stride < kPieceBytes ? kPieceBytes / rows.stride : 1;
        const uint32_t bytes = input.rowsPerPiece * rows.stride;
        if (scratch.rows.size < bytes && !scratch.rows.allocate(bytes, false))
            return 0;
        input.buffer = scratch.rows.data;
    }
    StreamKeeper keeper = {&keep, keepLimit};
    uint32_t total = 0;
    if (!deflateFrom(nextPiece, &input, settings.windowBits, settings.memLevel, scratch.output.data,
                     kDeflateScratchBytes, keepPiece, &keeper, total)) {
        keep.release();
        return 0;
    }
    return total;
}

// The real measurement: zlib, streamed, with proven-equal trials answered
// from each other, run ahead on a worker pool when there is one.
class CompressingTrials final : public TrialRunner {
public:
    explicit CompressingTrials(unsigned threads) : threads_(threads) {}

    ~CompressingTrials() override { endRound(); }

    void beginRound(const TrialRows& rows, const TrialSpec* trials, int count,
                    uint32_t knownDefaultSize) override
    {
        releaseStreams();
        rows_ = rows;
        count_ = count;
        asked_ = -1;
        nextToQueue_ = 0;
        best_ = -1;
        const uint32_t length = roundBytes(rows);
        // Compressions of small rows take less than handing them to a worker
        // and waking the caller would: they stay on the calling thread.
        if (threads_ > 1 && length >= kParallelRowBytes && !pool_)
            pool_ = sharedWorkerPool(threads_);
        parallel_ = pool_ && length >= kParallelRowBytes;
        const unsigned workers = parallel_ ? pool_->size() : 1;
        aheadLimit_ = static_cast<int>(kAheadPerWorker * workers);
        const uint32_t share = length / (4 * workers + 8);
        keepLimit_ = share > kAlwaysKeptBytes ? share : kAlwaysKeptBytes;
        int32_t defaultWindowBits = 15;
        int32_t defaultMemLevel = 8;
        sameLengthParams(length, defaultWindowBits, defaultMemLevel);
        for (int i = 0; i < count; ++i) {
            Trial& trial = trials_[i];
            trial.settings = trials[i];
            trial.sameAs = -1;
            trial.size = 0;
            trial.done = false;
            trial.needsCompression = true;
            if (trial.settings.filter != kRowsAsTheyAre)
                continue;   // distinct filtered data: nothing to share
            trial.windowBits = trial.settings.windowBits;
            trial.memLevel = trial.settings.memLevel;
            sameLengthParams(length, trial.windowBits, trial.memLevel);
            if (knownDefaultSize != 0 && trial.windowBits == defaultWindowBits &&
                trial.memLevel == defaultMemLevel) {
                trial.size = knownDefaultSize;
                trial.done = true;
                trial.needsCompression = false;
                continue;
            }
            for (int j = 0; j < i; ++j) {
                const Trial& earlier = trials_[j];
                if (earlier.settings.filter == kRowsAsTheyAre && earlier.windowBits == trial.windowBits &&
                    earlier.memLevel == trial.memLevel) {
                    trial.sameAs = earlier.sameAs >= 0 ? earlier.sameAs : j;
                    trial.needsCompression = false;
                    break;
                }
            }
        }
        if (parallel_) {
            open_ = true;
            queueAhead();
        }
    }

    uint32_t size(int index) override
    {
        asked_ = index;
        const Trial& asked = trials_[index];
        const int source = asked.sameAs >= 0 ? asked.sameAs : index;
        uint32_t size = 0;
        if (!parallel_) {
            Trial& trial = trials_[source];
            if (!trial.done) {
                trial.size = compressTrial(rows_, trial.settings, scratch_[0], nullptr, trial.stream,
                                           keepLimit_);
                trial.done = true;
            }
            size = trial.size;
        } else {
            queueAhead();
            std::unique_lock<std::mutex> lock(mutex_);
            finished_.wait(lock, [&] { return trials_[source].done; });
            size = trials_[source].size;
        }
        // The search keeps the smallest size, the earliest among equals; so
        // does the stream kept here. A trial answered from an earlier one is
        // never strictly smaller than that one, so it never becomes the best
        // without its own stream unless its size was known from outside.
        if (best_ < 0 || size < trials_[best_].size) {
            if (best_ >= 0)
                trials_[best_].stream.release();
            best_ = index;
        } else {
            trials_[index].stream.release();
        }
        return size;
    }

    void endRound() override
    {
        if (open_) {
            dropping_.store(true);
            std::unique_lock<std::mutex> lock(mutex_);
            finished_.wait(lock, [this] { return outstanding_ == 0; });
            dropping_.store(false);
            open_ = false;
        }
        for (int i = 0; i < count_; ++i)
            if (i != best_)
                trials_[i].stream.release();
    }

    bool takeBestStream(AppendBuffer& stream) override
    {
        if (best_ < 0 || !trials_[best_].needsCompression || trials_[best_].stream.used == 0)
            return false;
        stream = std::move(trials_[best_].stream);
        return true;
    }

private:
    // A best stream this short is always kept, whatever the rows' size.
    static constexpr uint32_t kAlwaysKeptBytes = 1u << 20;
    // Compressions queued per worker beyond the trial the search waits for.
    static constexpr int kAheadPerWorker = 2;

    struct Trial {
        TrialSpec settings = {kRowsAsTheyAre, 15, 8};
        int32_t windowBits = 15;    // the parameters of settings's class of equal lengths
        int32_t memLevel = 8;
        int sameAs = -1;            // earlier trial of the same length, or -1
        bool needsCompression = false;
        bool done = false;          // size is final (guarded by mutex_ once queued)
        uint32_t size = 0;
        AppendBuffer stream;        // the compressed stream, while kept
    };
    struct Job {
        CompressingTrials* owner;
        int index;
    };

    static void runJob(void* context, unsigned worker)
    {
        const Job& job = *static_cast<Job*>(context);
        job.owner->compress(job.index, worker);
    }

    void compress(int index, unsigned worker)
    {
        Trial& trial = trials_[index];
        uint32_t size = 0;
        if (!dropping_.load())
            size = compressTrial(rows_, trial.settings, scratch_[worker], &dropping_, trial.stream,
                                 keepLimit_);
        std::lock_guard<std::mutex> lock(mutex_);
        trial.size = size;
        trial.done = true;
        --outstanding_;
        finished_.notify_all();
    }

    // Queues compressions in the order the search asks for them, until
    // kAheadPerWorker per worker wait beyond the last trial asked for.
    void queueAhead()
    {
        int ahead = 0;
        for (int i = asked_ + 1; i < nextToQueue_; ++i)
            ahead += trials_[i].needsCompression ? 1 : 0;
        for (; nextToQueue_ < count_ && ahead < aheadLimit_; ++nextToQueue_) {
            if (!trials_[nextToQueue_].needsCompression)
                continue;
            jobs_[nextToQueue_] = {this, nextToQueue_};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++outstanding_;
            }
            pool_->submit(runJob, &jobs_[nextToQueue_]);
            ++ahead;
        }
    }

    void releaseStreams()
    {
        for (Trial& trial : trials_)
            trial.stream.release();
    }

    unsigned threads_;                        // workers to start for a round worth it
    bool parallel_ = false;                   // this round's trials run on the pool
    int aheadLimit_ = 0;
    WorkerScratch scratch_[kMaxWorkers];      // one per worker
    TrialRows rows_;
    Trial trials_[kMaxRoundTrials];
    Job jobs_[kMaxRoundTrials] = {};
    int count_ = 0;
    int asked_ = -1;                          // the last trial the search asked for
    int nextToQueue_ = 0;
    int best_ = -1;                           // the best trial asked for so far
    uint32_t keepLimit_ = 0;
    bool open_ = false;                       // jobs of this round may still be queued
    std::mutex mutex_;
    std::condition_variable finished_;
    int outstanding_ = 0;                     // queued or running jobs
    std::atomic<bool> dropping_{false};
    // Taken by the first round worth it and shared with the other runners of
    // the process (endRound waits for this runner's own jobs). Declared last,
    // so a pool this runner holds alone is joined before any member its jobs
    // use is destroyed.
    std::shared_ptr<WorkerPool> pool_;
};

// Every trial measured through a caller's function on the calling thread.
class MeasuringTrials final : public TrialRunner {
public:
    MeasuringTrials(TrialMeasure measure, void* context) : measure_(measure), context_(context) {}

    void beginRound(const TrialRows& rows, const TrialSpec* trials, int, uint32_t) override
    {
        rows_ = rows;
        trials_ = trials;
    }

    uint32_t size(int index) override
    {
        const TrialSpec& settings = trials_[index];
        const uint32_t length = roundBytes(rows_);
        const uint8_t* data = rows_.rows;
        if (settings.filter != kRowsAsTheyAre) {
            if (filtered_.size != length && !filtered_.allocate(length, false))
                return 0;
            filterRows(rows_.rows, rows_.stride, 0, rows_.height, settings.filter, rows_.bytesPerPixel,
                       filtered_.data);
            data = filtered_.data;
        }
        return measure_(context_, data, length, settings.windowBits, settings.memLevel);
    }

    void endRound() override { filtered_.release(); }

    bool takeBestStream(AppendBuffer&) override { return false; }

private:
    TrialMeasure measure_;
    void* context_;
    TrialRows rows_;
    const TrialSpec* trials_ = nullptr;
    ByteBuffer filtered_;
};

}   // namespace

std::unique_ptr<TrialRunner> makeCompressingTrialRunner(unsigned threads)
{
    return std::unique_ptr<TrialRunner>(new (std::nothrow) CompressingTrials(threads));
}

std::unique_ptr<TrialRunner> makeMeasuringTrialRunner(TrialMeasure measure, void* context)
{
    return std::unique_ptr<TrialRunner>(new (std::nothrow) MeasuringTrials(measure, context));
}
