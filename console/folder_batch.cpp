#include "console/folder_batch.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/command_line_scanner.h"
#include "console/console_switches.h"
#include "console/report_text.h"
#include "core/codepage.h"
#include "core/file_handle.h"
#include "core/folder_file_list.h"
#include "core/folder_scan.h"
#include "core/path_text.h"
#include "core/ui_text.h"
#include "engine/trial_runner.h"
#include "engine/worker_pool.h"
#include "services/folder_text.h"
#include "services/folder_walk.h"
#include "services/worker_threads.h"

namespace {

constexpr uint16_t kAllFileTypes = FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF;

void print(FILE* out, const char* text)
{
    std::fputs(text, out);
}

// A message of the catalogue that ends its line; with the path it names, if any.
void printMessage(FILE* out, Msg message, const char* path = nullptr)
{
    if (path)
        std::fprintf(out, uiText(message), path);
    else
        print(out, uiText(message));
    std::fflush(out);
}

// A root as typed, without trailing separators (a lone separator stays).
void normaliseRoot(TextString& root)
{
    std::string text = root.c_str();
    while (text.size() > 1 && (text.back() == '/' || text.back() == kPathSeparator))
        text.pop_back();
    root.assign(text.c_str());
}

struct BatchFile {
    FolderJob job;
    FileReport report;       // written by the worker that converts the file, read after `done`
    bool done = false;
};

// The files, the threads that convert them and what the printer waits on.
class BatchRun {
public:
    BatchRun(std::deque<BatchFile>& files, const ConversionSettings& settings)
        : files_(files), settings_(settings)
    {
    }

    // Starts up to `jobs` threads; when none can be started, converts every
    // file on the calling thread before it returns.
    void start(unsigned jobs)
    {
        const size_t count = std::min<size_t>(jobs, files_.size());
        for (size_t i = 0; i < count; ++i) {
            try {
                threads_.emplace_back(&BatchRun::work, this);
            } catch (...) {
                break;   // fewer threads: the rest of the files still get done
            }
        }
        if (threads_.empty())
            work();
    }

    void join()
    {
        for (std::thread& thread : threads_)
            thread.join();
    }

    // Waits until file index is done; meanwhile calls onProgress after every
    // file that finishes, and once more at the end (outside the lock).
    template <typename Progress>
    void waitFor(size_t index, Progress onProgress)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!files_[index].done) {
            const size_t seen = finished_;
            changed_.wait(lock, [&] { return files_[index].done || finished_ != seen; });
            const size_t finished = finished_;
            const int64_t saved = saved_;
            lock.unlock();
            onProgress(finished, saved);
            lock.lock();
        }
        // Files that finished while nobody waited are shown too.
        const size_t finished = finished_;
        const int64_t saved = saved_;
        lock.unlock();
        onProgress(finished, saved);
    }

private:
    void work()
    {
        PngOptimizer optimizer;
        ImageConversion conversion;
        for (;;) {
            size_t index;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (next_ >= files_.size())
                    return;
                index = next_++;
                // The files waited for were taken earlier, so they are under
                // way on other threads and finish without this one.
                changed_.wait(lock, [&] { return ready(index); });
            }
            convertOne(optimizer, conversion, files_[index]);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                const ConversionReport& report = files_[index].report.conversion;
                files_[index].done = true;
                ++finished_;
                if (report.status == ConversionStatus::Converted)
                    saved_ -= report.sizeChange();
            }
            changed_.notify_all();
        }
    }

    // A large image waits until nothing else converts and keeps others out
    // while it runs; a small one waits while a large one runs or waits. Files
    // wait for their earlier files before they load, so a waiting large image
    // never waits for a file that in turn waits for it.
    void enterConversion(bool alone)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (alone) {
            ++aloneWaiting_;
            changed_.wait(lock, [&] { return converting_ == 0 && !aloneRunning_; });
            --aloneWaiting_;
            aloneRunning_ = true;
        } else {
            changed_.wait(lock, [&] { return !aloneRunning_ && aloneWaiting_ == 0; });
        }
        ++converting_;
    }

    void leaveConversion(bool alone)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --converting_;
            if (alone)
                aloneRunning_ = false;
        }
        changed_.notify_all();
    }

    bool ready(size_t index) const
    {
        for (const size_t earlier : files_[index].job.waitFor) {
            if (earlier != kNoEarlierJob && !files_[earlier].done)
                return false;
        }
        return true;
    }

    void convertOne(PngOptimizer& optimizer, ImageConversion& conversion, BatchFile& file)
    {
        FileReport& report = file.report;
        if (conversion.loadFile(file.job.inputPath.c_str(), settings_.options)) {
            const bool alone = conversion.pixelCount() >= kWholeMachinePixels;
            ConversionOutput output;
            output.path = file.job.outputPath.c_str();
            output.derivedName = file.job.derivedOutput;
            output.sharedName = file.job.sharedOutput;
            enterConversion(alone);
            conversion.convert(optimizer, output, settings_);
            leaveConversion(alone);
        }
        report.conversion = conversion.report();
        // The dialog's columns, tab-separated; a cell the dialog leaves empty stays empty.
        report.line.assign(reportName(file.job.shownName.c_str()).c_str());
        TextString cell;
        for (int column = FOLDER_COLUMN_SOURCE_SIZE; column < kFolderColumnCount; ++column) {
            report.line.appendChar('\t');
            if (folderCellText(cell, column, report.conversion))
                report.line.append(cell.c_str());
        }
    }

    std::deque<BatchFile>& files_;
    const ConversionSettings& settings_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;       // the next file a thread takes
    size_t finished_ = 0;   // files done
    int64_t saved_ = 0;     // input minus output bytes of the converted files done
    unsigned converting_ = 0;     // files between enterConversion and leaveConversion
    unsigned aloneWaiting_ = 0;   // large images waiting to convert alone
    bool aloneRunning_ = false;   // a large image is converting
};

// The line redrawn in place on a terminal: "[done/total] saved N bytes".
class ProgressLine {
public:
    ProgressLine(FILE* out, bool live) : out_(out), live_(live) {}

    void show(size_t finished, size_t total, int64_t saved)
    {
        finished_ = finished;
        total_ = total;
        saved_ = saved;
        redraw();
    }
    // Shows the last counts again (after a report line took the line's place).
    void redraw()
    {
        if (!live_)
            return;
        char text[96];
        text[0] = '\r';
        std::snprintf(text + 1, sizeof text - 1, uiText(Msg::BatchProgress), static_cast<unsigned>(finished_),
                      static_cast<unsigned>(total_), static_cast<long long>(saved_));
        const size_t length = std::strlen(text) - 1;
        print(out_, text);
        for (size_t i = length; i < width_; ++i)
            std::fputc(' ', out_);
        width_ = length > width_ ? length : width_;
        std::fflush(out_);
    }
    // Blanks the line so that a report line can take its place.
    void clear()
    {
        if (!live_ || width_ == 0)
            return;
        std::fputc('\r', out_);
        for (size_t i = 0; i < width_; ++i)
            std::fputc(' ', out_);
        std::fputc('\r', out_);
        width_ = 0;
    }

private:
    FILE* out_;
    bool live_;
    size_t width_ = 0;   // characters of the line shown, without the '\r'
    size_t finished_ = 0;
    size_t total_ = 0;
    int64_t saved_ = 0;
};

}  // namespace

bool parseFileTypes(const char* text, uint16_t& typeMask)
{
    static const struct {
        const char* name;
        uint16_t bit;
    } kTypes[] = {{"bmp", FOLDER_TYPE_BMP}, {"png", FOLDER_TYPE_PNG}, {"gif", FOLDER_TYPE_GIF}};
    uint16_t mask = 0;
    const char* p = text;
    for (;;) {
        const char* comma = std::strchr(p, ',');
        const std::string word(p, comma != nullptr ? static_cast<size_t>(comma - p) : std::strlen(p));
        uint16_t bit = 0;
        for (const auto& type : kTypes) {
            if (TextString(word.c_str()).compareNoCase(type.name) == 0)
                bit = type.bit;
        }
        if (bit == 0)
            return false;
        mask |= bit;
        if (comma == nullptr)
            break;
        p = comma + 1;
    }
    typeMask = mask;
    return true;
}

bool readFolderOptions(const CommandLineScanner& scanner, uint16_t runFlags, FolderBatchOptions& options,
                       FILE* out)
{
    scanner.getValue("d", options.inputRoot, "");
    if (options.inputRoot.isEmpty()) {
        printMessage(out, Msg::ErrorNoInputFolder);
        return false;
    }
    normaliseRoot(options.inputRoot);
    if (!isDirectory(options.inputRoot.c_str())) {
        printMessage(out, fileExists(options.inputRoot.c_str()) ? Msg::ErrorNotFolder : Msg::ErrorFolderMissing,
                     displayPath(options.inputRoot.c_str()).c_str());
        return false;
    }
    if (!scanner.getValue("od", options.outputRoot, "") && scanner.hasSwitch("od")) {
        printMessage(out, Msg::ErrorNoOutputFolder);
        return false;
    }
    if (options.outputRoot.isEmpty())
        options.outputRoot.assign(options.inputRoot.c_str());
    normaliseRoot(options.outputRoot);

    options.subfolders = scanner.hasSwitch("r");
    options.typeMask = kAllFileTypes;
    TextString text;
    if (scanner.hasSwitch("t") && (!scanner.find("t", &text) || !parseFileTypes(text.c_str(), options.typeMask))) {
        printMessage(out, Msg::ErrorFileTypes);
        return false;
    }
    return readBatchSettings(scanner, runFlags, options, out);
}

namespace {

// Converts the files and prints the report. Returns the exit status.
int runBatch(std::deque<BatchFile>& files, const BatchSettings& settings, FILE* out, bool liveProgress)
{
    const ReportStyle style = settings.style;
    const bool testRun = settings.file.testRun;
    if (settings.engineThreads)
        setWorkerThreadCount(settings.engineThreads);
    BatchRun run(files, settings.file);
    // The progress line shares the stream with the report: only beside the text report.
    ProgressLine progress(out, liveProgress && style == ReportStyle::Text);
    progress.show(0, files.size(), 0);
    run.start(settings.jobs);

    BatchTally tally;
    for (size_t i = 0; i < files.size(); ++i) {
        run.waitFor(i, [&](size_t finished, int64_t saved) { progress.show(finished, files.size(), saved); });
        const BatchFile& file = files[i];
        tally.add(file.report);
        progress.clear();
        printFileReport(out, style, file.job, file.report, testRun);
        progress.redraw();
    }
    run.join();
    progress.clear();
    printSummary(out, style, tally, testRun);
    return tally.failed == 0 ? CONSOLE_EXIT_SUCCESS : CONSOLE_EXIT_FAILURE;
}

// path without "./" steps and doubled separators, so that two spellings of
// one path share their place in the job order. Steps by whole characters: a
// trail byte is never a separator.
std::string tidyPath(const std::string& path);

// A file list entry's output as "-i" derives it: the input with the
// extension png (without an extension, the input itself).
std::string derivedOutputPath(const FileListEntry& entry)
{
    TextString output(entry.input.c_str());
    output.replaceExtension("png");
    return output.c_str();
}

std::string tidyPath(const std::string& path)
{
    const auto isSeparator = [](const char* p) { return *p == '/' || *p == kPathSeparator; };
    std::string tidy;
    const char* p = path.c_str();
    // Leading separators (a root, a network share) stay as they are.
    while (isSeparator(p))
        tidy += *p++;
    bool stepStart = true;   // at the start of a folder or file name
    while (*p != 0) {
        const char* next = nextChar(p);
        if (isSeparator(p) && stepStart) {
            p = next;   // a doubled separator
        } else if (*p == '.' && stepStart && isSeparator(next)) {
            p = nextChar(next);   // "./"
        } else {
            stepStart = isSeparator(p);
            tidy.append(p, static_cast<size_t>(next - p));
            p = next;
        }
    }
    return tidy.empty() ? path : tidy;
}

}  // namespace

bool readBatchSettings(const CommandLineScanner& scanner, uint16_t runFlags, BatchSettings& settings, FILE* out)
{
    settings.jobs = std::thread::hardware_concurrency();
    if (settings.jobs == 0)
        settings.jobs = 1;
    long jobs = settings.jobs;
    if (!readBoundedNumber(scanner, "j", 1, long(kMaxWorkers), jobs, out))
        return false;
    settings.jobs = static_cast<unsigned>(jobs);
    // "-j" is the run's whole thread budget: the engine's workers too, unless the environment overrides it.
    settings.engineThreads = scanner.hasSwitch("j") && workerThreadsFromEnvironment() == 0 ? settings.jobs : 0;
    settings.file = settingsOfRunFlags(runFlags);
    if (!readExtendedIterations(scanner, settings.file.extendedIterations, out) ||
        !readKeptChunkList(scanner, settings.file.keepChunks, out))
        return false;
    settings.file.keepTransparent = scanner.hasSwitch("kt");
    settings.style = reportStyleOf(runFlags);
    return true;
}

int runFileList(const std::vector<FileListEntry>& entries, const BatchSettings& settings, FILE* out,
                bool liveProgress)
{
    std::deque<BatchFile> files;
    JobOrder order;
    OutputNameCount derivedNames;
    for (const FileListEntry& entry : entries) {
        if (entry.output.empty())
            derivedNames.add(tidyPath(derivedOutputPath(entry)).c_str());
    }
    for (const FileListEntry& entry : entries) {
        files.emplace_back();
        FolderJob& job = files.back().job;
        const std::string output = entry.output.empty() ? derivedOutputPath(entry) : entry.output;
        job.derivedOutput = entry.output.empty();
        job.sharedOutput = job.derivedOutput && derivedNames.isShared(tidyPath(output).c_str());
        // The order goes by the tidied paths; the conversion and the report use them as given.
        job.inputPath.assign(tidyPath(entry.input).c_str());
        job.outputPath.assign(tidyPath(output).c_str());
        order.add(job);
        job.name.assign(entry.input.c_str());
        job.shownName.assign(entry.input.c_str());
        job.inputPath.assign(entry.input.c_str());
        job.outputPath.assign(output.c_str());
    }
    return runBatch(files, settings, out, liveProgress);
}

int runFolderBatch(const FolderBatchOptions& options, FILE* out, bool liveProgress)
{
    FolderWalk walk;
    walk.start(options.inputRoot.c_str(), options.outputRoot.c_str());
    const char* outputRoot = options.outputRoot.c_str();
    // A test run makes no folder: a missing output folder is where the outputs would go.
    const bool testRun = options.file.testRun;
    walk.setMakeFolders(!testRun);
    const bool missingInTestRun = testRun && walk.separateOutput() && !fileExists(outputRoot);
    // With the JSON report the report stream carries nothing but JSON.
    FILE* messages = options.style == ReportStyle::Json ? stderr : out;
    if (walk.separateOutput() && !testRun && !fileExists(outputRoot) && !createFolder(outputRoot)) {
        printMessage(messages, Msg::ErrorCannotCreateFolder, displayPath(outputRoot).c_str());
        return CONSOLE_EXIT_FAILURE;
    }
    if (!missingInTestRun && !isDirectory(outputRoot)) {
        printMessage(messages, Msg::ErrorNotFolder, displayPath(outputRoot).c_str());
        return CONSOLE_EXIT_FAILURE;
    }

    FolderFileList list;
    if (!list.build(options.inputRoot.c_str(), options.typeMask, options.subfolders,
                    walk.separateOutput() ? outputRoot : nullptr)) {
        printMessage(messages, Msg::ErrorOutOfMemory);
        return CONSOLE_EXIT_FAILURE;
    }
    walk.planOutputs(list);
    std::deque<BatchFile> files;
    for (;;) {
        files.emplace_back();
        if (!walk.next(list, files.back().job)) {
            files.pop_back();
            break;
        }
    }
    BatchSettings settings = options;
    // Outputs that replace their inputs are the only copy left: no pixel may change there.
    if (!walk.separateOutput() && !settings.file.keepTransparent) {
        settings.file.keepTransparent = true;
        if (settings.style == ReportStyle::Text) {
            print(out, uiText(Msg::FolderInPlaceTransparency));
            print(out, "\n");
            std::fflush(out);
        }
    }
    return runBatch(files, settings, out, liveProgress);
}
