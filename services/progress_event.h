#pragma once
// The optimizer's progress as typed events: the engine reports it through a
// callback whose five numbers use -1 for "does not apply"
// (engine/png_optimizer.h); this unit is the one place that reads them, and
// the front ends word the events as they like.
//
// Pure functions and a sink interface; the sink is called on the thread that
// runs the conversion.

#include <cstdint>

enum class ProgressKind {
    DepthStart,        // the search of one bit depth begins (bitDepth)
    FilterStart,       // a row-filter trial begins (filter)
    FilterDone,        // it ended with size bytes of image data
    ParametersStart,   // a deflate-parameter trial begins (windowBits, memLevel)
    ParametersDone,    // it ended with size bytes
    ExtendedStep,      // a step of the extended search (no numbers)
};

struct ProgressEvent {
    ProgressKind kind = ProgressKind::ExtendedStep;
    int32_t bitDepth = -1;
    int32_t filter = -1;
    int32_t windowBits = -1;
    int32_t memLevel = -1;
    int32_t size = -1;

    // A trial or an extended step begins: what the console shows as a dot.
    bool startsWork() const
    {
        return kind == ProgressKind::FilterStart || kind == ProgressKind::ParametersStart ||
               kind == ProgressKind::ExtendedStep;
    }
};

// The event the engine's callback arguments describe.
ProgressEvent decodeProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size);

// Receives a conversion's events. Implementations are called on the
// converting thread, one event at a time.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void onProgress(const ProgressEvent& event) = 0;
};

// An engine ProgressCallback that decodes the event and hands it to the
// ProgressSink that userData points to (null: nothing happens).
void forwardProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size,
                     void* userData);
