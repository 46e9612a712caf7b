#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "core/file_handle.h"
#include "core/replacing_file.h"
#include "core/text_string.h"
#include "tests/common/test_support.h"

TEST(ByteBuffer, AllocateResizeRelease)
{
    ByteBuffer buffer;
    EXPECT_FALSE(buffer.resize(10));   // nothing to resize yet
    EXPECT_EQ(buffer.data, nullptr);
    uint8_t* block = buffer.allocate(16, true);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(buffer.size, 16u);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(block[i], 0);
    block[3] = 42;
    ASSERT_TRUE(buffer.resize(4096));
    EXPECT_EQ(buffer.size, 4096u);
    EXPECT_EQ(buffer.data[3], 42);
    buffer.release();
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.size, 0u);
}

TEST(AppendBuffer, GrowsByOneStepWhenARecordDoesNotFit)
{
    AppendBuffer buffer;
    ASSERT_NE(buffer.init(0x4000, 0x4000), nullptr);
    std::vector<uint8_t> filler(0x3FF0, 7);
    ASSERT_TRUE(buffer.append(filler.data(), static_cast<uint32_t>(filler.size())));
    EXPECT_EQ(buffer.capacity, 0x4000u);
    std::vector<uint8_t> record(0x20, 9);
    ASSERT_TRUE(buffer.append(record.data(), static_cast<uint32_t>(record.size())));
    EXPECT_EQ(buffer.capacity, 0x8000u);
    EXPECT_EQ(buffer.used, 0x4010u);
    EXPECT_EQ(buffer.data[0x3FEF], 7);
    EXPECT_EQ(buffer.data[0x3FF0], 9);
    EXPECT_EQ(buffer.data[0x400F], 9);
}

TEST(AppendBuffer, RecordLargerThanOneStepStillFits)
{
    AppendBuffer buffer;
    ASSERT_NE(buffer.init(16, 16), nullptr);
    std::vector<uint8_t> big(100);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(buffer.append(big.data(), 100));
    EXPECT_GE(buffer.capacity, 100u);
    EXPECT_EQ(buffer.capacity % 16, 0u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.data, buffer.data + 100), big);
    EXPECT_TRUE(buffer.appendByte(200));
    EXPECT_EQ(buffer.data[100], 200);
}

TEST(AppendBuffer, AppendWithoutBlockFails)
{
    AppendBuffer buffer;
    EXPECT_FALSE(buffer.appendByte(1));
}

TEST(FileHandle, WriteReadSeekAndBigEndian)
{
    TempDir dir;
    const std::string path = dir.file("data.bin");
    {
        FileHandle file;
        ASSERT_TRUE(file.createWrite(path.c_str()));
        EXPECT_TRUE(file.writeUInt32BE(0x01020304));
        EXPECT_TRUE(file.writeUInt32(0x01020304));
        EXPECT_TRUE(file.writeText("ab"));
        EXPECT_TRUE(file.writeNewline());
        EXPECT_TRUE(file.writeKeyInt("WinX", -12));
        EXPECT_TRUE(file.writeKeyText("OpenDir", "C:\\x"));
        EXPECT_EQ(file.tell(), 8u + 4u + 10u + 14u);
        EXPECT_TRUE(file.close());
        EXPECT_FALSE(file.close());
    }
    EXPECT_EQ(readFileBytes(path),
              (std::vector<uint8_t>{1, 2, 3, 4, 4, 3, 2, 1, 'a', 'b', 13, 10, 'W', 'i', 'n', 'X', '=', '-', '1', '2', 13,
                                    10, 'O', 'p', 'e', 'n', 'D', 'i', 'r', '=', 'C', ':', '\\', 'x', 13, 10}));
    FileHandle file;
    ASSERT_TRUE(file.openRead(path.c_str()));
    EXPECT_EQ(file.size(), 36u);
    uint32_t value = 0;
    EXPECT_EQ(file.readUInt32BE(value), 4u);
    EXPECT_EQ(value, 0x01020304u);
    EXPECT_EQ(file.seek(-2, SeekOrigin::End), 34u);
    uint8_t tail[8];
    EXPECT_EQ(file.read(tail, 8), 2u);
    EXPECT_EQ(file.read(tail, 8), 0u);
    value = 77;
    EXPECT_EQ(file.readUInt32BE(value), 0u);
    EXPECT_EQ(value, 77u);   // untouched at end of file
}

TEST(FileHandle, OpenFailuresLeaveHandleClosed)
{
    TempDir dir;
    FileHandle file;
    EXPECT_FALSE(file.openRead(dir.file("missing").c_str()));
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.openRead(dir.path().c_str()));   // a folder is no file to read
    EXPECT_FALSE(file.openReadWrite(dir.file("missing").c_str()));
    EXPECT_EQ(file.write("x", 1), 0u);
    ASSERT_TRUE(writeFileBytes(dir.file("exists"), {1}));
    EXPECT_FALSE(file.createNew(dir.file("exists").c_str()));
    EXPECT_EQ(readFileBytes(dir.file("exists")), std::vector<uint8_t>{1});
}

TEST(FileHelpers, ExistenceSizeAndIdentity)
{
    TempDir dir;
    const std::string a = dir.file("a.png");
    ASSERT_TRUE(writeFileBytes(a, std::vector<uint8_t>(1234, 5)));
    EXPECT_TRUE(fileExists(a.c_str()));
    EXPECT_TRUE(fileExists(dir.path().c_str()));
    EXPECT_TRUE(isDirectory(dir.path().c_str()));
    EXPECT_FALSE(isDirectory(a.c_str()));
    EXPECT_FALSE(fileExists(dir.file("b.png").c_str()));
    EXPECT_EQ(fileSizeByName(a.c_str()), 1234u);
    EXPECT_EQ(fileSizeByName(dir.file("b.png").c_str()), 0u);

    const std::string sameByOtherName = dir.path() + "/./a.png";
    EXPECT_TRUE(isSameFile(a.c_str(), sameByOtherName.c_str()));
    ASSERT_TRUE(writeFileBytes(dir.file("c.png"), {1}));
    EXPECT_FALSE(isSameFile(a.c_str(), dir.file("c.png").c_str()));
    EXPECT_FALSE(isSameFile(a.c_str(), dir.file("missing.png").c_str()));
}

TEST(FileHelpers, TimesCarryOver)
{
    TempDir dir;
    const std::string a = dir.file("a");
    const std::string b = dir.file("b");
    ASSERT_TRUE(writeFileBytes(a, {1}));
    ASSERT_TRUE(writeFileBytes(b, {2}));
    // 2001-02-03 04:05:06.7 UTC in 100-ns ticks since 1601.
    const FileTime access = 126257319067000000ull;
    const FileTime write = access + 12345670000ull;
    ASSERT_TRUE(setFileTimes(a.c_str(), nullptr, &access, &write));
    FileTime gotAccess = 0, gotWrite = 0, gotCreation = 0;
    ASSERT_TRUE(getFileTimes(a.c_str(), &gotCreation, &gotAccess, &gotWrite));
    EXPECT_EQ(gotAccess, access);
    EXPECT_EQ(gotWrite, write);
    ASSERT_TRUE(setFileTimes(b.c_str(), &gotCreation, &gotAccess, &gotWrite));
    FileTime bAccess = 0, bWrite = 0;
    ASSERT_TRUE(getFileTimes(b.c_str(), nullptr, &bAccess, &bWrite));
    EXPECT_EQ(bAccess, access);
    EXPECT_EQ(bWrite, write);
    EXPECT_FALSE(getFileTimes(dir.file("missing").c_str(), nullptr, nullptr, nullptr));
    EXPECT_FALSE(setFileTimes(dir.file("missing").c_str(), nullptr, &access, nullptr));
}

TEST(ReplacingFile, CommitReplacesTheTargetAndLeavesNoTemporary)
{
    TempDir dir;
    const std::string target = dir.file("out.png");
    ASSERT_TRUE(writeFileBytes(target, {9, 9, 9}));
    ReplacingFile out;
    ASSERT_TRUE(out.begin(target.c_str()));
    EXPECT_EQ(readFileBytes(target), (std::vector<uint8_t>{9, 9, 9}));   // untouched while writing
    ASSERT_EQ(out.file().write("new", 3), 3u);
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(readFileBytes(target), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST(ReplacingFile, AbandonKeepsTheTargetByteForByte)
{
    TempDir dir;
    const std::string target = dir.file("in.png");
    ASSERT_TRUE(writeFileBytes(target, {1, 2, 3}));
    {
        ReplacingFile out;
        ASSERT_TRUE(out.begin(target.c_str()));
        out.file().write("partial", 7);
        // destroyed without commit
    }
    EXPECT_EQ(readFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST(ReplacingFile, UncreatableTargetTouchesNothing)
{
    TempDir dir;
    ReplacingFile out;
    EXPECT_FALSE(out.begin(dir.file("no/such/folder/x.png").c_str()));
    EXPECT_EQ(countEntries(dir.path()), 0u);
    EXPECT_FALSE(out.commit());
}

TEST(ReplacingFile, TemporaryNameSkipsLeftovers)
{
    TempDir dir;
    const std::string target = dir.file("t.png");
    ASSERT_TRUE(writeFileBytes(target + ".0.tlvtmp", {1}));   // someone else's leftover
    ReplacingFile out;
    ASSERT_TRUE(out.begin(target.c_str()));
    ASSERT_EQ(out.file().write("x", 1), 1u);
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(readFileBytes(target + ".0.tlvtmp"), std::vector<uint8_t>{1});
    EXPECT_EQ(readFileBytes(target), std::vector<uint8_t>{'x'});
}

TEST(CopyFileReplacing, CopiesAndCopiesOntoItself)
{
    TempDir dir;
    const std::string source = dir.file("s.png");
    std::vector<uint8_t> bytes(200000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(writeFileBytes(source, bytes));
    ASSERT_TRUE(writeFileBytes(dir.file("d.png"), {1, 2}));
    ASSERT_TRUE(copyFileReplacing(source.c_str(), dir.file("d.png").c_str()));
    EXPECT_EQ(readFileBytes(dir.file("d.png")), bytes);
    // The same file under another name: the copy goes to a temporary file that
    // replaces the target only at the end, so the source is never truncated.
    const std::string sameFile = dir.path() + "/./s.png";
    ASSERT_TRUE(copyFileReplacing(source.c_str(), sameFile.c_str()));
    EXPECT_EQ(readFileBytes(source), bytes);
    EXPECT_EQ(countEntries(dir.path()), 2u);
    EXPECT_FALSE(copyFileReplacing(dir.file("missing").c_str(), dir.file("d.png").c_str()));
    EXPECT_EQ(readFileBytes(dir.file("d.png")), bytes);
}

TEST(ModuleFolder, PointsBesideTheRunningProgram)
{
    TextString path;
    ASSERT_TRUE(path.setToModuleFolder("Tolvarinx.ini"));
    TextString name;
    path.getBaseName(name);
    EXPECT_STREQ(name.c_str(), "Tolvarinx");
    TextString folder;
    ASSERT_TRUE(folder.setToModuleFolder(nullptr));
    EXPECT_TRUE(isDirectory(folder.c_str()));
}
