// tolvarinx_bad_input_sweep: feeds damaged image files through the console
// converter and counts every outcome.
//
// Inputs: every corrupt file of the PNG suite (x*.png) as it is, truncations
// of every corpus file at many lengths, and bit-flipped copies of every corpus
// file. Each is converted in a folder of its own, once as a file and once on
// standard input:
//     tolvarinxc -i <folder>/input.dat -o <folder>/output.png -nf -nd
//     tolvarinxc -i - -o - -nf -nd < input.dat > output.png
// (the file runs take, in turn, the plain report, --json, a test run (-n)
// that must write nothing, and the file-list mode writing input.png)
// (the neutral extension makes the converter write whatever it produces, so
// that every accepted input is checked through its output). A run passes when
// either
//   - it refuses the file: exit status 1, "<read error>" or "<出力エラー>"
//     printed, no output file (nothing on standard output) and no temporary
//     file written; or
//   - it converts the file: exit status 0, "<result>" printed, and libpng
//     decodes the output to exactly the picture the loader makes of the input
//     (a damaged file may still be a valid image: a PNG whose data ends early
//     loads with zeros, a flipped pixel byte of a BMP is another pixel); or,
//     on standard input only, it passes a PNG it cannot make smaller on
//     unchanged: exit status 0, the copy message, the input's bytes.
// Anything else is a failure: a crash (a signal), a hang (over the time limit),
// another exit status or message, a file written by a failed run, a lossy
// output, or a changed input. The child's address space is limited, so that
// files claiming huge pictures meet a refusing heap instead of the machine's.
//
// Usage: tolvarinx_bad_input_sweep CONSOLE CORPUS_DIR [SECONDS_PER_FILE] [WORKERS]
// Prints the figures; exit status 1 on any failure.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/dib_image.h"
#include "core/image_loader.h"
#include "fuzz/lossless_check.h"
#include "tests/common/test_support.h"

namespace fs = std::filesystem;

namespace {

// Address space of one console run.
constexpr rlim_t kChildAddressSpace = rlim_t(1) << 30;

struct Figures {
    int tried = 0;
    int refused = 0;
    int converted = 0;
    std::map<std::string, int> failures;   // by kind

    int failed() const
    {
        int n = 0;
        for (const auto& entry : failures)
            n += entry.second;
        return n;
    }
};

struct RunResult {
    bool timedOut = false;
    int signal = 0;     // non-zero: killed by this signal
    int status = -1;    // exit status otherwise
    std::string output;
};

double now()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A way of running the console on input.dat.
struct RunMode {
    std::vector<const char*> arguments;   // after the program's name
    const char* output;                    // the file a conversion writes
    const char* refusedTexts[2];           // one of them is printed on refusal
    const char* convertedText;             // printed on a conversion
    bool writes;                           // false: a test run
    bool piped;                            // input.dat on standard input, output.png from standard output
};
const RunMode kModes[] = {
    {{"-i", "input.dat", "-o", "output.png", "-nf", "-nd"}, "output.png", {"<read error>\n", "<出力エラー>\n"},
     "<result>\n", true, false},
    {{"-i", "input.dat", "-o", "output.png", "-nf", "-nd", "--json"}, "output.png",
     {"\"result\":\"failed\"", "\"result\":\"failed\""}, "\"result\":\"converted\"", true, false},
    {{"-n", "-i", "input.dat", "-o", "output.png", "-nf", "-nd"}, "output.png", {"<read error>\n", "<出力エラー>\n"},
     "<result>\n", false, false},
    {{"input.dat", "-nf", "-nd", "-j", "1"}, "input.png", {"\t<読込ｴﾗｰ>\n", "\t<失敗>\n"}, "BIT ", true, false},
};
constexpr size_t kModeCount = sizeof kModes / sizeof kModes[0];
const RunMode kPipedMode = {{"-i", "-", "-o", "-", "-nf", "-nd"}, "output.png", {"<read error>\n", "<出力エラー>\n"},
                            "<result>\n", true, true};

RunResult runConsole(const std::string& console, const RunMode& mode, const std::string& folder, double seconds)
{
    RunResult result;
    const std::string outputPath = folder + "/console.txt";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || chdir(folder.c_str()) != 0)
            _exit(125);
        const int in = open(mode.piped ? "input.dat" : "/dev/null", O_RDONLY);
        const int png = mode.piped ? open("output.png", O_WRONLY | O_CREAT | O_TRUNC, 0600) : out;
        if (in < 0 || png < 0)
            _exit(125);
        dup2(in, 0);
        dup2(png, 1);
        dup2(out, 2);
        struct rlimit limit = {kChildAddressSpace, kChildAddressSpace};
        setrlimit(RLIMIT_AS, &limit);
        std::vector<char*> argv = {const_cast<char*>(console.c_str())};
        for (const char* argument : mode.arguments)
            argv.push_back(const_cast<char*>(argument));
        argv.push_back(nullptr);
        execv(console.c_str(), argv.data());
        _exit(126);
    }
    if (child < 0) {
        result.status = -2;
        return result;
    }
    const double deadline = now() + seconds;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.timedOut = true;
            break;
        }
        struct timespec pause = {0, 2000000};
        nanosleep(&pause, nullptr);
    }
    if (!result.timedOut) {
        if (WIFSIGNALED(status))
            result.signal = WTERMSIG(status);
        else if (WIFEXITED(status))
            result.status = WEXITSTATUS(status);
    }
    const std::vector<uint8_t> text = readFileBytes(outputPath);
    result.output.assign(text.begin(), text.end());
    fs::remove(outputPath);
    return result;
}

bool contains(const std::string& text, const char* piece)
{
    return text.find(piece) != std::string::npos;
}

bool hasTemporaryFiles(const std::string& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".tlvtmp")
            return true;
    return false;
}

// Runs one damaged file and returns the failure kind, or "" when it passed
// (refused tells which way).
std::string judge(const std::string& console, const RunMode& mode, const std::string& folder,
                  const std::vector<uint8_t>& bytes, double seconds, bool& refused)
{
    const std::string input = folder + "/input.dat";
    const std::string output = folder + "/" + mode.output;
    fs::remove_all(folder);
    fs::create_directories(folder);
    writeFileBytes(input, bytes);
    const RunResult run = runConsole(console, mode, folder, seconds);
    if (run.timedOut)
        return "hangs";
    if (run.signal != 0)
        return "crashes";
    if (readFileBytes(input) != bytes)
        return "changed inputs";
    // Standard output goes to the output file, which is there from the start.
    const bool written = fs::exists(output) && (!mode.piped || fs::file_size(output) > 0);
    if (run.status == 1) {
        refused = true;
        if (!contains(run.output, mode.refusedTexts[0]) && !contains(run.output, mode.refusedTexts[1]))
            return "wrong messages";
        if (written || hasTemporaryFiles(folder))
            return "files written on failure";
        return std::string();
    }
    refused = false;
    if (mode.piped && run.status == 0 && contains(run.output, "<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n"))
        return readFileBytes(output) == bytes ? std::string() : "changed copies";
    if (run.status != 0 || !contains(run.output, mode.convertedText))
        return "wrong messages";
    if (hasTemporaryFiles(folder))
        return "files written on failure";
    if (!mode.writes)
        return written ? "files written by a test run" : std::string();
    if (!written)
        return "files written on failure";
    DibImage image;
    int32_t transparentColour = -1;
    if (!loadImageFile(image, input.c_str(), transparentColour))
        return "lossy outputs";   // converted a file the loader refuses
    const std::string difference = checkLosslessFile(output, image.bits, image.width, image.height,
                                                     image.hasAlpha != 0, transparentColour);
    return difference.empty() ? std::string() : "lossy outputs";
}

// A deterministic generator for the bit flips.
struct Random {
    uint64_t state;
    uint32_t next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    }
};

uint64_t nameSeed(const std::string& name)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// Lengths to cut a file of `size` bytes to: inside the signatures and the
// first headers, then spread evenly, then just short of the end.
std::vector<size_t> truncationLengths(size_t size)
{
    std::set<size_t> lengths = {0, 1, 7, 8, 13, 33, 54};
    for (size_t k = 1; k < 4; ++k)
        lengths.insert(size * k / 4);
    for (size_t back : {1})
        if (size > back)
            lengths.insert(size - back);
    std::vector<size_t> result;
    for (size_t length : lengths)
        if (length < size)
            result.push_back(length);
    return result;
}

enum Category { kCorrupt, kTruncated, kFlipped, kStandardInput, kCategories };
const char* const kCategoryNames[kCategories] = {"corrupt PNG suite files", "truncated", "bit-flipped",
                                                 "all of them on standard input"};

struct Item {
    Category category;
    std::string what;
    std::vector<uint8_t> bytes;
};

// Runs 0 .. items - 1 feed the items as files, runs items .. 2 items - 1 the
// same items on standard input.
size_t runCount(const std::vector<Item>& items)
{
    return items.size() * 2;
}

std::vector<Item> buildItems(const std::string& corpus)
{
    std::vector<Item> items;
    std::vector<Item> sources;
    for (const char* folder : {"pngsuite/png", "pngsuite/bmp", "gifsuite/gifs", "bench"}) {
        const std::string path = corpus + "/" + folder;
        for (const std::string& name : listFiles(path, "")) {
            Item item{kCorrupt, std::string(folder) + "/" + name, readFileBytes(path + "/" + name)};
            if (std::string(folder) == "pngsuite/png" && name[0] == 'x')
                items.push_back(item);
            else
                sources.push_back(item);
        }
    }
    if (items.empty() || sources.size() < 300)
        return std::vector<Item>();
    for (const Item& source : sources)
        for (size_t length : truncationLengths(source.bytes.size()))
            items.push_back({kTruncated, source.what + " cut to " + std::to_string(length),
                             std::vector<uint8_t>(source.bytes.begin(), source.bytes.begin() + long(length))});
    for (const Item& source : sources) {
        Random random{nameSeed(source.what)};
        const size_t size = source.bytes.size();
        // Single flips in the first 64 bytes (signatures, headers, tables), a
        // single flip anywhere, and a copy with eight flips anywhere.
        const size_t ranges[] = {64, 64, 64, size, size};
        const int flips[] = {1, 1, 1, 1, 8};
        for (int copy = 0; copy < 5; ++copy) {
            Item item{kFlipped, source.what + " with bits flipped at", source.bytes};
            for (int flip = 0; flip < flips[copy]; ++flip) {
                const size_t position = random.next() % std::min(ranges[copy], size);
                const int bit = int(random.next() % 8);
                item.bytes[position] ^= uint8_t(1u << bit);
                item.what += " " + std::to_string(position) + "." + std::to_string(bit);
            }
            items.push_back(item);
        }
    }
    return items;
}

// Judges runs worker, worker + workers, ... (runCount) and writes one line
// per run to resultPath: its index, 'R' (refused), 'C' (converted) or 'F'
// and the failure kind.
void runWorker(const std::vector<Item>& items, int worker, int workers, const std::string& console,
               const std::string& folder, double seconds, const std::string& resultPath)
{
    FILE* results = std::fopen(resultPath.c_str(), "w");
    if (results == nullptr)
        _exit(3);
    for (size_t i = size_t(worker); i < runCount(items); i += size_t(workers)) {
        bool refused = false;
        const RunMode& mode = i < items.size() ? kModes[i % kModeCount] : kPipedMode;
        const std::string failure = judge(console, mode, folder, items[i % items.size()].bytes, seconds, refused);
        if (!failure.empty())
            std::fprintf(results, "%zu F%s\n", i, failure.c_str());
        else
            std::fprintf(results, "%zu %c\n", i, refused ? 'R' : 'C');
        std::fflush(results);
    }
    std::fclose(results);
    _exit(0);
}

void report(const char* label, const Figures& f)
{
    std::printf("bad inputs (%s): files tried %d, refused %d, converted %d, failures %d", label, f.tried, f.refused,
                f.converted, f.failed());
    for (const auto& entry : f.failures)
        std::printf(", %s %d", entry.first.c_str(), entry.second);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CONSOLE CORPUS_DIR [SECONDS_PER_FILE] [WORKERS]\n", argv[0]);
        return 2;
    }
    const std::string console = fs::absolute(argv[1]).string();
    const std::string corpus = argv[2];
    const double seconds = argc > 3 ? std::atof(argv[3]) : 30.0;
    const int workers = argc > 4 ? std::max(1, std::atoi(argv[4])) : 2;

    const std::vector<Item> items = buildItems(corpus);
    if (items.empty()) {
        std::fprintf(stderr, "bad inputs: the corpus at %s is missing or incomplete\n", corpus.c_str());
        return 2;
    }

    // A memory file system keeps the thousands of short runs and their syncs fast.
    std::string scratch;
    const char* tmp = std::getenv("TMPDIR");
    for (const char* base : {"/dev/shm", tmp, "/tmp"}) {
        if (base == nullptr || *base == 0 || access(base, W_OK) != 0)
            continue;
        scratch = std::string(base) + "/tolvarinx-sweep-XXXXXX";
        if (mkdtemp(&scratch[0]) != nullptr)
            break;
        scratch.clear();
    }
    if (scratch.empty()) {
        std::fprintf(stderr, "bad inputs: no scratch folder\n");
        return 2;
    }

    const double started = now();
    std::vector<pid_t> children;
    for (int w = 0; w < workers; ++w) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0)
            runWorker(items, w, workers, console, scratch + "/run-" + std::to_string(w), seconds,
                      scratch + "/results-" + std::to_string(w));
        if (child > 0)
            children.push_back(child);
    }
    bool workersOk = true;
    for (pid_t child : children) {
        int status = 0;
        workersOk = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                    workersOk;
    }

    Figures figures[kCategories];
    Figures total;
    size_t judged = 0;
    for (int w = 0; w < workers; ++w) {
        FILE* results = std::fopen((scratch + "/results-" + std::to_string(w)).c_str(), "r");
        if (results == nullptr)
            continue;
        size_t index = 0;
        char outcome[64];
        while (std::fscanf(results, "%zu %63s", &index, outcome) == 2 && index < runCount(items)) {
            ++judged;
            const Item& item = items[index % items.size()];
            const Category category = index < items.size() ? item.category : kStandardInput;
            for (Figures* f : {&figures[category], &total}) {
                ++f->tried;
                if (outcome[0] == 'R')
                    ++f->refused;
                else if (outcome[0] == 'C')
                    ++f->converted;
                else
                    ++f->failures[outcome + 1];
            }
            if (outcome[0] == 'F') {
                const std::string keep = scratch + "/failure-" + std::to_string(index);
                writeFileBytes(keep, item.bytes);
                std::printf("FAILED (%s): %s%s (kept as %s)\n", outcome + 1, item.what.c_str(),
                            category == kStandardInput ? " on standard input" : "", keep.c_str());
            }
        }
        std::fclose(results);
    }
    if (!workersOk || judged != runCount(items)) {
        ++total.failures["runs not judged"];
        std::printf("bad inputs: %zu of %zu runs judged\n", judged, runCount(items));
    }

    for (int c = 0; c < kCategories; ++c)
        report(kCategoryNames[c], figures[c]);
    report("all", total);
    std::printf("bad inputs: %.0f s with %d workers\n", now() - started, workers);
    for (int w = 0; w < workers; ++w)
        fs::remove_all(scratch + "/run-" + std::to_string(w));
    if (total.failed() == 0)
        fs::remove_all(scratch);
    return total.failed() == 0 ? 0 : 1;
}
