// Images that reach the program other than by the command line: the
// clipboard, files dropped on the window, the open-file dialog; and the
// colour picker.

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include "core/image_loader.h"
#include "core/path_text.h"
#include "tests/desktop_e2e/e2e_expect.h"
#include "tests/desktop_e2e/e2e_fixture.h"
#include "tests/readers/reader_test_support.h"

TEST_F(DesktopTest, PasteWithAlphaTakesTheAlphaAndConvertsAt32Bits)
{
    const Picture picture = alphaPicture(23, 17, 10);
    auto app = startApp();
    ASSERT_TRUE(app);
    ASSERT_TRUE(putClipboardDib(picture.width, picture.height, 32, picture.pixels));
    postButtonCommand(app->hwnd(), kIdPaste32);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "23 x 17"), "23 x 17");
    EXPECT_EQ(app->infoValue(kRowFileName), "<ｸﾘｯﾌﾟﾎﾞｰﾄﾞ>");
    EXPECT_EQ(app->infoValue(kRowAlpha), "○あり");
    EXPECT_EQ(app->infoValue(kRowInputSize), "----");
    // An image with alpha takes no transparent colour.
    EXPECT_FALSE(itemEnabled(app->hwnd(), kIdUseTransparent));
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_UNCHECKED);
    postButtonCommand(app->hwnd(), kIdSwatch);
    EXPECT_EQ(takeMessageBox(*app), "ｱﾙﾌｧ付き画像では指定できません");

    const EngineRun expected = runEngineOnPicture(picture, true);
    ASSERT_TRUE(expected.ok);
    ASSERT_EQ(expected.bitDepth, 32);
    EXPECT_EQ(runTest(*app), expected.log);
    EXPECT_EQ(waitForInfo(*app, kRowOutputFormat, encodingText(expected)), encodingText(expected));
    EXPECT_EQ(app->infoValue(kRowSizeChange), "----");
}

TEST_F(DesktopTest, PasteWithoutAlphaMakesTheBitmapOpaque)
{
    // The same 32-bit block as for the paste with alpha; the program asks
    // for the platform's bitmap, which the clipboard makes from the block,
    // and the alpha bytes must not count.
    const Picture picture = alphaPicture(19, 11, 11);
    auto app = startApp();
    ASSERT_TRUE(app);
    ASSERT_TRUE(putClipboardDib(picture.width, picture.height, 32, picture.pixels));
    postButtonCommand(app->hwnd(), kIdPasteOpaque);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "19 x 11"), "19 x 11");
    EXPECT_EQ(app->infoValue(kRowFileName), "<ｸﾘｯﾌﾟﾎﾞｰﾄﾞ>");
    EXPECT_EQ(app->infoValue(kRowAlpha), "×なし");
    EXPECT_EQ(app->infoValue(kRowInputSize), "----");
    EXPECT_TRUE(itemEnabled(app->hwnd(), kIdUseTransparent));
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_UNCHECKED);

    DibImage image;
    ASSERT_TRUE(toDib(picture, false, image));
    image.makeOpaque();
    const EngineRun expected = runEngine(image, -1, kDefaultOptFlag);
    ASSERT_TRUE(expected.ok);
    ASSERT_EQ(expected.bitDepth, 8);   // 209 pixels, opaque: a palette
    EXPECT_EQ(runTest(*app), expected.log);

    // "上書き保存" of a pasted image asks for a name and suggests none.
    postButtonCommand(app->hwnd(), kIdOverwrite);
    HWND saveDialog = waitForSaveDialog(*app);
    ASSERT_NE(saveDialog, nullptr);
    EXPECT_EQ(windowText(fileNameField(saveDialog)), "");
    postButtonCommand(saveDialog, IDCANCEL);
    EXPECT_TRUE(waitGone(saveDialog));
}

TEST_F(DesktopTest, PasteRefusalsKeepThePreviousImage)
{
    const std::string path = bmpFile("kept.bmp", 12, 9, 12);
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "12 x 9"), "12 x 9");

    ASSERT_TRUE(putClipboardDib(5, 4, 24, patternPicture(5, 4, 1).pixels));
    postButtonCommand(app->hwnd(), kIdPaste32);
    EXPECT_EQ(takeMessageBox(*app), "ﾃﾞｰﾀが32BITｲﾒｰｼﾞではありません");
    ASSERT_TRUE(emptyClipboard());
    postButtonCommand(app->hwnd(), kIdPasteOpaque);
    EXPECT_EQ(takeMessageBox(*app), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾃﾞｰﾀがありません");

    EXPECT_EQ(app->infoValue(kRowFileName), path);
    EXPECT_EQ(app->infoValue(kRowImageSize), "12 x 9");
    // The image is still there to convert.
    EXPECT_NE(runTest(*app).find("結果"), std::string::npos);
}

TEST_F(DesktopTest, ThreeDroppedFilesLoadOnlyTheFirst)
{
    const std::string first = bmpFile("first.bmp", 21, 13, 13);
    const std::string second = bmpFile("second.bmp", 8, 8, 14);
    const std::string third = work.file("third.png");
    ASSERT_TRUE(writePlainPng(third, patternPicture(9, 9, 15)));
    auto app = startApp();
    ASSERT_TRUE(app);
    ASSERT_TRUE(postDroppedFiles(install->processHandle(app->pid()), app->hwnd(), {first, second, third}, {20, 20}));
    EXPECT_EQ(waitForInfo(*app, kRowFileName, first), first);
    EXPECT_EQ(app->infoValue(kRowImageSize), "21 x 13");
    EXPECT_EQ(app->infoValue(kRowInputSize), byteSizeText(fileSize(first)));
    EXPECT_TRUE(noOtherDialog(*app));
}

TEST_F(DesktopTest, ClickInTheColourPickerSetsTheSwatch)
{
    // A 4-pixel-wide grid of colours; the picker shows every pixel as 4 x 4.
    Picture picture = patternPicture(40, 30, 16);
    const uint32_t picked = 0x3070D0;
    picture.pixels[static_cast<size_t>(7) * picture.width + 11] = 0xFF000000u | picked;
    const std::string path = work.file("pick.bmp");
    ASSERT_TRUE(writeBmp24(path, picture));
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "40 x 30"), "40 x 30");
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_UNCHECKED);

    postButtonCommand(app->hwnd(), kIdSwatch);
    HWND picker = waitForTopLevel(app->pid(), "General", nullptr);
    ASSERT_NE(picker, nullptr) << "no colour picker";
    // Client (45, 29) at scroll position (0, 0) is pixel (11, 7).
    PostMessageA(picker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(45, 29));
    EXPECT_TRUE(waitGone(picker));

    // The swatch shows the colour; the box stays as it was.
    EXPECT_EQ(waitForCentrePixel(GetDlgItem(app->hwnd(), kIdSwatch), picked), static_cast<int64_t>(picked));
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_UNCHECKED);

    // Ticked, the colour becomes the output's transparent colour.
    postClick(GetDlgItem(app->hwnd(), kIdUseTransparent));
    ASSERT_TRUE(waitUntil([&] { return checkState(app->hwnd(), kIdUseTransparent) == BST_CHECKED; }, 5000));
    const std::string target = work.file("keyed.png");
    postButtonCommand(app->hwnd(), kIdSaveAs);
    HWND saveDialog = waitForSaveDialog(*app);
    ASSERT_NE(saveDialog, nullptr);
    chooseFileName(saveDialog, target);
    HWND dialog = waitForTopLevel(app->pid(), kDialogClass, kOutputCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(waitForSuccess(dialog), "");
    EXPECT_TRUE(closeOutputDialog(dialog));

    DibImage image;
    ASSERT_TRUE(toDib(picture, false, image));
    const EngineRun expected = runEngine(image, static_cast<int32_t>(picked), kDefaultOptFlag, work.file("expected.png"));
    ASSERT_TRUE(expected.ok);
    EXPECT_EQ(readFileBytes(target), expected.file);
    DibImage loaded;
    int32_t transparent = -1;
    ASSERT_TRUE(loadImageFile(loaded, target.c_str(), transparent));
    EXPECT_EQ(transparent, static_cast<int32_t>(picked));
}

TEST_F(DesktopTest, ClickBeyondThePictureKeepsThePickerOpenUntilItLosesTheFocus)
{
    const std::string path = bmpFile("small.bmp", 10, 10, 17);
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "10 x 10"), "10 x 10");
    postButtonCommand(app->hwnd(), kIdSwatch);
    HWND picker = waitForTopLevel(app->pid(), "General", nullptr);
    ASSERT_NE(picker, nullptr);
    // The picture covers 40 x 40 client pixels; the rest is grey.
    DWORD_PTR handled = 0;
    EXPECT_TRUE(SendMessageTimeoutA(picker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100), SMTO_NORMAL, 5000,
                                    &handled));
    EXPECT_TRUE(IsWindow(picker));

    // Activating the main window takes the focus away: the picker closes
    // without a choice, and the swatch still offers the top-left pixel.
    SetForegroundWindow(app->hwnd());
    EXPECT_TRUE(waitGone(picker, 5000));
    const int64_t topLeft = patternPicture(10, 10, 17).at(0, 0) & 0xFFFFFF;
    EXPECT_EQ(waitForCentrePixel(GetDlgItem(app->hwnd(), kIdSwatch), topLeft), topLeft);
    EXPECT_EQ(checkState(app->hwnd(), kIdUseTransparent), BST_UNCHECKED);
}

TEST_F(DesktopTest, OpenDialogPreviewsTheSelectionAndRemembersItsFolder)
{
    const std::string ini = "[Tolvarinx3]\r\nOptFlag=256\r\nOpenDir=" + work.path() + "\r\n";
    ASSERT_TRUE(writeFileBytes(install->settingsPath(), std::vector<uint8_t>(ini.begin(), ini.end())));
    const std::string path = bmpFile("look.bmp", 40, 30, 19);
    auto app = startApp();
    ASSERT_TRUE(app);

    postButtonCommand(app->hwnd(), kIdOpenFile);
    HWND open = waitForOtherDialog(app->pid(), {app->hwnd()}, cmb1);
    ASSERT_NE(open, nullptr) << "no open-file dialog";
    HWND extension = FindWindowExA(open, nullptr, kDialogClass, nullptr);   // the program's template
    ASSERT_NE(extension, nullptr);
    EXPECT_EQ(checkState(extension, kIdPreviewEnabled), BST_CHECKED);
    HWND pane = GetDlgItem(extension, kIdPreview);
    EXPECT_TRUE(waitUntil([&] { return centrePixel(pane) == kCheckerLight || centrePixel(pane) == kCheckerDark; },
                          5000));

    // The dialog starts in OpenDir; selecting the file shows it.
    HWND list = findChildOfClass(open, WC_LISTVIEWA);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(waitUntil([&] { return app->selectListRow(list, app->findListRow(list, "look.bmp")); },
                          kWindowTimeoutMs));
    int64_t shown = -1;
    EXPECT_TRUE(waitUntil([&] { shown = centrePixel(pane); return shown != kCheckerLight && shown != kCheckerDark; },
                          5000))
        << "no preview";
    // Turning the preview off clears the pane at once.
    postClick(GetDlgItem(extension, kIdPreviewEnabled));
    EXPECT_TRUE(waitUntil([&] { shown = centrePixel(pane); return shown == kCheckerLight || shown == kCheckerDark; },
                          5000))
        << "the preview stayed: " << std::hex << shown;

    chooseFileName(open, path);
    EXPECT_EQ(waitForInfo(*app, kRowFileName, path), path);
    EXPECT_EQ(app->infoValue(kRowImageSize), "40 x 30");

    PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    const std::vector<uint8_t> written = readFileBytes(install->settingsPath());
    const std::string text(written.begin(), written.end());
    EXPECT_NE(text.find("\r\nOptFlag=0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nOpenDir=" + work.path() + "\r\n"), std::string::npos) << text;
}

// Names in and outside the code page, each in a folder of its own name: the
// open dialog takes the file and the folder is remembered across a restart
// (a bare name then opens from it), "名前を付けて保存" writes the engine's
// file under such a name, and a drop of that file loads it. The file-name
// row shows what the code page lacks as stand-ins.
TEST_F(DesktopTest, NamesOutsideTheCodePageOpenSaveDropAndSurviveARestart)
{
    const char* const names[] = {u8"café", u8"图片", u8"사진", u8"🎨", u8"日本語"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(CreateDirectoryW(wideOfUtf8(work.file(name)).c_str(), nullptr));
        const std::string path = work.file(std::string(name) + "\\" + name + ".bmp");
        const std::string target = work.file(std::string(name) + "\\" + name + "-out.png");
        const Picture picture = patternPicture(26, 18, 23);
        ASSERT_TRUE(writeBmp24(path, picture));
        DibImage image;
        ASSERT_TRUE(toDib(picture, false, image));
        const EngineRun expected = runEngine(image, -1, kDefaultOptFlag, work.file("expected.png"));
        ASSERT_TRUE(expected.ok);

        auto app = startApp();
        ASSERT_TRUE(app);
        postButtonCommand(app->hwnd(), kIdOpenFile);
        HWND open = waitForOtherDialog(app->pid(), {app->hwnd()}, cmb1);
        ASSERT_NE(open, nullptr) << "no open-file dialog";
        chooseFileName(open, path);
        EXPECT_EQ(waitForInfo(*app, kRowFileName, displayPath(path.c_str())), displayPath(path.c_str()));
        EXPECT_EQ(app->infoValue(kRowImageSize), "26 x 18");
        postButtonCommand(app->hwnd(), kIdSaveAs);
        HWND saveDialog = waitForSaveDialog(*app);
        ASSERT_NE(saveDialog, nullptr) << "no save dialog";
        chooseFileName(saveDialog, target);
        HWND dialog = waitForTopLevel(app->pid(), kDialogClass, kOutputCaption);
        ASSERT_NE(dialog, nullptr) << "no output dialog";
        EXPECT_EQ(waitForSuccess(dialog), expected.log);
        EXPECT_TRUE(closeOutputDialog(dialog));
        EXPECT_EQ(readFileBytes(target), expected.file);
        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);

        app = startApp();
        ASSERT_TRUE(app);
        postButtonCommand(app->hwnd(), kIdOpenFile);
        open = waitForOtherDialog(app->pid(), {app->hwnd()}, cmb1);
        ASSERT_NE(open, nullptr) << "no open-file dialog after the restart";
        chooseFileName(open, std::string(name) + ".bmp");
        EXPECT_EQ(waitForInfo(*app, kRowFileName, displayPath(path.c_str())), displayPath(path.c_str()));
        ASSERT_TRUE(postDroppedFiles(install->processHandle(app->pid()), app->hwnd(), {target}, {20, 20}));
        EXPECT_EQ(waitForInfo(*app, kRowFileName, displayPath(target.c_str())), displayPath(target.c_str()));
        EXPECT_EQ(app->infoValue(kRowInputSize), byteSizeText(static_cast<uint32_t>(expected.file.size())));
        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), 20000), 0);
    }
}
