// tolvarinx_bad_input_sweep: feeds damaged image files through the console
// converter and counts every outcome.
//
// Inputs: every corrupt file of the PNG suite (x*.png) as it is, truncations
// of every corpus file at many lengths, and bit-flipped copies of every corpus
// file. Each is converted in a folder of its own:
//     tolvarinxc -i <folder>/input.dat -o <folder>/output.png -nf -nd
// (the neutral extension makes the converter write whatever it produces, so
// that every accepted input is checked through its output). A run passes when
// either
//   - it refuses the file: exit status 1, "<read error>" or "<出力エラー>"
//     printed, no output file and no temporary file written; or
//   - it converts the file: exit status 0, "<result>" printed, and libpng
//     decodes the output to exactly the picture the loader makes of the input
//     (a damaged file may still be a valid image: a PNG whose data ends early
//     loads with zeros, a flipped pixel byte of a BMP is another pixel).
// Anything else is a failure: a crash (a signal), a hang (over the time limit),
// another exit status or message, a file written by a failed run, a lossy
// output, or a changed input. The child's address space is limited, so that
// files claiming huge pictures meet a refusing heap instead of the machine's.
//
// Usage: tolvarinx_bad_input_sweep CONSOLE CORPUS_DIR [SECONDS_PER_FILE]
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

RunResult runConsole(const std::string& console, const std::string& folder, double seconds)
{
    RunResult result;
    const std::string outputPath = folder + "/console.txt";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || chdir(folder.c_str()) != 0)
            _exit(125);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        struct rlimit limit = {kChildAddressSpace, kChildAddressSpace};
        setrlimit(RLIMIT_AS, &limit);
        execl(console.c_str(), console.c_str(), "-i", "input.dat", "-o", "output.png", "-nf", "-nd",
              static_cast<char*>(nullptr));
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
std::string judge(const std::string& console, const std::string& folder, const std::vector<uint8_t>& bytes,
                  double seconds, bool& refused)
{
    const std::string input = folder + "/input.dat";
    const std::string output = folder + "/output.png";
    fs::remove_all(folder);
    fs::create_directories(folder);
    writeFileBytes(input, bytes);
    const RunResult run = runConsole(console, folder, seconds);
    if (run.timedOut)
        return "hangs";
    if (run.signal != 0)
        return "crashes";
    if (readFileBytes(input) != bytes)
        return "changed inputs";
    const bool written = fs::exists(output);
    if (run.status == 1) {
        refused = true;
        if (!contains(run.output, "<read error>\n") && !contains(run.output, "<出力エラー>\n"))
            return "wrong messages";
        if (written || hasTemporaryFiles(folder))
            return "files written on failure";
        return std::string();
    }
    if (run.status != 0 || !contains(run.output, "<result>\n"))
        return "wrong messages";
    refused = false;
    if (!written || hasTemporaryFiles(folder))
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

// Lengths to cut a file of `size` bytes to: the first bytes byte by byte
// around the signatures and headers, then evenly spread, then just short of
// the end.
std::vector<size_t> truncationLengths(size_t size, bool large)
{
    std::set<size_t> lengths = {0, 1, 2, 3, 6, 7, 8, 9, 12, 16, 20, 26, 29, 33, 41, 54, 64, 100};
    const size_t parts = large ? 6 : 10;
    for (size_t k = 1; k < parts; ++k)
        lengths.insert(size * k / parts);
    for (size_t back : {1, 4, 12, 13})
        if (size > back)
            lengths.insert(size - back);
    std::vector<size_t> result;
    for (size_t length : lengths)
        if (length < size)
            result.push_back(length);
    return result;
}

struct Sample {
    std::string name;
    std::vector<uint8_t> bytes;
};

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
        std::fprintf(stderr, "usage: %s CONSOLE CORPUS_DIR [SECONDS_PER_FILE]\n", argv[0]);
        return 2;
    }
    const std::string console = fs::absolute(argv[1]).string();
    const std::string corpus = argv[2];
    const double seconds = argc > 3 ? std::atof(argv[3]) : 30.0;

    std::vector<Sample> corrupt;
    std::vector<Sample> sources;
    const char* folders[] = {"pngsuite/png", "pngsuite/bmp", "gifsuite/gifs", "bench"};
    for (const char* folder : folders) {
        const std::string path = corpus + "/" + folder;
        for (const std::string& name : listFiles(path, "")) {
            Sample sample{std::string(folder) + "/" + name, readFileBytes(path + "/" + name)};
            if (std::string(folder) == "pngsuite/png" && name[0] == 'x')
                corrupt.push_back(sample);
            else
                sources.push_back(sample);
        }
    }
    if (corrupt.empty() || sources.size() < 300) {
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
    const std::string folder = scratch + "/run";

    Figures corruptFigures;
    Figures truncatedFigures;
    Figures flippedFigures;
    auto tryOne = [&](Figures& figures, const std::string& what, const std::vector<uint8_t>& bytes) {
        bool refused = false;
        const std::string failure = judge(console, folder, bytes, seconds, refused);
        ++figures.tried;
        if (!failure.empty()) {
            ++figures.failures[failure];
            std::printf("FAILED (%s): %s\n", failure.c_str(), what.c_str());
            std::fflush(stdout);
            const std::string keep = scratch + "/failure-" + std::to_string(figures.tried);
            writeFileBytes(keep, bytes);
        } else if (refused) {
            ++figures.refused;
        } else {
            ++figures.converted;
        }
    };

    for (const Sample& sample : corrupt)
        tryOne(corruptFigures, sample.name, sample.bytes);

    for (const Sample& sample : sources) {
        const bool large = sample.bytes.size() > 100000;
        for (size_t length : truncationLengths(sample.bytes.size(), large))
            tryOne(truncatedFigures, sample.name + " cut to " + std::to_string(length),
                   std::vector<uint8_t>(sample.bytes.begin(), sample.bytes.begin() + long(length)));
    }

    for (const Sample& sample : sources) {
        Random random{nameSeed(sample.name)};
        const size_t size = sample.bytes.size();
        // Single flips in the first 64 bytes (signatures, headers, tables),
        // single flips anywhere, and copies with eight flips anywhere.
        const int copies[] = {4, 3, 2};
        const int flipsPerCopy[] = {1, 1, 8};
        for (int kind = 0; kind < 3; ++kind) {
            for (int copy = 0; copy < copies[kind]; ++copy) {
                std::vector<uint8_t> bytes = sample.bytes;
                std::string what = sample.name + " with bits flipped at";
                for (int flip = 0; flip < flipsPerCopy[kind]; ++flip) {
                    const size_t range = kind == 0 ? std::min<size_t>(64, size) : size;
                    const size_t position = random.next() % range;
                    const int bit = int(random.next() % 8);
                    bytes[position] ^= uint8_t(1u << bit);
                    what += " " + std::to_string(position) + "." + std::to_string(bit);
                }
                tryOne(flippedFigures, what, bytes);
            }
        }
    }

    report("corrupt PNG suite files", corruptFigures);
    report("truncated", truncatedFigures);
    report("bit-flipped", flippedFigures);
    Figures total;
    for (const Figures* f : {&corruptFigures, &truncatedFigures, &flippedFigures}) {
        total.tried += f->tried;
        total.refused += f->refused;
        total.converted += f->converted;
        for (const auto& entry : f->failures)
            total.failures[entry.first] += entry.second;
    }
    report("all", total);
    if (total.failed() == 0)
        fs::remove_all(scratch);
    else
        std::printf("bad inputs: the failing files are kept in %s\n", scratch.c_str());
    return total.failed() == 0 ? 0 : 1;
}
