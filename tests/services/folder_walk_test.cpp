// The folder walk: every listed file once, its paths under the output rules,
// and the earlier jobs it waits for checked against a plain scan of all pairs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/file_handle.h"
#include "core/folder_file_list.h"
#include "services/folder_walk.h"
#include "tests/common/test_support.h"

namespace {

std::string folded(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

}  // namespace

TEST(FolderWalk, JobsWaitForTheLastEarlierUseOfTheirPaths)
{
    TempDir dir;
    const std::string sep(1, kPathSeparator);
    std::filesystem::create_directories(dir.file("sub"));
    for (const char* name : {"a.bmp", "a.gif", "A.gif", "a.png", "b.png", "sub/a.bmp", "sub/c.GIF"})
        ASSERT_TRUE(writeFileBytes(dir.file(name), {1}));
    for (const bool separate : {false, true}) {
        const std::string outRoot = separate ? dir.file("out") : dir.path();
        std::filesystem::create_directories(outRoot);   // the callers make the root itself
        FolderFileList list;
        ASSERT_TRUE(list.build(dir.path().c_str(), FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF, true,
                               separate ? outRoot.c_str() : nullptr));
        FolderWalk walk;
        walk.start(dir.path().c_str(), outRoot.c_str());
        EXPECT_EQ(walk.separateOutput(), separate);
        std::vector<std::string> inputs, outputs;
        FolderJob job;
        while (walk.next(list, job)) {
            const std::string shown = job.shownName.c_str();
            const std::string stem = shown.substr(0, shown.rfind('.'));
            EXPECT_EQ(job.inputPath.c_str(), dir.path() + sep + shown);
            EXPECT_EQ(job.outputPath.c_str(), outRoot + sep + stem + ".png");
            EXPECT_EQ(shown.substr(shown.size() - std::strlen(job.name.c_str())), job.name.c_str());
            const std::string keys[kMaxJobWaits] = {folded(job.inputPath.c_str()), folded(job.outputPath.c_str())};
            for (int k = 0; k < kMaxJobWaits; ++k) {
                size_t expected = kNoEarlierJob;
                for (size_t earlier = 0; earlier < inputs.size(); ++earlier) {
                    if (inputs[earlier] == keys[k] || outputs[earlier] == keys[k])
                        expected = earlier;
                }
                EXPECT_EQ(job.waitFor[k], expected) << shown << " path " << k;
            }
            inputs.push_back(keys[0]);
            outputs.push_back(keys[1]);
        }
        // A file system that folds case holds a.gif and A.gif as one file.
        EXPECT_EQ(inputs.size(), fileExists(dir.file("B.PNG").c_str()) ? 6u : 7u);
        EXPECT_TRUE(isDirectory((outRoot + sep + "sub").c_str()));
    }
}

// Two spellings of one folder are one folder: the outputs replace their inputs
// (and the in-place rules apply); a missing or different folder is separate.
TEST(FolderWalk, OneFolderUnderTwoNamesIsNotSeparate)
{
    TempDir dir;
    const std::string folder = dir.file("in");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(dir.file("other"));
    struct Case {
        std::string output;
        bool separate;
    };
    const Case cases[] = {
        {folder, false},
        {folder + "/.", false},
        {dir.file("other") + "/../in", false},
        {dir.file("other"), true},
        {dir.file("missing"), true},
    };
    for (const Case& c : cases) {
        FolderWalk walk;
        walk.start(folder.c_str(), c.output.c_str());
        EXPECT_EQ(walk.separateOutput(), c.separate) << c.output;
    }
}
