// The console's signal handling, in a child process each: an ending signal
// during a write removes the temporary file, keeps the target and ends the
// child by that signal; an ignored one stays ignored; one delivered to another
// thread waits for the main thread; a file-size limit makes the write fail
// instead of ending the process.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "console/console_signals.h"
#include "core/file_handle.h"
#include "core/interrupt_guard.h"
#include "core/replacing_file.h"
#include "tests/common/test_support.h"

namespace {

const std::vector<uint8_t> kOriginal(100, 0xAB);

struct SignalCase {
    int sig;
    bool ignoredAtStart;   // the child inherits SIG_IGN for it
};

// In the child: handlers installed, a replacement of target begun and
// written, then sig raised. Ends by the signal, or _exit(0) when it survives
// (and abandoned the file); other codes are setup failures.
void childRaisesDuringWrite(const std::string& target, const SignalCase& c)
{
    // Both dispositions set here: the test process may itself run with one
    // ignored (under nohup).
    std::signal(c.sig, c.ignoredAtStart ? SIG_IGN : SIG_DFL);
    installConsoleSignalHandling();
    ReplacingFile out;
    if (!out.begin(target.c_str()))
        _exit(2);
    const std::vector<uint8_t> block(5000, 1);
    if (out.file().write(block.data(), uint32_t(block.size())) != block.size())
        _exit(3);
    raise(c.sig);
    out.abandon();
    _exit(0);
}

} // namespace

TEST(ConsoleSignals, EndingSignalRemovesTheTemporaryFileAndEndsBySignal)
{
    const SignalCase cases[] = {
        {SIGINT, false}, {SIGTERM, false}, {SIGHUP, false},
        {SIGINT, true}, {SIGHUP, true},
    };
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.sig)) + (c.ignoredAtStart ? ", ignored at start" : ""));
        TempDir dir;
        const std::string target = dir.file("keep.png");
        ASSERT_TRUE(writeFileBytes(target, kOriginal));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            childRaisesDuringWrite(target, c);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (c.ignoredAtStart) {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
            EXPECT_EQ(WTERMSIG(status), c.sig);
        }
        EXPECT_EQ(readFileBytes(target), kOriginal);
        EXPECT_EQ(countEntries(dir.path()), 1u) << "a temporary file was left";
    }
}

// A signal the system delivers to another thread while the main thread holds
// interrupts off (as it does around creating, renaming and removing the
// temporary file) is handled on the main thread once its guard ends: the
// marker written inside the guard exists, and the process still ends by the
// signal with the temporary file gone.
TEST(ConsoleSignals, SignalOnAnotherThreadWaitsForTheMainThreadsGuard)
{
    TempDir dir;
    const std::string target = dir.file("keep.png");
    const std::string marker = dir.file("guard-ended");
    ASSERT_TRUE(writeFileBytes(target, kOriginal));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        installConsoleSignalHandling();
        ReplacingFile out;
        if (!out.begin(target.c_str()))
            _exit(2);
        std::atomic<bool> guarded{false};
        // Started before the guard, so its own signal mask lets SIGTERM in.
        std::thread other([&] {
            while (!guarded.load())
                std::this_thread::yield();
            raise(SIGTERM);
        });
        {
            InterruptGuard guard;
            guarded.store(true);
            other.join();
            writeFileBytes(marker, {1});
        }
        _exit(3);   // the signal was lost
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(fileExists(marker.c_str())) << "the signal was handled inside the guard";
    EXPECT_EQ(readFileBytes(target), kOriginal);
    EXPECT_EQ(countEntries(dir.path()), 2u) << "a temporary file was left";
}

// Without the caller ignoring SIGXFSZ: the handling installs that itself, so
// a write beyond the limit comes back short and the process lives on.
TEST(ConsoleSignals, FileSizeLimitMakesTheWriteFail)
{
    TempDir dir;
    const std::string target = dir.file("keep.png");
    ASSERT_TRUE(writeFileBytes(target, kOriginal));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        installConsoleSignalHandling();
        struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        ReplacingFile out;
        if (!out.begin(target.c_str()))
            _exit(2);
        const std::vector<uint8_t> block(10000, 1);
        const bool cut = out.file().write(block.data(), uint32_t(block.size())) < block.size();
        out.abandon();
        _exit(cut ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFileBytes(target), kOriginal);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}
