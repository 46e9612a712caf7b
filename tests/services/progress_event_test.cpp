// The one reading of the engine's progress numbers: every event the engine
// sends, as its callback contract lists them, decodes to its kind, and only
// trial starts and extended steps count as work begun.

#include <gtest/gtest.h>

#include "services/progress_event.h"

TEST(ProgressEvent, EveryEngineEventDecodesToItsKind)
{
    struct Case {
        int32_t bitDepth, windowBits, memLevel, filter, size;
        ProgressKind kind;
        bool startsWork;
    };
    const Case cases[] = {
        {8, -1, -1, -1, -1, ProgressKind::DepthStart, false},
        {1, -1, -1, -1, -1, ProgressKind::DepthStart, false},
        {-1, -1, -1, 0, -1, ProgressKind::FilterStart, true},
        {-1, -1, -1, 5, 0, ProgressKind::FilterDone, false},
        {-1, -1, -1, 3, 120, ProgressKind::FilterDone, false},
        {-1, 15, 9, -1, -1, ProgressKind::ParametersStart, true},
        {-1, 8, 1, -1, 0, ProgressKind::ParametersDone, false},
        {-1, -1, -1, -1, -1, ProgressKind::ExtendedStep, true},
    };
    for (const Case& c : cases) {
        const ProgressEvent event = decodeProgress(c.bitDepth, c.windowBits, c.memLevel, c.filter, c.size);
        EXPECT_EQ(event.kind, c.kind) << c.bitDepth << " " << c.windowBits << " " << c.filter << " " << c.size;
        EXPECT_EQ(event.startsWork(), c.startsWork);
        // The numbers travel unchanged, for front ends that pass them on.
        EXPECT_EQ(event.bitDepth, c.bitDepth);
        EXPECT_EQ(event.windowBits, c.windowBits);
        EXPECT_EQ(event.memLevel, c.memLevel);
        EXPECT_EQ(event.filter, c.filter);
        EXPECT_EQ(event.size, c.size);
    }
}
