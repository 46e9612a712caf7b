// Conversions from the main window: "テスト", "上書き保存", "別名で保存" and
// "中止", checked against the engine run directly on the same pixels.

#include "tests/desktop_e2e/e2e_expect.h"
#include "tests/desktop_e2e/e2e_fixture.h"

TEST_F(DesktopTest, TestRunLogsEveryTrialAndWritesNothing)
{
    const Picture picture = patternPicture(64, 48, 5);
    const std::string path = work.file("pattern.bmp");
    ASSERT_TRUE(writeBmp24(path, picture));
    const EngineRun expected = runEngineOnPicture(picture, false);
    ASSERT_TRUE(expected.ok);
    // Six colours: a 4-bit palette, compared at 8 bits too, every filter and
    // every deflate pair that the search reaches.
    ASSERT_NE(expected.log.find("=== <4BIT> ===\r\nfilter 0 ... "), std::string::npos);
    ASSERT_NE(expected.log.find("=== <8BIT> ==="), std::string::npos);
    ASSERT_NE(expected.log.find("zw 15 zm 9 ... "), std::string::npos);

    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "64 x 48"), "64 x 48");
    const size_t entries = countEntries(work.path());
    HWND dialog = startConversion(*app, kIdTest);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(checkState(dialog, kIdCloseWhenDone), BST_UNCHECKED);
    const std::string log = waitForSuccess(dialog);
    EXPECT_EQ(log, expected.log);
    EXPECT_TRUE(closeOutputDialog(dialog));

    EXPECT_EQ(waitForInfo(*app, kRowOutputSize, byteSizeText(expected.fileSize)), byteSizeText(expected.fileSize));
    EXPECT_EQ(app->infoValue(kRowSizeChange), sizeChangeText(static_cast<int32_t>(fileSize(path)), expected.fileSize));
    EXPECT_EQ(app->infoValue(kRowOutputFormat), encodingText(expected));
    EXPECT_EQ(countEntries(work.path()), entries);
    EXPECT_TRUE(noOtherDialog(*app));
}

TEST_F(DesktopTest, OverwriteOfAPngReplacesItWithTheEnginesFile)
{
    const Picture picture = patternPicture(50, 40, 6);
    // Upper-case extension: still a PNG to overwrite, without asking.
    const std::string path = work.file("INPUT.PNG");
    ASSERT_TRUE(writePlainPng(path, picture));
    const uint32_t inputSize = fileSize(path);
    DibImage image;
    ASSERT_TRUE(toDib(picture, false, image));
    const EngineRun expected = runEngine(image, -1, kDefaultOptFlag, work.file("expected.png"));
    ASSERT_TRUE(expected.ok);
    ASSERT_EQ(expected.file.size(), expected.fileSize);

    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "50 x 40"), "50 x 40");
    HWND dialog = startConversion(*app, kIdOverwrite);
    ASSERT_NE(dialog, nullptr) << "no output dialog";
    EXPECT_EQ(waitForSuccess(dialog), expected.log);
    EXPECT_TRUE(closeOutputDialog(dialog));

    EXPECT_EQ(readFileBytes(path), expected.file);
    EXPECT_TRUE(holdsPicture(path, picture));
    EXPECT_EQ(waitForInfo(*app, kRowSizeChange, sizeChangeText(static_cast<int32_t>(inputSize), expected.fileSize)),
              sizeChangeText(static_cast<int32_t>(inputSize), expected.fileSize));
    // The input rows keep describing the file as it was opened.
    EXPECT_EQ(app->infoValue(kRowInputSize), byteSizeText(inputSize));
    EXPECT_TRUE(noOtherDialog(*app));
}

TEST_F(DesktopTest, SaveAsWritesTheChosenNameAndRemembersItsFolder)
{
    const Picture picture = patternPicture(30, 20, 7);
    const std::string path = work.file("photo.bmp");
    ASSERT_TRUE(writeBmp24(path, picture));
    DibImage image;
    ASSERT_TRUE(toDib(picture, false, image));
    const EngineRun expected = runEngine(image, -1, kDefaultOptFlag, work.file("expected.png"));
    ASSERT_TRUE(expected.ok);

    CreateDirectoryA(work.file("out").c_str(), nullptr);
    const std::string target = work.file("out\\chosen.png");
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "30 x 20"), "30 x 20");

    // "上書き保存" of a BMP asks for a name too, suggesting the input's.
    postButtonCommand(app->hwnd(), kIdOverwrite);
    HWND saveDialog = waitForSaveDialog(*app);
    ASSERT_NE(saveDialog, nullptr) << "no save dialog";
    EXPECT_EQ(windowText(fileNameField(saveDialog)), "photo");
    postButtonCommand(saveDialog, IDCANCEL);
    EXPECT_TRUE(waitGone(saveDialog));
    EXPECT_TRUE(noOtherDialog(*app));

    postButtonCommand(app->hwnd(), kIdSaveAs);
    saveDialog = waitForSaveDialog(*app);
    ASSERT_NE(saveDialog, nullptr) << "no save dialog";
    EXPECT_EQ(windowText(fileNameField(saveDialog)), "photo");
    chooseFileName(saveDialog, target);
    HWND dialog = waitForTopLevel(app->pid(), kDialogClass, kOutputCaption);
    ASSERT_NE(dialog, nullptr) << "no output dialog";
    EXPECT_EQ(waitForSuccess(dialog), expected.log);
    EXPECT_TRUE(closeOutputDialog(dialog));

    EXPECT_EQ(readFileBytes(target), expected.file);
    EXPECT_TRUE(holdsPicture(target, picture));
    EXPECT_EQ(waitForInfo(*app, kRowOutputFormat, encodingText(expected)), encodingText(expected));

    postMenuCommand(app->hwnd(), kMenuExit);
    EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    const std::vector<uint8_t> ini = readFileBytes(install->settingsPath());
    EXPECT_NE(std::string(ini.begin(), ini.end()).find("\r\nSaveDir=" + work.file("out") + "\r\n"), std::string::npos);
}

TEST_F(DesktopTest, StopDuringTheFilterTrialsKeepsTheRowsAndWritesNothing)
{
    // Big and busy enough that the filter trials take a while.
    const Picture picture = busyPicture(1400, 1000, 8);
    const std::string path = work.file("busy.bmp");
    ASSERT_TRUE(writeBmp24(path, picture));
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "1400 x 1000"), "1400 x 1000");

    // A quick run first, without trials, so that rows 4 to 6 hold something.
    postMenuCommand(app->hwnd(), kMenuNoFilterCompare);
    postMenuCommand(app->hwnd(), kMenuNoDeflateCompare);
    ASSERT_NE(runTest(*app).find("結果"), std::string::npos);
    const std::string rows[] = {app->infoValue(kRowOutputSize), app->infoValue(kRowSizeChange),
                                app->infoValue(kRowOutputFormat)};
    ASSERT_NE(rows[2], "");
    postMenuCommand(app->hwnd(), kMenuNoFilterCompare);
    postMenuCommand(app->hwnd(), kMenuNoDeflateCompare);

    const std::string target = work.file("stopped.png");
    const size_t entries = countEntries(work.path());
    postButtonCommand(app->hwnd(), kIdSaveAs);
    HWND saveDialog = waitForSaveDialog(*app);
    ASSERT_NE(saveDialog, nullptr);
    chooseFileName(saveDialog, target);
    HWND dialog = waitForTopLevel(app->pid(), kDialogClass, kOutputCaption);
    ASSERT_NE(dialog, nullptr);
    std::string log;
    ASSERT_TRUE(waitUntil([&] { return (log = itemText(dialog, kIdLog)).find("filter 1 ... ") != std::string::npos; },
                          kRunTimeoutMs))
        << log;
    EXPECT_EQ(log.find("zw "), std::string::npos) << "the filter trials were over: " << log;
    postButtonCommand(dialog, IDCANCEL);   // "中止"
    EXPECT_TRUE(waitGone(dialog, kRunTimeoutMs));

    // No message, no file, no leftover, and the rows as they were.
    EXPECT_TRUE(noOtherDialog(*app));
    EXPECT_FALSE(fileExists(target));
    EXPECT_EQ(countEntries(work.path()), entries);
    EXPECT_EQ(app->infoValue(kRowOutputSize), rows[0]);
    EXPECT_EQ(app->infoValue(kRowSizeChange), rows[1]);
    EXPECT_EQ(app->infoValue(kRowOutputFormat), rows[2]);
}

TEST_F(DesktopTest, OverwriteThatCannotWriteReportsTheFailure)
{
    const Picture picture = patternPicture(16, 16, 9);
    const std::string path = work.file("locked.png");
    ASSERT_TRUE(writePlainPng(path, picture));
    const std::vector<uint8_t> before = readFileBytes(path);
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "16 x 16"), "16 x 16");
    // Another program holds the file open and lets nobody replace it.
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    HWND dialog = startConversion(*app, kIdOverwrite);
    EXPECT_NE(dialog, nullptr);
    EXPECT_EQ(takeMessageBox(*app, kRunTimeoutMs), "出力に失敗しました");
    EXPECT_TRUE(waitGone(dialog));
    CloseHandle(holder);
    EXPECT_EQ(readFileBytes(path), before);
    EXPECT_EQ(countEntries(work.path()), 1u) << "a temporary file was left behind";
    EXPECT_EQ(app->infoValue(kRowOutputFormat), "");
}

TEST_F(DesktopTest, UntickingCloseWhenFinishedDuringARunKeepsTheDialogAndTheSetting)
{
    // Close-when-finished set in the settings (0x0200), previews on.
    const std::string ini = "[Tolvarinx3]\r\nOptFlag=768\r\n";
    ASSERT_TRUE(writeFileBytes(install->settingsPath(), std::vector<uint8_t>(ini.begin(), ini.end())));
    const Picture picture = busyPicture(500, 400, 18);
    const std::string path = work.file("busy.bmp");
    ASSERT_TRUE(writeBmp24(path, picture));
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "500 x 400"), "500 x 400");

    HWND dialog = startConversion(*app, kIdTest);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(checkState(dialog, kIdCloseWhenDone), BST_CHECKED);
    postClick(GetDlgItem(dialog, kIdCloseWhenDone));
    const std::string log = waitForSuccess(dialog);
    ASSERT_NE(log, "") << "the dialog closed by itself";
    EXPECT_EQ(checkState(dialog, kIdCloseWhenDone), BST_UNCHECKED);
    // Esc after a successful run ends the dialog with its result.
    PostMessageA(GetDlgItem(dialog, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitGone(dialog));
    const EngineRun expected = runEngineOnPicture(picture, false);
    ASSERT_TRUE(expected.ok);
    EXPECT_EQ(log, expected.log);
    EXPECT_EQ(waitForInfo(*app, kRowOutputFormat, encodingText(expected)), encodingText(expected));

    // The box reached OptFlag, and so the settings file.
    PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    const std::vector<uint8_t> written = readFileBytes(install->settingsPath());
    EXPECT_NE(std::string(written.begin(), written.end()).find("\r\nOptFlag=256\r\n"), std::string::npos);
}

TEST_F(DesktopTest, ExtendedSearchOpensWhatOnlyItReadsAndLogsItsWinner)
{
    // An interlaced PNG: the default reader refuses it.
    const std::string path = work.file("interlaced.png");
    ASSERT_TRUE(writeFileBytes(path, readFileBytes(corpusPath("pngsuite/png/basi0g08.png"))));
    DibImage image;
    int32_t transparent = -1;
    AppendBuffer chunks;
    ASSERT_FALSE(loadConversionInput(path.c_str(), 0, image, transparent, chunks));
    ASSERT_TRUE(loadConversionInput(path.c_str(), OPT_EXTENDED_SEARCH, image, transparent, chunks));
    // The extended search on (0x0008) in the settings at each level (the field
    // 0x0C00, 0 for level 2), previews on: the log names the level it ran at.
    struct Level {
        uint16_t optFlag;
        int32_t level;
    };
    for (const Level& c : {Level{264, 2}, Level{1288, 1}, Level{3336, 3}}) {
        SCOPED_TRACE(c.level);
        const std::string ini = "[Tolvarinx3]\r\nOptFlag=" + std::to_string(c.optFlag) + "\r\n";
        ASSERT_TRUE(writeFileBytes(install->settingsPath(), std::vector<uint8_t>(ini.begin(), ini.end())));
        const EngineRun expected = runEngine(image, transparent, c.optFlag, "", &chunks, c.level);
        ASSERT_TRUE(expected.ok);
        ASSERT_NE(expected.log.find("\r\n拡張探索: "), std::string::npos) << expected.log;
        ASSERT_NE(expected.log.find(", レベル" + std::to_string(c.level)), std::string::npos) << expected.log;

        auto app = startApp(path);
        ASSERT_TRUE(app);
        ASSERT_EQ(waitForInfo(*app, kRowImageSize, "32 x 32"), "32 x 32");
        HWND dialog = startConversion(*app, kIdTest);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(waitForSuccess(dialog), expected.log);
        EXPECT_TRUE(closeOutputDialog(dialog));
        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    }
}
