#include "engine/trial_runner.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

#include "core/byte_buffer.h"
#include "core/size_limits.h"
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

// Compresses one trial with the worker's scratch; 0 for failure or a drop.
uint32_t compressTrial(const TrialRows& rows, const TrialSpec& spec, WorkerScratch& scratch,
                       const std::atomic<bool>* stop)
{
    if (!scratch.output.data && !scratch.output.allocate(kDeflateScratchBytes, false))
        return 0;
    TrialInput input = {&rows, spec.filter, nullptr, 0, 0, stop};
    if (spec.filter != kRowsAsTheyAre) {
        input.rowsPerPiece = rows.stride < kPieceBytes ? kPieceBytes / rows.stride : 1;
        const uint32_t bytes = input.rowsPerPiece * rows.stride;
        if (scratch.rows.size < bytes && !scratch.rows.allocate(bytes, false))
            return 0;
        input.buffer = scratch.rows.data;
    }
    uint32_t total = 0;
    if (!deflateFrom(nextPiece, &input, spec.windowBits, spec.memLevel, scratch.output.data,
                     kDeflateScratchBytes, nullptr, nullptr, total))
        return 0;
    return total;
}

// The real measurement: zlib, streamed, with proven-equal trials answered
// from each other, run ahead on a worker pool when there is one.
class CompressingTrials final : public TrialRunner {
public:
    explicit CompressingTrials(unsigned threads)
    {
        if (threads > 1) {
            pool_.reset(new (std::nothrow) WorkerPool(threads));
            if (pool_ && pool_->size() == 0)
                pool_.reset();
        }
    }

    ~CompressingTrials() override { endRound(); }

    void beginRound(const TrialRows& rows, const TrialSpec* trials, int count,
                    uint32_t knownDefaultSize) override
    {
        rows_ = rows;
        const uint32_t length = roundBytes(rows);
        int32_t defaultWindowBits = 15;
        int32_t defaultMemLevel = 8;
        sameLengthParams(length, defaultWindowBits, defaultMemLevel);
        for (int i = 0; i < count; ++i) {
            Trial& trial = trials_[i];
            trial.spec = trials[i];
            trial.sameAs = -1;
            trial.size = 0;
            trial.done = false;
            trial.needsCompression = true;
            if (trial.spec.filter != kRowsAsTheyAre)
                continue;   // distinct filtered data: nothing to share
            trial.windowBits = trial.spec.windowBits;
            trial.memLevel = trial.spec.memLevel;
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
                if (earlier.spec.filter == kRowsAsTheyAre && earlier.windowBits == trial.windowBits &&
                    earlier.memLevel == trial.memLevel) {
                    trial.sameAs = earlier.sameAs >= 0 ? earlier.sameAs : j;
                    trial.needsCompression = false;
                    break;
                }
            }
        }
        if (!pool_)
            return;
        // Every compression of the round is queued at once, in the order the
        // search asks for them; the workers take them from the front.
        open_ = true;
        for (int i = 0; i < count; ++i) {
            if (!trials_[i].needsCompression)
                continue;
            jobs_[i] = {this, i};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++outstanding_;
            }
            pool_->submit(runJob, &jobs_[i]);
        }
    }

    uint32_t size(int index) override
    {
        const Trial& asked = trials_[index];
        const int source = asked.sameAs >= 0 ? asked.sameAs : index;
        if (!pool_) {
            Trial& trial = trials_[source];
            if (!trial.done) {
                trial.size = compressTrial(rows_, trial.spec, scratch_[0], nullptr);
                trial.done = true;
            }
            return trial.size;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [&] { return trials_[source].done; });
        return trials_[source].size;
    }

    void endRound() override
    {
        if (!open_)
            return;
        dropping_.store(true);
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return outstanding_ == 0; });
        dropping_.store(false);
        open_ = false;
    }

private:
    struct Trial {
        TrialSpec spec;
        int32_t windowBits;    // the parameters of spec's class of equal lengths
        int32_t memLevel;
        int sameAs;            // earlier trial of the same length, or -1
        bool needsCompression;
        bool done;             // size is final (guarded by mutex_ once queued)
        uint32_t size;
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
        uint32_t size = 0;
        if (!dropping_.load())
            size = compressTrial(rows_, trials_[index].spec, scratch_[worker], &dropping_);
        std::lock_guard<std::mutex> lock(mutex_);
        trials_[index].size = size;
        trials_[index].done = true;
        --outstanding_;
        finished_.notify_all();
    }

    std::unique_ptr<WorkerPool> pool_;        // null: trials run on the calling thread
    WorkerScratch scratch_[kMaxWorkers];      // one per worker
    TrialRows rows_;
    Trial trials_[kMaxRoundTrials] = {};
    Job jobs_[kMaxRoundTrials] = {};
    bool open_ = false;                       // jobs of this round may still be queued
    std::mutex mutex_;
    std::condition_variable finished_;
    int outstanding_ = 0;                     // queued or running jobs
    std::atomic<bool> dropping_{false};
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
        const TrialSpec& spec = trials_[index];
        const uint32_t length = roundBytes(rows_);
        const uint8_t* data = rows_.rows;
        if (spec.filter != kRowsAsTheyAre) {
            if (filtered_.size != length && !filtered_.allocate(length, false))
                return 0;
            filterRows(rows_.rows, rows_.stride, 0, rows_.height, spec.filter, rows_.bytesPerPixel,
                       filtered_.data);
            data = filtered_.data;
        }
        return measure_(context_, data, length, spec.windowBits, spec.memLevel);
    }

    void endRound() override { filtered_.release(); }

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
