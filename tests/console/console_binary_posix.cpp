// The built tolvarinxc program: exit status, printed report and the argv
// joining of the POSIX entry point.

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/console/console_test_support.h"

extern char** environ;

namespace {

// ctest names the build folder; a test binary started by hand finds the
// program beside its own folder.
std::string programPath()
{
    const char* buildDir = std::getenv("TOLVARINX_BUILD_DIR");
    if (buildDir != nullptr && *buildDir != 0)
        return std::string(buildDir) + "/console/tolvarinxc";
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "tolvarinxc";
    self[n] = 0;
    return (std::filesystem::path(self).parent_path().parent_path() / "console" / "tolvarinxc").string();
}

struct ProgramRun {
    int status = -1;   // exit status; -1 when the program did not exit normally
    int endingSignal = 0;   // the signal that ended it, 0 when it exited
    std::string output;
};

// Whether the program is sent SIGHUP while it runs, and how it starts with
// it: at its default action, or ignored as nohup leaves it. Both are set
// explicitly, so the result does not depend on how the test itself started.
enum class Hangup { None, SentAtDefault, SentWhileIgnored };

ProgramRun runProgram(const std::vector<std::string>& arguments, Hangup hangup = Hangup::None)
{
    ProgramRun run;
    const std::string program = programPath();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t hangupSet;
    sigemptyset(&hangupSet);
    sigaddset(&hangupSet, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &hangupSet);
    if (hangup != Hangup::SentWhileIgnored)
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    // An ignored disposition is inherited through exec: ignore it here for
    // the moment of the spawn.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    if (hangup == Hangup::SentWhileIgnored)
        sigaction(SIGHUP, &ignore, &previous);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    if (hangup == Hangup::SentWhileIgnored)
        sigaction(SIGHUP, &previous, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned == 0 && hangup != Hangup::None) {
        // posix_spawn returns once the program is executing; the second
        // signal lands while it converts.
        kill(pid, SIGHUP);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        kill(pid, SIGHUP);
    }
    if (spawned == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            run.output.append(buffer, static_cast<size_t>(n));
    }
    close(pipeEnds[0]);
    if (spawned != 0)
        return run;
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.endingSignal = WTERMSIG(status);
    return run;
}

} // namespace

TEST(ConsoleProgram, NoArgumentsPrintsUsageAndExitsWithFailure)
{
    ProgramRun run = runProgram({});
    EXPECT_EQ(run.output, "[usage]\n-i [input] [-o [output]] ...\n");
    EXPECT_EQ(run.status, 1);
}

TEST(ConsoleProgram, EmptyInputArgumentIsMissingInput)
{
    ProgramRun run = runProgram({"-i", "", "-nf"});
    EXPECT_EQ(run.output, "-iで入力ﾌｧｲﾙを指定してください");
    EXPECT_EQ(run.status, 1);
}

TEST(ConsoleProgram, MissingFileExitsWithFailure)
{
    TempDir dir;
    const std::string missing = dir.file("gone.bmp");
    ProgramRun run = runProgram({"-i", missing});
    EXPECT_EQ(run.output, missing + " が存在しません");
    EXPECT_EQ(run.status, 1);
}

TEST(ConsoleProgram, ConvertsPathsWithSpaces)
{
    TempDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "my pictures";
    std::filesystem::create_directory(folder);
    const std::string bmp = (folder / "holiday photo.bmp").string();
    const std::string png = (folder / "holiday photo.png").string();
    const RgbaImage image = makeBandedImage(12, 8, 6);
    ASSERT_TRUE(writeBmp24(bmp, image));

    ProgramRun run = runProgram({"-nd", "-i", bmp});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.substr(0, nameLines(bmp, png).size()), nameLines(bmp, png));
    EXPECT_GT(countDots(run.output, bmp, png), 0);
    ReportedResult result;
    ASSERT_TRUE(parseResultBlock(run.output, result)) << run.output;
    EXPECT_EQ(result.outSize, readFileBytes(png).size());

    RgbaImage decoded;
    ASSERT_TRUE(decodePngWithLibpng(png, decoded));
    EXPECT_TRUE(decoded.pixels == image.pixels);
}

TEST(ConsoleProgram, UnreadableInputExitsWithFailure)
{
    TempDir dir;
    const std::string text = dir.file("readme.png");
    ASSERT_TRUE(writeFileBytes(text, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    ProgramRun run = runProgram({"-i", text});
    EXPECT_EQ(run.output, nameLines(text, text) + "<read error>\n");
    EXPECT_EQ(run.status, 1);
}

TEST(ConsoleProgram, NotSmallerPngExitsWithSuccess)
{
    TempDir dir;
    const std::string bmp = dir.file("a.bmp");
    const std::string png = dir.file("a.png");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(10, 10, 3)));
    ASSERT_EQ(runProgram({"-i", bmp, "-nf", "-nd", "-nc"}).status, 0);

    ProgramRun run = runProgram({"-i", png, "-nf", "-nd", "-nc"});
    EXPECT_EQ(run.output, nameLines(png, png) + "\n\n<ｻｲｽﾞが増えたため出力なし>\n");
    EXPECT_EQ(run.status, 0);
}

TEST(ConsoleProgram, ConvertsTheBundledSample)
{
    const std::filesystem::path sample =
        std::filesystem::path(TOLVARINX_TEST_DATA_DIR).parent_path().parent_path() / "samples" / "sample.bmp";
    ASSERT_TRUE(std::filesystem::exists(sample)) << sample;
    TempDir dir;
    const std::string png = dir.file("sample.png");
    ProgramRun run = runProgram({"-i", sample.string(), "-o", png});
    ASSERT_EQ(run.status, 0) << run.output;
    ReportedResult result;
    ASSERT_TRUE(parseResultBlock(run.output, result)) << run.output;
    EXPECT_EQ(result.inSize, std::filesystem::file_size(sample));
    EXPECT_LT(result.outSize, result.inSize);

    RgbaImage expected;
    ASSERT_TRUE(loadAsRgba(sample.string(), expected));
    RgbaImage decoded;
    ASSERT_TRUE(decodePngWithLibpng(png, decoded));
    EXPECT_TRUE(decoded.pixels == expected.pixels);
}

// nohup's convention: a hang-up that was ignored when the program started
// stays ignored and the conversion completes; at its default action it ends
// the program by the signal, leaving neither the output nor a temporary file.
TEST(ConsoleProgram, HangupEndsTheRunUnlessItWasIgnoredAtStart)
{
    for (const Hangup hangup : {Hangup::SentAtDefault, Hangup::SentWhileIgnored}) {
        const bool ignored = hangup == Hangup::SentWhileIgnored;
        SCOPED_TRACE(ignored ? "ignored at start" : "default action");
        TempDir dir;
        const std::string bmp = dir.file("wide.bmp");
        const std::string png = dir.file("wide.png");
        const RgbaImage image = makeGradientImage(400, 300);
        ASSERT_TRUE(writeBmp24(bmp, image));

        ProgramRun run = runProgram({"-i", bmp}, hangup);
        if (ignored) {
            ASSERT_EQ(run.status, 0) << run.output;
            RgbaImage decoded;
            ASSERT_TRUE(decodePngWithLibpng(png, decoded));
            EXPECT_TRUE(decoded.pixels == image.pixels);
            EXPECT_EQ(countEntries(dir.path()), 2u);
        } else {
            EXPECT_EQ(run.endingSignal, SIGHUP) << "exit status " << run.status;
            EXPECT_EQ(countEntries(dir.path()), 1u) << "an output or temporary file was left";
        }
    }
}
