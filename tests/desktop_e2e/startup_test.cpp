// Starting the program: the image named on the command line, the settings
// file written at close and read at the next start, the single instance.

#include "tests/desktop_e2e/e2e_expect.h"
#include "tests/desktop_e2e/e2e_fixture.h"
#include "tests/readers/reader_test_support.h"

namespace {

const char* const kRowLabels[] = {"ﾌｧｲﾙ名", "画像ｻｲｽﾞ", "ｱﾙﾌｧ有無", "入力ｻｲｽﾞ", "出力ｻｲｽﾞ", "増減ｻｲｽﾞ", "出力形式"};

int countMainWindows()
{
    int count = 0;
    for (HWND window : topLevelWindows(0))
        if (className(window) == kDialogClass && windowText(window) == kMainCaption)
            ++count;
    return count;
}

}  // namespace

TEST_F(DesktopTest, QuotedCommandLinePathFillsTheSevenRows)
{
    // A folder with a space in its name needs the quotes on the command line.
    CreateDirectoryA(work.file("my pictures").c_str(), nullptr);
    const std::string path = work.file("my pictures\\stripes.bmp");
    ASSERT_TRUE(writeBmp24(path, patternPicture(37, 23, 1)));
    auto app = startApp(quoted(path));
    ASSERT_TRUE(app);

    EXPECT_EQ(waitForInfo(*app, kRowFileName, path), path);
    ASSERT_EQ(app->infoRowCount(), 7);
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(app->infoLabel(row), kRowLabels[row]) << "row " << row;
    EXPECT_EQ(app->infoValue(kRowImageSize), "37 x 23");
    EXPECT_EQ(app->infoValue(kRowAlpha), "×なし");
    EXPECT_EQ(app->infoValue(kRowInputSize), byteSizeText(fileSize(path)));
    for (int row : {kRowOutputSize, kRowSizeChange, kRowOutputFormat})
        EXPECT_EQ(app->infoValue(row), "") << "row " << row;
    // A BMP has no transparent colour: the box is free and unticked, and the
    // swatch offers the top-left pixel.
    EXPECT_TRUE(itemEnabled(app->hwnd(), kIdUseTransparent));
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_UNCHECKED);
    EXPECT_EQ(waitForCentrePixel(GetDlgItem(app->hwnd(), kIdSwatch), 0xE0C040), 0xE0C040);
    EXPECT_TRUE(noOtherDialog(*app));
}

TEST_F(DesktopTest, TransparentColourOfAPngTicksTheBox)
{
    const std::string path = work.file("keyed.png");
    ASSERT_TRUE(writePlainPng(path, patternPicture(20, 12, 2), 0xE0C040));
    auto app = startApp(path);
    ASSERT_TRUE(app);
    EXPECT_EQ(waitForInfo(*app, kRowImageSize, "20 x 12"), "20 x 12");
    EXPECT_EQ(app->infoValue(kRowFileName), path);
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_CHECKED);
    EXPECT_TRUE(itemEnabled(app->hwnd(), kIdUseTransparent));
    // The swatch shows the file's transparent colour, not the top-left pixel.
    EXPECT_EQ(waitForCentrePixel(GetDlgItem(app->hwnd(), kIdSwatch), 0xE0C040), 0xE0C040);
}

TEST_F(DesktopTest, UnreadableCommandLineFileShowsTheLoadMessage)
{
    const std::string path = work.file("notes.png");
    ASSERT_TRUE(writeFileBytes(path, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    auto app = startApp(quoted(path));
    ASSERT_TRUE(app);
    EXPECT_EQ(takeMessageBox(*app), "読み込みに失敗");
    // The program goes on with an empty window, in which a test, a save and
    // the colour button do nothing.
    EXPECT_EQ(app->infoValue(kRowFileName), "");
    for (int button : {kIdTest, kIdOverwrite, kIdSaveAs, kIdSwatch})
        EXPECT_TRUE(sendButtonCommand(app->hwnd(), button, 5000)) << "button " << button;
    EXPECT_TRUE(noOtherDialog(*app));
}

TEST_F(DesktopTest, TwoNamesOnTheCommandLineAreOnePath)
{
    const std::string a = bmpFile("a.bmp", 8, 8, 1);
    const std::string b = bmpFile("b.bmp", 8, 8, 2);
    auto app = startApp(quoted(a) + " " + quoted(b));
    ASSERT_TRUE(app);
    EXPECT_EQ(takeMessageBox(*app), "読み込みに失敗");
    EXPECT_EQ(app->infoValue(kRowFileName), "");
}

TEST_F(DesktopTest, SecondStartLeavesOneWindow)
{
    auto first = startApp();
    ASSERT_TRUE(first);
    const DWORD second = install->start(quoted(bmpFile("b.bmp", 8, 8, 3)));
    ASSERT_NE(second, 0u);
    EXPECT_EQ(install->waitExit(second, 20000), 0);
    EXPECT_EQ(countMainWindows(), 1);
    // The running copy was not handed the second command line.
    EXPECT_EQ(first->infoValue(kRowFileName), "");
}

TEST_F(DesktopTest, CloseWritesTheSettingsAndTheNextStartRestoresThem)
{
    const std::string picture = bmpFile("settings.bmp", 40, 30, 4);
    {
        auto app = startApp();
        ASSERT_TRUE(app);
        // No settings file: the window is centred in the work area.
        RECT work = {};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        RECT box = {};
        GetWindowRect(app->hwnd(), &box);
        EXPECT_NEAR((box.left + box.right) / 2, (work.left + work.right) / 2, 1);
        EXPECT_NEAR((box.top + box.bottom) / 2, (work.top + work.bottom) / 2, 1);

        SetWindowPos(app->hwnd(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        postMenuCommand(app->hwnd(), kMenuNoFilterCompare);
        postMenuCommand(app->hwnd(), kMenuCloseOutputDialog);
        postButtonCommand(app->hwnd(), IDCANCEL);   // "終了"
        EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    }
    const std::vector<uint8_t> ini = readFileBytes(install->settingsPath());
    const std::string expected =
        "[Tolvarinx3]\r\nWinX=40\r\nWinY=30\r\nOptFlag=769\r\nDirFlag=0\r\nOpenDir=\r\nSaveDir=\r\n";
    EXPECT_EQ(std::string(ini.begin(), ini.end()), expected);

    auto app = startApp(picture);
    ASSERT_TRUE(app);
    RECT box = {};
    GetWindowRect(app->hwnd(), &box);
    EXPECT_EQ(box.left, 40);
    EXPECT_EQ(box.top, 30);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "40 x 30"), "40 x 30");

    // OptFlag came back: no filter trials, and the output dialog closes by
    // itself after the run.
    DibImage image;
    ASSERT_TRUE(toDib(patternPicture(40, 30, 4), false, image));
    const EngineRun expectedRun = runEngine(image, -1, 769);
    ASSERT_TRUE(expectedRun.ok);
    HWND dialog = startConversion(*app, kIdTest);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(checkState(dialog, kIdCloseWhenDone), BST_CHECKED);
    EXPECT_TRUE(waitGone(dialog, kRunTimeoutMs));
    EXPECT_EQ(waitForInfo(*app, kRowOutputFormat, encodingText(expectedRun)), encodingText(expectedRun));
    EXPECT_EQ(app->infoValue(kRowOutputSize), byteSizeText(expectedRun.fileSize));
    EXPECT_TRUE(noOtherDialog(*app));

    // Closing with the window's close box writes the same options again.
    PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    const std::vector<uint8_t> again = readFileBytes(install->settingsPath());
    EXPECT_EQ(std::string(again.begin(), again.end()), expected);
}

TEST_F(DesktopTest, StoredUnknownOptionBitsSurviveARun)
{
    // 0x8000 means nothing to the program; 70000 is stored as its low 16 bits.
    const std::string ini = "[Tolvarinx3]\nWinX=-10000\nWinY=5\nOptFlag=70000\nDirFlag=65\nOpenDir=C:\\in\nSaveDir=D:\\out\n";
    ASSERT_TRUE(writeFileBytes(install->settingsPath(), std::vector<uint8_t>(ini.begin(), ini.end())));
    auto app = startApp();
    ASSERT_TRUE(app);
    PostMessageA(app->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);   // Esc ends the program too
    EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    const std::vector<uint8_t> written = readFileBytes(install->settingsPath());
    const std::string text(written.begin(), written.end());
    // The position is whatever the centred window had; the rest comes back as read.
    EXPECT_NE(text.find("\r\nOptFlag=4464\r\nDirFlag=65\r\nOpenDir=C:\\in\r\nSaveDir=D:\\out\r\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("WinX=-10000"), std::string::npos) << text;
}

TEST_F(DesktopTest, AboutBoxIsModalAndEndsWithEsc)
{
    auto app = startApp();
    ASSERT_TRUE(app);
    postMenuCommand(app->hwnd(), kMenuAbout);
    HWND about = waitForTopLevel(app->pid(), kDialogClass, "バージョン情報");
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(IsWindowEnabled(app->hwnd()));
    bool versionShown = false;
    for (HWND child : childWindows(about))
        versionShown = versionShown || windowText(child).rfind("Tolvarinx Version ", 0) == 0;
    EXPECT_TRUE(versionShown);
    // Built without a home page address, the "HP" button is off.
    EXPECT_FALSE(itemEnabled(about, kIdHomePage));
    PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitGone(about));
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(app->hwnd()) != FALSE; }, 5000));
    EXPECT_EQ(findTopLevel(app->pid(), kDialogClass, kMainCaption), app->hwnd());
}

TEST_F(DesktopTest, ExtendedSearchSubmenuChoosesALevelThatPersists)
{
    // The submenu of the "設定(&O)" menu and its radio items, as the
    // program's resources hold them.
    HMODULE module = LoadLibraryExA(install->exePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(102));
    ASSERT_NE(menu, nullptr);
    HMENU settings = GetSubMenu(menu, 1);
    char text[64] = {};
    EXPECT_GT(GetMenuStringA(settings, 3, text, sizeof text, MF_BYPOSITION), 0);
    EXPECT_STREQ(text, "拡張探索(&X)");
    HMENU levels = GetSubMenu(settings, 3);
    ASSERT_NE(levels, nullptr);
    struct Item {
        int command;
        const char* label;
        const char* stored;   // OptFlag on the default 256 once chosen
    };
    const Item items[] = {
        {kMenuExtendedOff, "なし", "\r\nOptFlag=256\r\n"},
        {kMenuExtendedOff + 1, "レベル1 (高速)", "\r\nOptFlag=1288\r\n"},
        {kMenuExtendedOff + 2, "レベル2 (標準)", "\r\nOptFlag=264\r\n"},
        {kMenuExtendedOff + 3, "レベル3 (最大)", "\r\nOptFlag=3336\r\n"},
    };
    EXPECT_EQ(GetMenuItemCount(levels), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(static_cast<int>(GetMenuItemID(levels, i)), items[i].command);
        EXPECT_GT(GetMenuStringA(levels, i, text, sizeof text, MF_BYPOSITION), 0);
        EXPECT_STREQ(text, items[i].label);
    }
    DestroyMenu(menu);
    FreeLibrary(module);

    // Each start reads what the last close stored: a level, another, then off.
    for (const Item& item : {items[3], items[1], items[2], items[0]}) {
        auto app = startApp();
        ASSERT_TRUE(app);
        postMenuCommand(app->hwnd(), item.command);
        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
        const std::vector<uint8_t> ini = readFileBytes(install->settingsPath());
        EXPECT_NE(std::string(ini.begin(), ini.end()).find(item.stored), std::string::npos) << item.label;
    }
}

TEST_F(DesktopTest, KeepingItemsPersistInTheSettingsFile)
{
    constexpr int kMenuCleanAlpha = 40015;
    constexpr int kMenuKeepText = 40020;
    constexpr int kMenuKeepPhys = 40023;
    struct Run {
        std::vector<int> commands;
        const char* stored;   // a line the settings file holds after the close
    };
    const Run runs[] = {
        {{kMenuKeepText, kMenuKeepPhys, kMenuCleanAlpha}, "\r\nKeepChunks=text,phys\r\n"},
        {{kMenuKeepText}, "\r\nKeepChunks=phys\r\n"},
        {{kMenuCleanAlpha}, "\r\nOptFlag=256\r\n"},
    };
    for (const Run& run : runs) {
        auto app = startApp();
        ASSERT_TRUE(app);
        for (int command : run.commands)
            postMenuCommand(app->hwnd(), command);
        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
        const std::vector<uint8_t> ini = readFileBytes(install->settingsPath());
        const std::string text(ini.begin(), ini.end());
        EXPECT_NE(text.find(run.stored), std::string::npos) << text;
        if (&run == &runs[0])
            EXPECT_NE(text.find("\r\nOptFlag=272\r\n"), std::string::npos) << text;
    }
}
