// Start-up guard and message loop.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/application.h"
#include "framework/dialog_base.h"
#include "framework/window_base.h"
#include "tests/framework_win/test_resources.h"
#include "tests/framework_win/window_test_support.h"

namespace {

std::string uniqueName(const char* what)
{
    return std::string("*TolvarinxTest-") + what + "-" + std::to_string(GetCurrentProcessId()) + "*";
}

TEST(StartUp, SecondStartUpWithTheSameNameIsRefused)
{
    Application application;
    const std::string name = uniqueName("guard");
    EXPECT_TRUE(application.startUp(name.c_str(), true));
    EXPECT_FALSE(application.startUp(name.c_str(), false));
    EXPECT_FALSE(application.startUp(name.c_str(), true));
    // The refusal leaves the guard in place.
    HANDLE probe = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(probe, nullptr);
    if (probe)
        CloseHandle(probe);
    EXPECT_TRUE(application.startUp(uniqueName("other").c_str(), false));
    // Without a name there is nothing to guard.
    EXPECT_TRUE(application.startUp(nullptr, false));
    EXPECT_TRUE(application.startUp(nullptr, false));
}

TEST(StartUp, InitialisesTheCommonControls)
{
    Application().startUp(nullptr, true);
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetClassInfoExA(nullptr, "SysListView32", &info));
    EXPECT_TRUE(GetClassInfoExA(nullptr, "msctls_progress32", &info));
}

// Run by StartUp.AnotherProcessIsRefused in a second process.
TEST(StartUpChild, ReportsWhetherTheGuardWasTaken)
{
    const char* name = std::getenv("TOLVARINX_TEST_MUTEX");
    const char* expect = std::getenv("TOLVARINX_TEST_EXPECT");
    if (!name || !expect)
        GTEST_SKIP() << "run as a child process only";
    EXPECT_EQ(Application().startUp(name, true), std::string(expect) == "1");
}

// Runs this test program's child test with the given mutex name; its exit code.
DWORD runChild(const std::string& name, bool expectTaken)
{
    char program[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    SetEnvironmentVariableA("TOLVARINX_TEST_MUTEX", name.c_str());
    SetEnvironmentVariableA("TOLVARINX_TEST_EXPECT", expectTaken ? "1" : "0");
    std::string commandLine = std::string("\"") + program + "\" --gtest_filter=StartUpChild.*";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD code = 99;
    if (CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 98);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    SetEnvironmentVariableA("TOLVARINX_TEST_MUTEX", nullptr);
    SetEnvironmentVariableA("TOLVARINX_TEST_EXPECT", nullptr);
    return code;
}

TEST(StartUp, AnotherProcessIsRefused)
{
    const std::string name = uniqueName("process");
    ASSERT_TRUE(Application().startUp(name.c_str(), false));
    EXPECT_EQ(runChild(name, false), 0u);
    EXPECT_EQ(runChild(uniqueName("free"), true), 0u);
}

class LoopWindow : public WindowBase {
public:
    int received = 0;
    int onUserMessage(UINT message, WPARAM wParam, LPARAM) override
    {
        if (message == WM_USER + 3)
            received += static_cast<int>(wParam);
        return 1;
    }
};

class LoopDialog : public DialogBase {
public:
    int commands = 0;
    int onCommand(unsigned id, unsigned, HWND) override
    {
        commands += id == 4321;
        return 1;
    }
};

TEST(MessageLoop, DispatchesUntilQuitAndReturnsItsCode)
{
    LoopWindow window;
    ASSERT_TRUE(window.createWindow(0, testWindowClass(), "loop", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                    nullptr));
    WindowGuard windowGuard(window.hwnd);
    LoopDialog dialog;
    ASSERT_TRUE(dialog.createModeless(IDD_PLAIN, nullptr));
    WindowGuard dialogGuard(dialog.hwnd);
    pumpPending();

    PostMessageA(window.hwnd, WM_USER + 3, 5, 0);
    PostMessageA(dialog.hwnd, WM_COMMAND, 4321, 0);
    PostMessageA(window.hwnd, WM_USER + 3, 2, 0);
    PostQuitMessage(7);
    EXPECT_EQ(Application().runMessageLoop(dialog.hwnd), 7);
    EXPECT_EQ(window.received, 7);
    EXPECT_EQ(dialog.commands, 1);
}

}  // namespace
