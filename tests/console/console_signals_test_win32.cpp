// The console control handler: a Ctrl+C while an output is being written
// removes the temporary file, keeps the target and ends the process with
// STATUS_CONTROL_C_EXIT. The test runs itself again as a child on a console
// of its own, which writes and then sends itself the event.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "console/console_signals.h"
#include "core/replacing_file.h"
#include "tests/common/test_support.h"

namespace {

constexpr char kChildTargetVariable[] = "TOLVARINX_CONTROL_EVENT_TARGET";
const std::vector<uint8_t> kOriginal(100, 0xAB);

// The child's part; never returns. Exit codes other than the event's are
// setup failures.
[[noreturn]] void childWritesAndSendsCtrlC(const char* target)
{
    installConsoleSignalHandling();
    ReplacingFile out;
    if (!out.begin(target))
        ExitProcess(2);
    const std::vector<uint8_t> block(5000, 1);
    if (out.file().write(block.data(), uint32_t(block.size())) != block.size())
        ExitProcess(3);
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
        ExitProcess(4);
    Sleep(20000);
    ExitProcess(5);   // the event never arrived
}

} // namespace

TEST(ConsoleSignals, ControlEventRemovesTheTemporaryFile)
{
    if (const char* target = std::getenv(kChildTargetVariable))
        childWritesAndSendsCtrlC(target);

    TempDir dir;
    const std::string target = dir.file("keep.png");
    ASSERT_TRUE(writeFileBytes(target, kOriginal));
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string commandLine = std::string("\"") + self +
                              "\" --gtest_filter=ConsoleSignals.ControlEventRemovesTheTemporaryFile";
    ASSERT_TRUE(SetEnvironmentVariableA(kChildTargetVariable, target.c_str()));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(self, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                                        nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableA(kChildTargetVariable, nullptr);
    ASSERT_TRUE(started);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, DWORD(STATUS_CONTROL_C_EXIT));
    EXPECT_EQ(readFileBytes(target), kOriginal);
    EXPECT_EQ(countEntries(dir.path()), 1u) << "a temporary file was left";
}
