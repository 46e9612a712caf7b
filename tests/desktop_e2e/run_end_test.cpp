// How a conversion run ends when something other than its own worker speaks:
// a close request reaching the main window during a single-image run or a
// folder run, and a dialog-manager message sharing the completion's number.

#include <windows.h>

#include <commctrl.h>

#include "tests/desktop_e2e/e2e_expect.h"
#include "tests/desktop_e2e/e2e_fixture.h"

namespace {

constexpr int kMenuConvertFolder = 40001;
constexpr const char* kFolderSettingsCaption = "フォルダ一括変換";
constexpr const char* kFolderProgressCaption = "フォルダ変換";
constexpr int kIdFolderInput = 1201;
constexpr int kIdFolderOutput = 1202;
constexpr int kIdFolderTypeBmp = 1155;
constexpr int kIdFolderResults = 1101;
constexpr int kIdFolderStatus = 1301;
constexpr int kIdWorkerDone = 9000;
// The worker's completion message of the output dialog; also DM_SETDEFID.
constexpr UINT kCompletionMessage = WM_USER + 1;

// Every entry of folder is a PNG holding the picture its name maps to, and
// nothing else (no temporary file) lies there.
void expectOnlyCompletePngs(const std::string& folder, const std::function<const Picture*(const std::string&)>& of)
{
    const std::vector<std::string> pngs = listFiles(folder, ".png");
    EXPECT_EQ(countEntries(folder), pngs.size()) << "more than PNGs in " << folder;
    EXPECT_TRUE(listFiles(folder, ".tlvtmp").empty()) << "a temporary file was left in " << folder;
    for (const std::string& name : pngs) {
        const Picture* picture = of(name);
        ASSERT_NE(picture, nullptr) << "unexpected " << name;
        EXPECT_TRUE(holdsPicture(folder + "\\" + name, *picture));
    }
}

std::string settingsText(const AppInstall& install)
{
    const std::vector<uint8_t> bytes = readFileBytes(install.settingsPath());
    return std::string(bytes.begin(), bytes.end());
}

bool setEditText(HWND dialog, int id, const std::string& text)
{
    return SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_NORMAL, 5000, nullptr) != 0;
}

}  // namespace

TEST_F(DesktopTest, CloseRequestDuringASingleImageRunStopsItAndThenCloses)
{
    const Picture picture = busyPicture(1400, 1000, 31);
    const std::string input = work.file("busy.bmp");
    ASSERT_TRUE(writeBmp24(input, picture));
    const std::string out = work.file("out");
    ASSERT_TRUE(CreateDirectoryA(out.c_str(), nullptr));

    // When the close request comes: while the filter trials run, or once the
    // run has succeeded and the dialog offers "閉じる".
    for (const bool afterSuccess : {false, true}) {
        SCOPED_TRACE(afterSuccess ? "after success" : "during the trials");
        if (afterSuccess) {
            // A quick run, so that it can end before the close.
            const std::string ini = "[Tolvarinx3]\r\nOptFlag=259\r\n";
            ASSERT_TRUE(writeFileBytes(install->settingsPath(), std::vector<uint8_t>(ini.begin(), ini.end())));
        }
        const std::string target = out + (afterSuccess ? "\\finished.png" : "\\stopped.png");
        auto app = startApp(quoted(input));
        ASSERT_TRUE(app);
        ASSERT_EQ(waitForInfo(*app, kRowImageSize, "1400 x 1000"), "1400 x 1000");
        postButtonCommand(app->hwnd(), kIdSaveAs);
        HWND saveDialog = waitForSaveDialog(*app);
        ASSERT_NE(saveDialog, nullptr);
        chooseFileName(saveDialog, target);
        HWND dialog = waitForTopLevel(app->pid(), kDialogClass, kOutputCaption);
        ASSERT_NE(dialog, nullptr);
        if (afterSuccess) {
            ASSERT_NE(waitForSuccess(dialog), "");
        } else {
            std::string log;
            ASSERT_TRUE(waitUntil(
                [&] { return (log = itemText(dialog, kIdLog)).find("filter 1 ... ") != std::string::npos; },
                kRunTimeoutMs))
                << log;
        }

        // The dialog's "終了後、閉じる" box reaches OptFlag when the dialog
        // ends, so it is saved only if the dialog ended before the window.
        postClick(GetDlgItem(dialog, kIdCloseWhenDone));
        ASSERT_TRUE(waitUntil([&] { return checkState(dialog, kIdCloseWhenDone) == BST_CHECKED; }, 5000));

        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), kRunTimeoutMs), 0);
        // A stopped run writes nothing; a finished one keeps its file.
        EXPECT_EQ(fileExists(target), afterSuccess);
        expectOnlyCompletePngs(out, [&](const std::string&) { return &picture; });
        // The close went all the way, after the dialog had ended.
        const std::string written = settingsText(*install);
        EXPECT_NE(written.find("\r\nSaveDir=" + out + "\r\n"), std::string::npos) << written;
        EXPECT_NE(written.find(afterSuccess ? "\r\nOptFlag=771\r\n" : "\r\nOptFlag=768\r\n"), std::string::npos)
            << written;
    }
}

TEST_F(DesktopTest, CloseRequestDuringAFolderRunStopsItAndThenCloses)
{
    // Many small files: the worker writes one output after another, so the
    // close request finds it in the middle of a write as often as not.
    const std::string in = work.file("in");
    ASSERT_TRUE(CreateDirectoryA(in.c_str(), nullptr));
    constexpr int kFiles = 150;
    std::vector<Picture> pictures;
    for (int i = 0; i < kFiles; ++i) {
        pictures.push_back(busyPicture(160, 120, 40 + i));
        ASSERT_TRUE(writeBmp24(in + "\\p" + std::to_string(i) + ".bmp", pictures.back()));
    }
    const auto pictureOf = [&](const std::string& name) -> const Picture* {
        for (int i = 0; i < kFiles; ++i)
            if (name == "p" + std::to_string(i) + ".png")
                return &pictures[static_cast<size_t>(i)];
        return nullptr;
    };
    // The close request after this many results rows.
    for (const int rows : {1, 12}) {
        SCOPED_TRACE("close after " + std::to_string(rows) + " rows");
        const std::string out = work.file("out" + std::to_string(rows));
        ASSERT_TRUE(CreateDirectoryA(out.c_str(), nullptr));
        auto app = startApp();
        ASSERT_TRUE(app);
        postMenuCommand(app->hwnd(), kMenuConvertFolder);
        HWND settings = waitForTopLevel(app->pid(), kDialogClass, kFolderSettingsCaption);
        ASSERT_NE(settings, nullptr);
        ASSERT_TRUE(setEditText(settings, kIdFolderInput, in));
        ASSERT_TRUE(setEditText(settings, kIdFolderOutput, out));
        SendMessageTimeoutA(GetDlgItem(settings, kIdFolderTypeBmp), BM_SETCHECK, BST_CHECKED, 0, SMTO_NORMAL, 5000,
                            nullptr);
        postButtonCommand(settings, IDOK);
        HWND progress = waitForTopLevel(app->pid(), kDialogClass, kFolderProgressCaption);
        ASSERT_NE(progress, nullptr);
        HWND results = GetDlgItem(progress, kIdFolderResults);
        ASSERT_TRUE(waitUntil([&] { return SendMessageA(results, LVM_GETITEMCOUNT, 0, 0) >= rows; }, kRunTimeoutMs));
        // The worker's end-of-run command from anyone else is ignored: the
        // button still stops rather than closes, unless the run has really
        // ended and shows its summary.
        SendMessageTimeoutA(progress, WM_COMMAND, MAKEWPARAM(kIdWorkerDone, 0), 0, SMTO_NORMAL, 5000, nullptr);
        const std::string button = itemText(progress, IDCANCEL);
        EXPECT_TRUE(button == "中止" || itemText(progress, kIdFolderStatus).rfind("処理 ", 0) == 0) << button;

        PostMessageA(app->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(install->waitExit(app->pid(), kRunTimeoutMs), 0);
        // Stopped before the end, and what was written is whole.
        EXPECT_LT(listFiles(out, ".png").size(), static_cast<size_t>(kFiles));
        expectOnlyCompletePngs(out, pictureOf);
        EXPECT_NE(settingsText(*install).find("\r\nDirFlag="), std::string::npos) << "the settings were not written";
    }
}

TEST_F(DesktopTest, DialogManagerMessagesAreNoCompletion)
{
    const Picture picture = busyPicture(500, 400, 33);
    const std::string path = work.file("busy.bmp");
    ASSERT_TRUE(writeBmp24(path, picture));
    const EngineRun expected = runEngineOnPicture(picture, false);
    ASSERT_TRUE(expected.ok);
    auto app = startApp(path);
    ASSERT_TRUE(app);
    ASSERT_EQ(waitForInfo(*app, kRowImageSize, "500 x 400"), "500 x 400");

    HWND dialog = startConversion(*app, kIdTest);
    ASSERT_NE(dialog, nullptr);
    std::string log;
    ASSERT_TRUE(waitUntil([&] { return (log = itemText(dialog, kIdLog)).find("filter 1 ... ") != std::string::npos; },
                          kRunTimeoutMs))
        << log;
    // DM_SETDEFID for IDOK and for IDCANCEL while the worker runs: the run
    // goes on and nothing offers to close it before the worker's result
    // block is in the log.
    for (WPARAM id : {WPARAM(IDOK), WPARAM(IDCANCEL), WPARAM(0)}) {
        SendMessageTimeoutA(dialog, kCompletionMessage, id, 0, SMTO_NORMAL, 5000, nullptr);
        const std::string button = itemText(dialog, IDCANCEL);
        const bool resultShown = itemText(dialog, kIdLog).find("結果") != std::string::npos;
        EXPECT_TRUE(button == "中止" || resultShown) << "taken as the completion: " << id;
    }
    EXPECT_EQ(waitForSuccess(dialog), expected.log);
    // And after the real report: no second completion.
    SendMessageTimeoutA(dialog, kCompletionMessage, 1, 0, SMTO_NORMAL, 5000, nullptr);
    EXPECT_EQ(itemText(dialog, IDCANCEL), "閉じる");
    EXPECT_TRUE(closeOutputDialog(dialog));
    EXPECT_EQ(waitForInfo(*app, kRowOutputFormat, encodingText(expected)), encodingText(expected));
    EXPECT_TRUE(noOtherDialog(*app));
}
