// The keeping options through the console: -kc LIST and -ca reach the file
// written and the JSON report ("kept_chunks", "clean_alpha"); a bad list is
// refused before any file is touched.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/common/keep_option_cases.h"
#include "tests/console/console_test_support.h"

TEST(ConsoleKeepOptions, EveryCaseOfTheTable)
{
    for (const KeepOptionCase& c : kKeepOptionCases) {
        TempDir dir;
        const std::string input = dir.file("in.png");
        const std::string output = dir.file("out.png");
        ASSERT_TRUE(writeFileBytes(input, keepOptionInput()));
        std::vector<std::string> arguments = {"-i", input, "-o", output, "--json"};
        if (*c.list)
            arguments.insert(arguments.end(), {"-kc", c.list});
        if (c.cleanAlpha)
            arguments.push_back("-ca");
        const ConsoleRun run = runConsoleArgs(arguments);
        if (!c.accepted) {
            EXPECT_EQ(run.status, 1) << c.list;
            EXPECT_FALSE(fileExistsAt(output)) << c.list;
            continue;
        }
        ASSERT_EQ(run.status, 0) << c.list << run.text;
        const nlohmann::json report = nlohmann::json::parse(run.text.substr(0, run.text.find('\n')));
        EXPECT_EQ(report.contains("kept_chunks"), *c.list != 0) << c.list;
        if (*c.list) {
            EXPECT_EQ(report["kept_chunks"].get<std::vector<std::string>>(), c.kept) << c.list;
        }
        EXPECT_EQ(report.value("clean_alpha", false), c.cleanAlpha) << c.list;
        const std::vector<uint8_t> written = readFileBytes(output);
        EXPECT_EQ(ancillaryChunkNames(written), c.kept) << c.list;
        EXPECT_EQ(invisibleColoursMerged(written), c.cleanAlpha) << c.list;
    }
}
