#include "services/progress_event.h"

ProgressEvent decodeProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size)
{
    ProgressEvent event;
    event.bitDepth = bitDepth;
    event.filter = filter;
    event.windowBits = windowBits;
    event.memLevel = memLevel;
    event.size = size;
    if (bitDepth >= 0)
        event.kind = ProgressKind::DepthStart;
    else if (filter >= 0)
        event.kind = size >= 0 ? ProgressKind::FilterDone : ProgressKind::FilterStart;
    else if (windowBits >= 0)
        event.kind = size >= 0 ? ProgressKind::ParametersDone : ProgressKind::ParametersStart;
    else
        event.kind = ProgressKind::ExtendedStep;
    return event;
}

void forwardProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size,
                     void* userData)
{
    if (userData)
        static_cast<ProgressSink*>(userData)->onProgress(decodeProgress(bitDepth, windowBits, memLevel, filter, size));
}
