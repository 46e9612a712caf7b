#include <gtest/gtest.h>

#include "lib/tolvarinx.h"
#include "tests/common/keep_option_cases.h"

// The keeping options through the library: the list of the keeping calls and
// TLVX_OPT_CLEAN_ALPHA; a bad list is an argument error with no output.
TEST(LibraryApi, KeepingOptionsOfTheTable)
{
    const std::vector<uint8_t> input = keepOptionInput();
    for (const KeepOptionCase& c : kKeepOptionCases) {
        tlvx_settings settings = {};
        settings.options = c.cleanAlpha ? TLVX_OPT_CLEAN_ALPHA : 0;
        unsigned char* output = nullptr;
        size_t outputSize = 0;
        const int status = tlvx_convert_memory_keeping(input.data(), input.size(), &settings, c.list, &output,
                                                       &outputSize, nullptr);
        ASSERT_EQ(status, c.accepted ? TLVX_OK : TLVX_ERROR_ARGUMENT) << c.list;
        const std::vector<uint8_t> png(output, output + outputSize);
        tlvx_free(output);
        if (!c.accepted)
            continue;
        EXPECT_EQ(ancillaryChunkNames(png), c.kept) << c.list;
        EXPECT_EQ(invisibleColoursMerged(png), c.cleanAlpha) << c.list;
    }
}
