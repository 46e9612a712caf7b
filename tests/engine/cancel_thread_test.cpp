// The stop button's situation: the cancel flag set by another thread while a
// conversion runs on its own, in the default search and in the extended one. The tsan preset runs this under
// ThreadSanitizer, where any access to the flag that is not atomic shows as a
// data race.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/shared_flag.h"
#include "tests/engine/engine_test_support.h"

namespace {

struct Handshake {
    std::atomic<bool> started{false};
    bool extendedOnly = false;   // wait at the first extended step, not the first event
    volatile int16_t* cancel = nullptr;
};

} // namespace

TEST(Cancel, FlagSetByAnotherThreadStopsTheConversion)
{
    for (const uint16_t options : {uint16_t(0), OPT_EXTENDED_SEARCH}) {
        SCOPED_TRACE(options);
        TestPicture picture(96, 96);
        picture.fillNoise(3, true);
        ConvertRequest request = picture.request(-1, true);
        request.options = options;
        volatile int16_t cancel = 0;
        Handshake handshake;
        handshake.cancel = &cancel;
        handshake.extendedOnly = options & OPT_EXTENDED_SEARCH;
        request.cancelFlag = &cancel;
        request.userData = &handshake;
        // The first event (of the extended search when it runs) waits until the
        // other thread has pressed stop, so the conversion cannot finish before
        // the flag is set.
        request.callback = [](int32_t depth, int32_t windowBits, int32_t, int32_t filter, int32_t,
                              void* user) {
            auto* h = static_cast<Handshake*>(user);
            const bool extendedStep = depth == -1 && windowBits == -1 && filter == -1;
            if ((h->extendedOnly && !extendedStep) || h->started.exchange(true))
                return;
            while (loadSharedFlag(h->cancel) == 0)
                std::this_thread::yield();
        };
        PngOptimizer optimizer;
        int result = -1;
        std::thread conversion([&] { result = optimizer.convert(nullptr, request); });
        while (!handshake.started.load())
            std::this_thread::yield();
        storeSharedFlag(&cancel, 1);
        conversion.join();
        EXPECT_TRUE(handshake.started.load());
        EXPECT_EQ(result, 0) << "the conversion did not stop";
    }
}
