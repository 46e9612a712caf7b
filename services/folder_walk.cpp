#include "services/folder_walk.h"

#include <cstring>

#include "core/codepage.h"
#include "core/file_handle.h"
#include "core/folder_file_list.h"
#include "core/folder_scan.h"

namespace {

// The key under which two paths count as one: ASCII letters folded, as the
// name comparison of the output rules folds them. Folding bytes that are not
// letters of their own (trail bytes) only makes more paths share a key,
// which costs order, never correctness.
std::string pathKey(const char* path)
{
    std::string key = path;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

}  // namespace

void FolderWalk::start(const char* inputRoot, const char* outputRoot)
{
    inputRoot_.assign(inputRoot);
    outputRoot_.assign(outputRoot);
    inputFolder_.assign(inputRoot);
    outputFolder_.assign(outputRoot);
    // Two names of one folder are one folder: its outputs replace their inputs.
    separate_ = !isSameFolderText(inputRoot, outputRoot) && !isSameFile(inputRoot, outputRoot);
    order_.clear();
    outputNames_.clear();
}

void FolderWalk::planOutputs(FolderFileList& list)
{
    const uint32_t position = list.readPosition;
    const TextString inputFolder(inputFolder_.c_str());
    const TextString outputFolder(outputFolder_.c_str());
    const bool makeFolders = makeFolders_;
    makeFolders_ = false;
    FolderJob job;
    while (nextPaths(list, job))
        outputNames_.add(job.outputPath.c_str());
    makeFolders_ = makeFolders;
    list.readPosition = position;
    inputFolder_.assign(inputFolder.c_str());
    outputFolder_.assign(outputFolder.c_str());
}

void OutputNameCount::add(const char* outputPath)
{
    ++uses_[pathKey(outputPath)];
}

bool OutputNameCount::isShared(const char* outputPath) const
{
    const auto found = uses_.find(pathKey(outputPath));
    return found != uses_.end() && found->second > 1;
}

void JobOrder::clear()
{
    jobs_ = 0;
    lastUse_.clear();
}

void JobOrder::add(FolderJob& job)
{
    const std::string keys[kMaxJobWaits] = {pathKey(job.inputPath.c_str()), pathKey(job.outputPath.c_str())};
    for (int k = 0; k < kMaxJobWaits; ++k) {
        const auto found = lastUse_.find(keys[k]);
        job.waitFor[k] = found != lastUse_.end() ? found->second : kNoEarlierJob;
    }
    for (const std::string& key : keys)
        lastUse_[key] = jobs_;
    ++jobs_;
}

bool FolderWalk::next(FolderFileList& list, FolderJob& job)
{
    if (!nextPaths(list, job))
        return false;
    job.derivedOutput = true;
    job.sharedOutput = outputNames_.isShared(job.outputPath.c_str());
    order_.add(job);
    return true;
}

bool FolderWalk::nextPaths(FolderFileList& list, FolderJob& job)
{
    for (;;) {
        const uint8_t kind = list.nextItem(item_);
        if (kind == ITEM_END)
            return false;
        if (kind == ITEM_ENTER_FOLDER || kind == ITEM_LEAVE_FOLDER) {
            inputFolder_.assign(item_.c_str());
            mirrorFolder(outputFolder_, outputRoot_.c_str(), item_.c_str(), inputRoot_.length());
            if (kind == ITEM_ENTER_FOLDER && separate_ && makeFolders_ && !fileExists(outputFolder_.c_str()))
                createFolder(outputFolder_.c_str());
            continue;
        }
        if (kind != ITEM_FILE)
            continue;
        job.name.assign(item_.c_str());
        job.inputPath.assign(inputFolder_.c_str());
        job.inputPath.appendChar(kPathSeparator);
        job.inputPath.append(item_.c_str());
        folderOutputPath(job.outputPath, outputFolder_.c_str(), item_.c_str());
        const char* below = job.inputPath.c_str() + inputRoot_.length();
        while (*below == kPathSeparator)
            ++below;
        job.shownName.assign(below);
        return true;
    }
}

bool isSameFolderText(const char* a, const char* b)
{
    return TextString(a).compareNoCase(b) == 0;
}

void mirrorFolder(TextString& out, const char* outputRoot, const char* path, int rootLength)
{
    out.assign(outputRoot);
    if (rootLength >= 0 && std::strlen(path) > static_cast<size_t>(rootLength))
        out.append(path + rootLength);
}

void folderOutputPath(TextString& out, const char* folder, const char* name)
{
    out.assign(folder);
    out.appendChar(kPathSeparator);
    out.append(name);
    out.replaceExtension("png");
}
