#pragma once
// The fixture of the end-to-end tests: a private copy of Tolvarinx.exe (its
// own settings file), a folder for the pictures and outputs, and the steps a
// user takes with the program, each waiting for the windows it needs.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/common/test_support.h"
#include "tests/desktop_e2e/app_driver.h"

// The program under test, as built (a path of the build machine).
#ifndef TOLVARINX_APP_EXE
#error "TOLVARINX_APP_EXE must name the built Tolvarinx.exe"
#endif

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Starts the program with the text after its name and waits for its main
    // window; a failed start fails the test.
    std::unique_ptr<MainWindowProbe> startApp(const std::string& commandLineTail = std::string());
    // Waits until the info list's row shows expected; returns what it shows
    // then (expected, or the last value seen when the time ran out).
    std::string waitForInfo(const MainWindowProbe& app, int row, const std::string& expected,
                            DWORD timeoutMs = 10000);

    // Presses a main-window button that runs a conversion and waits for the
    // output dialog; null when none appeared.
    HWND startConversion(const MainWindowProbe& app, int buttonId);
    // Waits for a running output dialog to offer "閉じる" and returns its
    // log; empty when the run did not succeed in time.
    std::string waitForSuccess(HWND outputDialog);
    // Presses the output dialog's button and waits for the dialog to end.
    bool closeOutputDialog(HWND outputDialog);
    // Runs "テスト" to the end and closes the dialog; returns the log.
    std::string runTest(const MainWindowProbe& app);

    // Waits for the save dialog opened by the program.
    HWND waitForSaveDialog(const MainWindowProbe& app);
    // The save dialog's file name field (the edit the user types into).
    HWND fileNameField(HWND fileDialog);
    // Types a path into a file dialog's name field and confirms it.
    void chooseFileName(HWND fileDialog, const std::string& path);

    // Waits for a message box of the program, returns its text and closes it.
    // "<none>" when none appeared.
    std::string takeMessageBox(const MainWindowProbe& app, DWORD timeoutMs = kWindowTimeoutMs);
    // No message box or other dialog of the program besides the main window.
    bool noOtherDialog(const MainWindowProbe& app);

    // Writes a picture as a BMP into the work folder; returns the path.
    std::string bmpFile(const std::string& name, int32_t width, int32_t height, uint32_t seed);

    TempDir work;        // pictures and outputs
    TempDir programDir;  // the program copy and its Tolvarinx.ini
    // Declared last: ends the program's processes before the folders go.
    std::unique_ptr<AppInstall> install;
};

// A path in double quotes, as a command line names a path with spaces.
inline std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}
