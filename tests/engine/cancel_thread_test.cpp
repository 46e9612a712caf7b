// The stop button's situation: the cancel flag set by another thread while a
// conversion runs on its own. The tsan preset runs this under
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
    volatile int16_t* cancel = nullptr;
};

} // namespace

TEST(Cancel, FlagSetByAnotherThreadStopsTheConversion)
{
    TestPicture picture(96, 96);
    picture.fillNoise(3, true);
    ConvertRequest request = picture.request(-1, true);
    volatile int16_t cancel = 0;
    Handshake handshake;
    handshake.cancel = &cancel;
    request.cancelFlag = &cancel;
    request.userData = &handshake;
    // The first event waits until the other thread has pressed stop, so the
    // conversion cannot finish before the flag is set.
    request.callback = [](int32_t, int32_t, int32_t, int32_t, int32_t, void* user) {
        auto* h = static_cast<Handshake*>(user);
        if (h->started.exchange(true))
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
