#include "tests/desktop_e2e/e2e_fixture.h"

#include <dlgs.h>

#include "tests/desktop_e2e/e2e_expect.h"

void DesktopTest::SetUp()
{
    install = std::make_unique<AppInstall>(TOLVARINX_APP_EXE, programDir.path());
    ASSERT_TRUE(install->ready()) << "cannot copy " << TOLVARINX_APP_EXE << " to " << programDir.path();
}

std::unique_ptr<MainWindowProbe> DesktopTest::startApp(const std::string& commandLineTail)
{
    const DWORD pid = install->start(commandLineTail);
    EXPECT_NE(pid, 0u) << "cannot start " << install->exePath();
    if (!pid)
        return nullptr;
    HWND window = waitForTopLevel(pid, kDialogClass, kMainCaption);
    EXPECT_NE(window, nullptr) << "no main window";
    if (!window)
        return nullptr;
    return std::make_unique<MainWindowProbe>(install->processHandle(pid), pid, window);
}

std::string DesktopTest::waitForInfo(const MainWindowProbe& app, int row, const std::string& expected,
                                     DWORD timeoutMs)
{
    std::string seen;
    waitUntil([&] { return (seen = app.infoValue(row)) == expected; }, timeoutMs);
    return seen;
}

HWND DesktopTest::startConversion(const MainWindowProbe& app, int buttonId)
{
    postButtonCommand(app.hwnd(), buttonId);
    return waitForTopLevel(app.pid(), kDialogClass, kOutputCaption);
}

std::string DesktopTest::waitForSuccess(HWND outputDialog)
{
    if (!waitUntil([&] { return itemText(outputDialog, IDCANCEL) == "閉じる"; }, kRunTimeoutMs))
        return std::string();
    return itemText(outputDialog, kIdLog);
}

bool DesktopTest::closeOutputDialog(HWND outputDialog)
{
    postButtonCommand(outputDialog, IDCANCEL);
    return waitGone(outputDialog);
}

std::string DesktopTest::runTest(const MainWindowProbe& app)
{
    HWND dialog = startConversion(app, kIdTest);
    if (!dialog)
        return "<no output dialog>";
    const std::string log = waitForSuccess(dialog);
    EXPECT_TRUE(closeOutputDialog(dialog));
    return log;
}

HWND DesktopTest::waitForSaveDialog(const MainWindowProbe& app)
{
    // The file dialogs are the program's dialogs with a file-type combo box.
    return waitForOtherDialog(app.pid(), {app.hwnd()}, cmb1);
}

HWND DesktopTest::fileNameField(HWND fileDialog)
{
    HWND field = GetDlgItem(fileDialog, cmb13);   // a combo box with an edit inside
    if (field) {
        HWND edit = findChildOfClass(field, "Edit");
        return edit ? edit : field;
    }
    return GetDlgItem(fileDialog, edt1);
}

void DesktopTest::chooseFileName(HWND fileDialog, const std::string& path)
{
    HWND field = fileNameField(fileDialog);
    ASSERT_NE(field, nullptr) << "the file dialog has no name field";
    const std::wstring wide = wideOfUtf8(path);
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL, 5000, nullptr);
    postButtonCommand(fileDialog, IDOK);
    EXPECT_TRUE(waitGone(fileDialog)) << "the file dialog did not accept " << path;
}

std::string DesktopTest::takeMessageBox(const MainWindowProbe& app, DWORD timeoutMs)
{
    HWND box = waitForOtherDialog(app.pid(), {app.hwnd()}, kMessageBoxTextId, timeoutMs);
    if (!box)
        return "<none>";
    const std::string text = itemText(box, kMessageBoxTextId);
    postButtonCommand(box, IDOK);
    EXPECT_TRUE(waitGone(box));
    return text;
}

bool DesktopTest::noOtherDialog(const MainWindowProbe& app)
{
    return findOtherDialog(app.pid(), {app.hwnd()}) == nullptr;
}

std::string DesktopTest::bmpFile(const std::string& name, int32_t width, int32_t height, uint32_t seed)
{
    const std::string path = work.file(name);
    EXPECT_TRUE(writeBmp24(path, patternPicture(width, height, seed)));
    return path;
}
