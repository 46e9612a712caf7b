#pragma once
// The walk of a folder conversion, shared by the desktop program's folder run
// and the console's folder mode: a FolderFileList turned into jobs, one per
// listed file, with its input and output paths and the earlier jobs it must
// wait for, the output tree mirroring the input tree on the way.
//
// The path functions are pure; a FolderWalk is used by one thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/text_string.h"

class FolderFileList;

// Marks a job that waits for no earlier one.
constexpr size_t kNoEarlierJob = static_cast<size_t>(-1);
// A job waits for at most this many earlier ones: the last to use its input
// path and the last to use its output path.
constexpr int kMaxJobWaits = 2;

// One listed file. waitFor holds the indexes (in walk order) of the last
// earlier jobs to use its input and its output path: run after them, it
// writes what a run of one file at a time writes.
struct FolderJob {
    TextString name;         // the file's name in its folder, as listed
    TextString shownName;    // its path below the input root
    TextString inputPath;
    TextString outputPath;
    size_t waitFor[kMaxJobWaits] = {kNoEarlierJob, kNoEarlierJob};
    // The program chose outputPath (OUTPUT_DERIVED_NAME), and whether another
    // job of the run chose the same (OUTPUT_SHARED_NAME).
    bool derivedOutput = true;
    bool sharedOutput = false;
};

// Counts the jobs of a run that derive each output name, so that every job
// whose name another one derives too can be told (paths compared as JobOrder
// compares them). Used by one thread.
class OutputNameCount {
public:
    void clear() { uses_.clear(); }
    void add(const char* outputPath);
    bool isShared(const char* outputPath) const;

private:
    std::unordered_map<std::string, int> uses_;
};

// Orders jobs handed out one after another: each job waits for the last
// earlier one to use its input path and the last to use its output path
// (paths compared as the output rules compare names, ASCII case folded).
// Used by one thread.
class JobOrder {
public:
    // Forgets every job handed out.
    void clear();
    // Sets job.waitFor from job's paths and counts job as the next one.
    void add(FolderJob& job);

private:
    size_t jobs_ = 0;   // jobs handed out
    // The last job to use each path, under its pathKey.
    std::unordered_map<std::string, size_t> lastUse_;
};

class FolderWalk {
public:
    FolderWalk() = default;
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // Starts a walk from the roots (copied), forgetting any earlier one.
    void start(const char* inputRoot, const char* outputRoot);
    // Reads list from its read position to its end once, counting the output
    // names its files derive, and puts the read position back; next() then
    // marks the jobs whose output name another listed file derives too.
    void planOutputs(FolderFileList& list);

    // Whether next() makes the mirrored output folders (by default it does; a
    // test run, which writes nothing, turns it off). Kept by start().
    void setMakeFolders(bool make) { makeFolders_ = make; }
    // False when the roots are one folder: the outputs go beside their inputs.
    bool separateOutput() const { return separate_; }
    // Reads list on to its next file and fills job with it; false (job
    // untouched) at the end of the list. Each folder the list enters or
    // leaves on the way becomes the current one, and a folder entered gets
    // its mirror under the output root made when the output tree is separate
    // (one that cannot be made is not reported: the conversions into it fail
    // and say so).
    bool next(FolderFileList& list, FolderJob& job);

private:
    // next() without the job order and the shared-name mark.
    bool nextPaths(FolderFileList& list, FolderJob& job);

    TextString inputRoot_;
    TextString outputRoot_;
    TextString inputFolder_;
    TextString outputFolder_;
    TextString item_;
    bool separate_ = false;
    bool makeFolders_ = true;
    JobOrder order_;
    OutputNameCount outputNames_;
};

// True when a and b are the same text without regard to case (the output
// tree is then the input tree).
bool isSameFolderText(const char* a, const char* b);
// out = outputRoot followed by what path has beyond its first rootLength
// bytes (the output tree mirrors the input tree; for the root itself nothing).
void mirrorFolder(TextString& out, const char* outputRoot, const char* path, int rootLength);
// out = folder + separator + name with the text after the name's last '.'
// replaced by "png" (photo.BMP becomes photo.png).
void folderOutputPath(TextString& out, const char* folder, const char* name);
