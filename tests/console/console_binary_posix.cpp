// The built tolvarinxc program: exit status, printed report and the argv
// joining of the POSIX entry point.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <zlib.h>

#include "tests/common/image_file_builders.h"
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

// argv for posix_spawn: the program, the arguments, a null; the strings
// must outlive the call.
std::vector<char*> spawnArguments(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

struct ProgramRun {
    int status = -1;   // exit status; -1 when the program did not exit normally
    int endingSignal = 0;   // the signal that ended it, 0 when it exited
    std::string output;
    double seconds = 0;     // wall time from the spawn to the exit
    long peakKilobytes = 0; // the program's peak resident memory
};

// Whether the program is sent SIGHUP while it runs, and how it starts with
// it: at its default action, or ignored as nohup leaves it. Both are set
// explicitly, so the result does not depend on how the test itself started.
enum class Hangup { None, SentAtDefault, SentWhileIgnored };

// runProgram's environment: this process's, or the given "NAME=value" entries alone.
struct Environment {
    bool own = true;
    std::vector<std::string> entries;
};

ProgramRun runProgram(const std::vector<std::string>& arguments, Hangup hangup = Hangup::None,
                      const Environment& environment = {})
{
    ProgramRun run;
    const std::string program = programPath();
    std::vector<char*> argv = spawnArguments(program, arguments);

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
    std::vector<char*> entries;
    for (const std::string& entry : environment.entries)
        entries.push_back(const_cast<char*>(entry.c_str()));
    entries.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(),
                                    environment.own ? environ : entries.data());
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
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.endingSignal = WTERMSIG(status);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
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

// The program speaks the language its environment asks for.
TEST(ConsoleProgram, LanguageOfTheEnvironment)
{
    const std::string japanese = "-iで入力ﾌｧｲﾙを指定してください";
    const struct {
        std::vector<std::string> environment;
        bool english;
    } cases[] = {
        {{}, false},
        {{"LANG=ja_JP.UTF-8"}, false},
        {{"LANG=en_US.UTF-8", "LC_ALL=C"}, false},
        {{"LANG=en_US.UTF-8"}, true},
        {{"LANGUAGE=en"}, true},
        {{"LC_MESSAGES=de_DE.UTF-8", "LANG=ja_JP.UTF-8"}, true},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& entry : c.environment)
            shown += entry + " ";
        const ProgramRun run = runProgram({"-i"}, Hangup::None, {false, c.environment});
        EXPECT_EQ(run.status, 1) << shown;
        EXPECT_EQ(run.output, c.english ? "tolvarinxc: -i needs an input file\n" : japanese) << shown;
    }
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

namespace {

// A PNG of a header (an animation's acTL and fcTL after it when frames > 0),
// an optional PLTE and one IDAT of `data`, and IEND: a picture whose data is
// only what `data` holds.
std::vector<uint8_t> pngClaiming(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                                 uint8_t interlace, const std::vector<uint8_t>& data, uint32_t frames = 0)
{
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    appendBE32(header, width);
    appendBE32(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, interlace});
    appendPngChunk(out, "IHDR", header);
    if (frames > 0) {
        std::vector<uint8_t> actl, fctl;
        appendBE32(actl, frames);
        appendBE32(actl, 0);
        appendPngChunk(out, "acTL", actl);
        for (uint32_t value : {0u, width, height, 0u, 0u})
            appendBE32(fctl, value);
        fctl.insert(fctl.end(), {0, 1, 0, 10, 0, 0});
        appendPngChunk(out, "fcTL", fctl);
    }
    if (colourType == 3)
        appendPngChunk(out, "PLTE", {0, 0, 0, 255, 255, 255});
    if (!data.empty())
        appendPngChunk(out, "IDAT", data);
    appendPngChunk(out, "IEND", {});
    return out;
}

// One zero row of `rowBytes` bytes (filter byte included), compressed.
std::vector<uint8_t> oneRow(uint32_t rowBytes)
{
    std::vector<uint8_t> row(rowBytes), packed(compressBound(uLong(rowBytes)));
    uLongf size = uLongf(packed.size());
    compress(packed.data(), &size, row.data(), uLong(row.size()));
    packed.resize(size);
    return packed;
}

struct ClaimCase {
    const char* name;
    std::vector<uint8_t> bytes;
    int status;   // 1: refused as unreadable; 0: loads, the missing rows as zeros
};

}  // namespace

// A file that claims a picture its bytes cannot hold is answered at once, in
// every mode, whatever the picture's size: the work follows what the file
// holds, not what its header claims.
TEST(ConsoleProgram, HeaderOnlyFilesAreAnsweredAtOnce)
{
    std::vector<uint8_t> bmp = {'B', 'M'};
    for (uint32_t value : {54u, 0u, 54u, 40u, 20000u, 20000u})
        appendLE32(bmp, value);
    bmp.insert(bmp.end(), {1, 0, 24, 0});
    bmp.resize(54);
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, ',', 0, 0,
                                      0, 0, 1, 0, 1, 0, 0x80, 0, 0, 0, 255, 255, 255, 2, 2, 0x44, 0x01, 0, ';'};
    const std::vector<ClaimCase> cases = {
        {"palette-33554445x5-no-data.png", pngClaiming(33554445, 5, 1, 3, 0, {}), 1},
        {"palette-2000x2000-no-data.png", pngClaiming(2000, 2000, 8, 3, 0, {}), 1},
        {"rgba-20000x20000-one-row.png", pngClaiming(20000, 20000, 8, 6, 0, oneRow(80001)), 1},
        {"grey16-8000x8000-no-data.png", pngClaiming(8000, 8000, 16, 0, 0, {}), 1},
        {"interlaced-rgb-30000x20000-one-row.png", pngClaiming(30000, 20000, 8, 2, 1, oneRow(11251)), 1},
        {"animated-16000x16000-one-row.png", pngClaiming(16000, 16000, 8, 6, 0, oneRow(64001), 1), 1},
        {"bmp-20000x20000-no-data.bmp", bmp, 1},
        {"gif-65535x65535-screen.gif", gif, 1},
        {"palette-256x256-no-data.png", pngClaiming(256, 256, 8, 3, 0, {}), 0},
    };
    TempDir dir;
    for (const ClaimCase& c : cases) {
        const std::string input = dir.file(c.name);
        ASSERT_TRUE(writeFileBytes(input, c.bytes));
        for (const char* level : {"-nc", "-x1", "-x2", "-x3"}) {
            const std::string output = dir.file("out.png");
            std::filesystem::remove(output);
            const ProgramRun run = runProgram({"-i", input, "-o", output, level});
            EXPECT_EQ(run.status, c.status) << c.name << " " << level << ": " << run.output;
            EXPECT_EQ(fileExistsAt(output), c.status == 0) << c.name << " " << level;
            EXPECT_LT(run.seconds, 5.0) << c.name << " " << level;
            EXPECT_LT(run.peakKilobytes, 200L * 1024) << c.name << " " << level;
        }
    }
}

// A real photo cut in half is a truncated picture, not a header alone: it
// loads with its top rows as in the whole file, and the run succeeds.
TEST(ConsoleProgram, TruncatedPhotoStillLoads)
{
    const std::string whole = corpusPath("bench/logo-photo-rgb.png");
    const std::vector<uint8_t> photo = readFileBytes(whole);
    ASSERT_FALSE(photo.empty());
    TempDir dir;
    const std::string input = dir.file("half.png");
    ASSERT_TRUE(writeFileBytes(input, std::vector<uint8_t>(photo.begin(), photo.begin() + long(photo.size() / 2))));
    RgbaImage complete, loaded;
    ASSERT_TRUE(loadAsRgba(whole, complete));
    ASSERT_TRUE(loadAsRgba(input, loaded));
    ASSERT_EQ(loaded.width, complete.width);
    ASSERT_EQ(loaded.height, complete.height);
    const size_t topRow = size_t(complete.width) * 4;
    EXPECT_TRUE(std::equal(loaded.pixels.begin(), loaded.pixels.begin() + long(topRow), complete.pixels.begin()));
    EXPECT_EQ(runProgram({"-i", input, "-o", dir.file("out.png")}).status, 0);
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

// ---- Pipes: "-i -" and "-o -" through a shell, as a pipeline runs them ----

namespace {

// What a piped run left: its exit status and the bytes of both streams.
struct PipedRun {
    int status = -1;
    std::vector<uint8_t> standardOutput;
    std::string standardError;
};

// Runs `program arguments < stdinPath` in folder with stdout and stderr
// captured in files there.
PipedRun runPiped(const std::string& folder, const std::string& arguments, const std::string& stdinPath)
{
    const std::string line = "cd '" + folder + "' && exec '" + programPath() + "' " + arguments + " < '" +
                             stdinPath + "' 2> stderr.txt > stdout.bin";
    const std::string script = folder + "/run.sh";
    writeFileBytes(script, std::vector<uint8_t>(line.begin(), line.end()));
    PipedRun run;
    const int raw = std::system(("bash '" + script + "'").c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.standardOutput = readFileBytes(folder + "/stdout.bin");
    const std::vector<uint8_t> errors = readFileBytes(folder + "/stderr.txt");
    run.standardError.assign(errors.begin(), errors.end());
    std::remove((folder + "/stdout.bin").c_str());
    return run;
}

// Runs the program in folder with arguments, stdin from stdinPath and stdout
// a pipe whose reading end is closed before the program starts, so that every
// write to it fails; stderr is captured.
PipedRun runIntoClosedPipe(const std::string& folder, const std::vector<std::string>& arguments,
                           const std::string& stdinPath)
{
    PipedRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    close(pipeEnds[0]);
    const std::string program = programPath();
    const std::string errors = folder + "/stderr.txt";
    std::vector<char*> argv = spawnArguments(program, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdinPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    // The test's own SIGPIPE disposition must not decide the child's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[1]);
    int status = 0;
    if (!spawned || waitpid(pid, &status, 0) != pid)
        return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<uint8_t> text = readFileBytes(errors);
    run.standardError.assign(text.begin(), text.end());
    return run;
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

enum class PipeExpect {
    SamePicture,   // exit 0, stdout a PNG of the input's picture
    SameBytes,     // exit 0, stdout the input's bytes unchanged
    ReadError,     // exit 1, stdout empty, "<read error>" on stderr
    TestRun,       // exit 0, stdout empty, the report on stderr
    Quiet,         // exit 0, the picture on stdout, nothing on stderr
    Refused,       // exit 1, stdout empty, a message naming --json on stderr
};

struct PipeCase {
    const char* name;
    const char* input;       // a file made by the test, or a corpus path when it holds a '/'
    const char* arguments;
    PipeExpect expect;
};

const PipeCase kPipeCases[] = {
    {"bmp to stdout by default", "picture.bmp", "-i -", PipeExpect::SamePicture},
    {"stored png to stdout", "stored.png", "-i - -o -", PipeExpect::SamePicture},
    {"gif to stdout", "gifsuite/gifs/", "-i - -o -", PipeExpect::SamePicture},
    {"extended search on stdin", "picture.bmp", "-i - -x -xi 1", PipeExpect::SamePicture},
    {"file to stdout", "picture.bmp", "-i picture.bmp -o -", PipeExpect::SamePicture},
    {"unshrinkable png passes through", "optimal.png", "-i -", PipeExpect::SameBytes},
    {"text on stdin", "text.txt", "-i -", PipeExpect::ReadError},
    {"empty stdin", "empty.bin", "-i - -o -", PipeExpect::ReadError},
    {"png cut inside its header", "cut-header.png", "-i -", PipeExpect::ReadError},
    {"png with corrupt image data", "corrupt.png", "-i -", PipeExpect::ReadError},
    {"bmp cut inside its pixels", "cut.bmp", "-i - -o -", PipeExpect::ReadError},
    {"test run writes nothing", "picture.bmp", "-n -i -", PipeExpect::TestRun},
    {"quiet pipe", "picture.bmp", "-q -i - -o -", PipeExpect::Quiet},
    {"json with a pipe", "picture.bmp", "--json -i -", PipeExpect::Refused},
};

// Writes the inputs the cases name into folder.
void makePipeInputs(const std::string& folder)
{
    const RgbaImage picture = makeGradientImage(48, 40);
    ASSERT_TRUE(writeBmp24(folder + "/picture.bmp", picture));
    ASSERT_TRUE(writeRgbaPng(folder + "/stored.png", picture, 0));
    ASSERT_EQ(runConsoleArgs({"-i", folder + "/picture.bmp", "-o", folder + "/optimal.png"}).status, 0);
    const std::vector<uint8_t> bmp = readFileBytes(folder + "/picture.bmp");
    std::vector<uint8_t> png = readFileBytes(folder + "/stored.png");
    const std::string text = "not an image\n";
    ASSERT_TRUE(writeFileBytes(folder + "/text.txt", std::vector<uint8_t>(text.begin(), text.end())));
    ASSERT_TRUE(writeFileBytes(folder + "/empty.bin", {}));
    ASSERT_TRUE(writeFileBytes(folder + "/cut-header.png", std::vector<uint8_t>(png.begin(), png.begin() + 20)));
    ASSERT_TRUE(writeFileBytes(folder + "/cut.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 200)));
    // The stored deflate block's header (after the zlib header at IDAT's data)
    // made an invalid block type.
    const size_t idatData = 8 + 25 + 8;
    png[idatData + 2] = 0x07;
    ASSERT_TRUE(writeFileBytes(folder + "/corrupt.png", png));
}

std::string inputPath(const std::string& folder, const char* input)
{
    const std::string name = input;
    if (name == "gifsuite/gifs/")
        return corpusPath(name + listFiles(corpusPath(name), ".gif").at(0));
    return folder + "/" + name;
}

}  // namespace

TEST(ConsolePipes, StandardInputAndOutputCases)
{
    TempDir dir;
    makePipeInputs(dir.path());
    const std::vector<std::string> entriesBefore = folderEntries(dir.path());
    for (const PipeCase& c : kPipeCases) {
        SCOPED_TRACE(c.name);
        const std::string input = inputPath(dir.path(), c.input);
        const PipedRun run = runPiped(dir.path(), c.arguments, input);
        const std::vector<uint8_t> inputBytes = readFileBytes(input);
        switch (c.expect) {
        case PipeExpect::SamePicture:
        case PipeExpect::Quiet: {
            ASSERT_EQ(run.status, 0) << run.standardError;
            RgbaImage decoded, expected;
            ASSERT_TRUE(decodePngBytesWithLibpng(run.standardOutput, decoded)) << "stdout is no PNG";
            ASSERT_TRUE(loadAsRgba(input, expected));
            EXPECT_EQ(decoded.width, expected.width);
            EXPECT_EQ(decoded.height, expected.height);
            EXPECT_TRUE(decoded.pixels == expected.pixels) << "the pixels changed";
            if (c.expect == PipeExpect::Quiet)
                EXPECT_EQ(run.standardError, "");
            else
                EXPECT_NE(run.standardError.find("<result>"), std::string::npos) << "no report on stderr";
            break;
        }
        case PipeExpect::TestRun:
            ASSERT_EQ(run.status, 0) << run.standardError;
            EXPECT_TRUE(run.standardOutput.empty()) << run.standardOutput.size() << " bytes on stdout";
            EXPECT_NE(run.standardError.find("<result>"), std::string::npos) << run.standardError;
            break;
        case PipeExpect::Refused:
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.standardOutput.empty());
            EXPECT_NE(run.standardError.find("--json"), std::string::npos) << run.standardError;
            break;
        case PipeExpect::SameBytes:
            ASSERT_EQ(run.status, 0) << run.standardError;
            EXPECT_EQ(run.standardOutput, inputBytes);
            EXPECT_NE(run.standardError.find("<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>"), std::string::npos);
            break;
        case PipeExpect::ReadError:
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.standardOutput.empty()) << run.standardOutput.size() << " bytes on stdout";
            EXPECT_NE(run.standardError.find("<read error>"), std::string::npos) << run.standardError;
            break;
        }
    }
    // Nothing but the captured streams was left beside the inputs.
    std::vector<std::string> entriesAfter = folderEntries(dir.path());
    for (const char* capture : {"run.sh", "stderr.txt"})
        entriesAfter.erase(std::remove(entriesAfter.begin(), entriesAfter.end(), capture), entriesAfter.end());
    EXPECT_EQ(entriesAfter, entriesBefore);
}

TEST(ConsolePipes, ClosedPipeIsAnOutputErrorWithNoTemporaryFile)
{
    TempDir dir;
    makePipeInputs(dir.path());
    const std::vector<std::string> entriesBefore = folderEntries(dir.path());
    const std::vector<std::vector<std::string>> argumentLists = {
        {"-i", "-"}, {"-i", "-", "-o", "-"}, {"-i", dir.file("picture.bmp"), "-o", "-"}};
    for (const std::vector<std::string>& arguments : argumentLists) {
        SCOPED_TRACE(arguments[1] + " " + std::to_string(arguments.size()));
        const PipedRun run = runIntoClosedPipe(dir.path(), arguments, dir.file("picture.bmp"));
        EXPECT_EQ(run.status, 1) << run.standardError;
        EXPECT_NE(run.standardError.find("<出力エラー>"), std::string::npos) << run.standardError;
    }
    std::vector<std::string> entriesAfter = folderEntries(dir.path());
    for (const char* capture : {"run.sh", "stderr.txt"})
        entriesAfter.erase(std::remove(entriesAfter.begin(), entriesAfter.end(), capture), entriesAfter.end());
    EXPECT_EQ(entriesAfter, entriesBefore);
}
