// Every way a file can fail is named by its cause in the JSON report, for a
// file given with -i and as an argument.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

#include "tests/console/console_test_support.h"

namespace fs = std::filesystem;

namespace {

// The first object of a JSON report (the file's), or an empty object.
nlohmann::json firstObject(const std::string& report)
{
    std::istringstream lines(report);
    std::string line;
    std::getline(lines, line);
    return nlohmann::json::parse(line, nullptr, false);
}

}  // namespace

TEST(FailureCauses, EachFailureNamesItsCause)
{
    TempDir dir;
    writeBmp24(dir.file("good.bmp"), makeBandedImage(3, 2, 1));
    writeFileBytes(dir.file("notes.png"), {'h', 'i'});
    fs::create_directory(dir.file("folder.png"));
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        const char* cause;
    };
    const Case cases[] = {
        {"-i missing", {"--json", "-i", dir.file("missing.png")}, "not_found"},
        {"missing as argument", {"--json", dir.file("missing.png")}, "not_found"},
        {"a folder", {"--json", "-i", dir.file("folder.png"), "-o", dir.file("out.png")}, "not_readable"},
        {"no image", {"--json", dir.file("notes.png")}, "not_an_image"},
        {"no output folder", {"--json", "-i", dir.file("good.bmp"), "-o", dir.file("none/out.png")}, "cannot_write"},
    };
    for (const Case& c : cases) {
        const ConsoleRun run = runConsoleArgs(c.arguments);
        EXPECT_EQ(run.status, 1) << c.name;
        const nlohmann::json object = firstObject(run.text);
        ASSERT_TRUE(object.is_object()) << c.name << ": " << run.text;
        EXPECT_EQ(object.value("result", ""), "failed") << c.name;
        EXPECT_EQ(object.value("cause", ""), c.cause) << c.name << ": " << run.text;
        EXPECT_NE(run.text.find("{\"summary\":"), std::string::npos) << c.name;
    }
}
