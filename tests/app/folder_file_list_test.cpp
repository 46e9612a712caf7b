// The folder conversion's work list: which names it takes, the packed record
// layout, the depth-first walk over real folders, and growth of the buffer.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/folder_file_list.h"
#include "core/codepage.h"
#include "core/file_handle.h"
#include "tests/app/folder_test_support.h"

namespace {

struct Item {
    uint8_t kind;
    std::string text;
};

std::vector<Item> readAll(FolderFileList& list)
{
    std::vector<Item> items;
    TextString text;
    for (int guard = 0; guard < 100000; ++guard) {
        const uint8_t kind = list.nextItem(text);
        items.push_back({kind, kind == ITEM_END ? std::string() : std::string(text.c_str())});
        if (kind == ITEM_END)
            break;
    }
    return items;
}

// Walks the records as the worker does and returns every file as its folder
// and name, checking that each ENTER names a real sub-folder of the current
// folder and each LEAVE returns to the folder before its ENTER.
std::set<std::pair<std::string, std::string>> filesByFolder(const std::vector<Item>& items, const std::string& root,
                                                            int* folderEntries = nullptr)
{
    std::set<std::pair<std::string, std::string>> files;
    std::vector<std::string> stack = {root};
    int entries = 0;
    for (const Item& item : items) {
        switch (item.kind) {
        case ITEM_FILE:
            EXPECT_TRUE(fileExists(joined(stack.back(), item.text).c_str())) << item.text;
            EXPECT_EQ(item.text.find(kPathSeparator), std::string::npos) << "a bare name: " << item.text;
            files.insert({stack.back(), item.text});
            break;
        case ITEM_ENTER_FOLDER:
            EXPECT_EQ(item.text.rfind(stack.back() + kPathSeparator, 0), 0u) << item.text;
            EXPECT_TRUE(isDirectory(item.text.c_str())) << item.text;
            stack.push_back(item.text);
            ++entries;
            break;
        case ITEM_LEAVE_FOLDER:
            EXPECT_GT(stack.size(), 1u);
            if (stack.size() > 1)
                stack.pop_back();
            EXPECT_EQ(item.text, stack.back());
            break;
        case ITEM_END:
            EXPECT_EQ(stack.size(), 1u) << "every folder entered is left again";
            break;
        default:
            ADD_FAILURE() << "unknown kind " << int(item.kind);
        }
    }
    if (folderEntries)
        *folderEntries = entries;
    return files;
}

// A tree of image files, other files, a dot-folder, an empty folder and a
// hidden file.
struct Tree {
    TempDir dir;
    std::string root;
    std::string sub;
    std::string deeper;
    std::string hidden;

    Tree()
    {
        root = joined(dir.path(), "in");
        sub = joined(root, "sub");
        deeper = joined(sub, "deeper");
        makeFolder(deeper);
        makeFolder(joined(root, ".cache"));
        makeFolder(joined(root, "empty"));
        const Bytes junk = {1, 2, 3};
        for (const char* name : {"a.bmp", "b.png", "c.gif", "d.txt", "E.PNG", "noext", "f.bmp.txt"})
            writeFileBytes(joined(root, name), junk);
        writeFileBytes(joined(sub, "f.BMP"), junk);
        writeFileBytes(joined(deeper, "g.gif"), junk);
        writeFileBytes(joined(joined(root, ".cache"), "h.png"), junk);
        hidden = writeHiddenFile(root, "x.png", junk);
    }
};

}  // namespace

TEST(FolderFileList, MatchesTheExtensionAfterTheLastDot)
{
    FolderFileList list;
    list.typeMask = FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF;
    for (const char* name : {"a.bmp", "A.BMP", "x.Png", "y.gif", "two.dots.gif", "a.txt.bmp", ".png"})
        EXPECT_TRUE(list.matchesTypes(name)) << name;
    for (const char* name : {"noext", "bmp", "a.", "a.bmpx", "a.bmp.txt", "a.jpg", "png.", ""})
        EXPECT_FALSE(list.matchesTypes(name)) << name;
}

TEST(FolderFileList, MatchesOnlyTheTypesOfTheMask)
{
    FolderFileList list;
    list.typeMask = FOLDER_TYPE_PNG;
    EXPECT_TRUE(list.matchesTypes("a.png"));
    EXPECT_FALSE(list.matchesTypes("a.bmp"));
    EXPECT_FALSE(list.matchesTypes("a.gif"));
    list.typeMask = FOLDER_TYPE_BMP | FOLDER_TYPE_GIF;
    EXPECT_TRUE(list.matchesTypes("a.bmp"));
    EXPECT_TRUE(list.matchesTypes("a.GIF"));
    EXPECT_FALSE(list.matchesTypes("a.png"));
    list.typeMask = 0;
    EXPECT_FALSE(list.matchesTypes("a.bmp"));
}

TEST(FolderFileList, RecordsArePackedKindLengthText)
{
    TempDir dir;
    const std::string root = joined(dir.path(), "r");
    makeFolder(joined(root, "s"));
    writeFileBytes(joined(root, "s" + std::string(1, kPathSeparator) + "a.png"), {1});

    FolderFileList list;
    ASSERT_TRUE(list.build(root.c_str(), FOLDER_TYPE_PNG, true));
    EXPECT_EQ(list.fileCount, 1u);
    EXPECT_EQ(list.records.capacity, kFolderListInitialBytes);

    Bytes expected;
    auto record = [&](uint8_t kind, const std::string& text) {
        const size_t n = text.size() + 1;
        expected.push_back(kind);
        expected.push_back(uint8_t(n));
        expected.push_back(uint8_t(n >> 8));
        expected.insert(expected.end(), text.begin(), text.end());
        expected.push_back(0);
    };
    record(ITEM_ENTER_FOLDER, joined(root, "s"));
    record(ITEM_FILE, "a.png");
    record(ITEM_LEAVE_FOLDER, root);
    expected.push_back(ITEM_END);
    ASSERT_EQ(list.records.used, expected.size());
    EXPECT_EQ(Bytes(list.records.data, list.records.data + list.records.used), expected);
}

TEST(FolderFileList, WalksSubFoldersDepthFirstAndSkipsDotFolders)
{
    Tree tree;
    FolderFileList list;
    ASSERT_TRUE(list.build(tree.root.c_str(), FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF, true));
    int entries = 0;
    const auto files = filesByFolder(readAll(list), tree.root, &entries);
    const std::set<std::pair<std::string, std::string>> expected = {
        {tree.root, "a.bmp"}, {tree.root, "b.png"}, {tree.root, "c.gif"},  {tree.root, "E.PNG"},
        {tree.root, tree.hidden}, {tree.sub, "f.BMP"}, {tree.deeper, "g.gif"},
    };
    EXPECT_EQ(files, expected);
    EXPECT_EQ(list.fileCount, expected.size());
    EXPECT_EQ(entries, 3) << "sub, sub/deeper and the empty folder; never .cache";
}

TEST(FolderFileList, WithoutSubFoldersListsTheRootOnly)
{
    Tree tree;
    FolderFileList list;
    ASSERT_TRUE(list.build(tree.root.c_str(), FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF, false));
    const std::vector<Item> items = readAll(list);
    for (const Item& item : items)
        EXPECT_TRUE(item.kind == ITEM_FILE || item.kind == ITEM_END) << item.text;
    EXPECT_EQ(filesByFolder(items, tree.root).size(), 5u);
    EXPECT_EQ(list.fileCount, 5u);
}

TEST(FolderFileList, TypeMaskFiltersTheScan)
{
    Tree tree;
    FolderFileList list;
    ASSERT_TRUE(list.build(tree.root.c_str(), FOLDER_TYPE_PNG, true));
    const auto files = filesByFolder(readAll(list), tree.root);
    const std::set<std::pair<std::string, std::string>> expected = {
        {tree.root, "b.png"}, {tree.root, "E.PNG"}, {tree.root, tree.hidden}};
    EXPECT_EQ(files, expected);
    EXPECT_EQ(list.fileCount, 3u);
}

TEST(FolderFileList, EmptyOrMissingRootGivesOnlyTheEnd)
{
    TempDir dir;
    for (const std::string& root : {dir.path(), joined(dir.path(), "missing")}) {
        FolderFileList list;
        EXPECT_TRUE(list.build(root.c_str(), FOLDER_TYPE_PNG, true));
        EXPECT_EQ(list.fileCount, 0u);
        ASSERT_EQ(list.records.used, 1u);
        EXPECT_EQ(list.records.data[0], ITEM_END);
    }
}

TEST(FolderFileList, EndRepeatsAndLeavesTheTextAloneUntilRewound)
{
    TempDir dir;
    writeFileBytes(dir.file("one.gif"), {1});
    FolderFileList list;
    ASSERT_TRUE(list.build(dir.path().c_str(), FOLDER_TYPE_GIF, false));
    TextString text;
    EXPECT_EQ(list.nextItem(text), ITEM_FILE);
    EXPECT_STREQ(text.c_str(), "one.gif");
    text.assign("kept");
    EXPECT_EQ(list.nextItem(text), ITEM_END);
    EXPECT_EQ(list.nextItem(text), ITEM_END);
    EXPECT_STREQ(text.c_str(), "kept");
    list.readPosition = 0;
    EXPECT_EQ(list.nextItem(text), ITEM_FILE);
    EXPECT_STREQ(text.c_str(), "one.gif");
}

TEST(FolderFileList, AnUnbuiltListReadsAsEmpty)
{
    FolderFileList list;
    TextString text;
    EXPECT_EQ(list.nextItem(text), ITEM_END);
}

TEST(FolderFileList, GrowsInStepsAndKeepsRecordsAcrossTheBoundary)
{
    TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 700; ++i) {
        std::string name = "file-with-a-rather-long-name-number-" + std::to_string(i) + ".png";
        writeFileBytes(dir.file(name), {1});
        names.insert(name);
    }
    FolderFileList list;
    ASSERT_TRUE(list.build(dir.path().c_str(), FOLDER_TYPE_PNG, false));
    EXPECT_EQ(list.fileCount, 700u);
    EXPECT_GT(list.records.used, kFolderListInitialBytes);
    EXPECT_GE(list.records.capacity, list.records.used);
    EXPECT_EQ(list.records.capacity % kFolderListGrowBytes, 0u);
    std::set<std::string> read;
    for (const Item& item : readAll(list)) {
        if (item.kind == ITEM_FILE)
            read.insert(item.text);
    }
    EXPECT_EQ(read, names);
}
