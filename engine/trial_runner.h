#pragma once
// The compressions behind the encoding search's trials, one round at a time.
//
// A round is a list of trials on one set of rows, in the order in which the
// search will report them: the six filter choices at window bits 15 and
// memory level 8, or the deflate parameter pairs on the winning filter's rows.
// The search asks for the sizes in that order and may stop asking at any
// point (a cancel, an early stop, a failure); it then ends the round.
//
// A runner may compress trials ahead of the search, on worker threads, and may
// answer a trial from another whose length is known to be the same, but the
// size it gives for a trial is always exactly the length of the zlib stream of
// that trial. It may also keep the compressed stream of the round's best trial,
// so the winner need not be compressed once more for the file. The runner is
// owned and driven by one thread.

#include <cstdint>
#include <memory>

#include "engine/png_optimizer.h"

// A round on fewer bytes of rows runs on the calling thread; from this many on,
// its compressions go to the worker threads.
constexpr uint32_t kParallelRowBytes = 32768;
// From this many pixels on, an image's rows fill the parallel rounds
// (kParallelRowBytes of rows even at 8 bits per pixel), so its own conversion
// keeps every core busy: a caller that converts several images at once does
// better to convert such an image alone.
constexpr int64_t kWholeMachinePixels = kParallelRowBytes;

// Rows a round compresses: height rows of stride bytes, each its filter-type
// byte followed by its data. They stay valid and unchanged until endRound.
struct TrialRows {
    const uint8_t* rows = nullptr;
    uint32_t stride = 0;
    uint32_t height = 0;
    uint32_t bytesPerPixel = 1;   // for trials that filter the rows on the way in
};

// Marks a trial that compresses the rows as they are.
constexpr int32_t kRowsAsTheyAre = -1;

struct TrialSpec {
    int32_t filter;       // filter choice applied to the rows, or kRowsAsTheyAre
    int32_t windowBits;
    int32_t memLevel;
};

// The most trials one round holds (8 window bits times 6 memory levels).
constexpr int kMaxRoundTrials = 48;

class TrialRunner {
public:
    virtual ~TrialRunner() = default;
    // Begins a round of count trials (1 to kMaxRoundTrials). trials stays
    // valid until endRound. knownDefaultSize is the stream length of the rows
    // as they are at window bits 15 and memory level 8 when already measured,
    // 0 when not.
    virtual void beginRound(const TrialRows& rows, const TrialSpec* trials, int count,
                            uint32_t knownDefaultSize) = 0;
    // The stream length of trial index; 0 when its compression failed. Asked
    // in increasing index order, each at most once; waits until it is known.
    virtual uint32_t size(int index) = 0;
    // Ends the round: trials not asked for are dropped and compressions under
    // way stop at their next piece of input. Returns once no thread reads the
    // rows any more.
    virtual void endRound() = 0;
    // After endRound: moves the complete zlib stream of the best trial asked
    // for (the smallest size, the earliest among equals) into stream, when
    // the runner kept it; false, stream untouched, when it did not (the size
    // was known without a compression of that very trial, or the stream was
    // larger than the runner keeps).
    virtual bool takeBestStream(AppendBuffer& stream) = 0;
};

// Measures every trial with zlib, streaming filter trials row by row so no
// filtered image is held, and answers a trial from an earlier one (or from
// knownDefaultSize) when sameLengthParams proves the length equal. With more
// than one thread the compressions of a round on 32 KiB of rows or more run
// on the process's shared pool of that many workers (sharedWorkerPool, taken
// by the first such round), at most
// two per worker ahead of the trial the search asks for; otherwise each runs
// on the calling thread when asked for. Keeps the best
// trial's stream when it is at most max(1 MiB, rows / (4 * workers + 8))
// bytes long, so all streams held at once stay within half the rows plus a
// few MiB per worker. Null when the runner cannot be made.
std::unique_ptr<TrialRunner> makeCompressingTrialRunner(unsigned threads);

// Measures each trial on the calling thread when asked for, through measure,
// on the whole rows (filter trials first filter them into a buffer of their
// own). Takes no size as known and keeps no stream. Null when the runner
// cannot be made.
std::unique_ptr<TrialRunner> makeMeasuringTrialRunner(TrialMeasure measure, void* context);
