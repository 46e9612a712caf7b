#pragma once
// Helpers for the folder conversion tests: small BMP, PNG and GIF files
// written from known pixels, a decoder for the PNG files the run writes, and
// a view that records what the run shows, kept as a results list would be.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/logic/folder_run.h"
#include "services/folder_text.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/picture_compare.h"
#include "tests/common/test_support.h"

using Bytes = std::vector<uint8_t>;

// A picture of w x h with up to `colours` distinct opaque colours (at least
// 2), different for each seed; alpha varies too when withAlpha.
RgbaImage testPicture(uint32_t w, uint32_t h, uint32_t colours, uint32_t seed, bool withAlpha = false);

// A GIF89a of indices (w x h, rows from the top) with a global table of
// palette colours (0x00RRGGBB, at most 256) and, when transparentIndex >= 0,
// a graphic control extension naming it. The image data uses 9-bit codes only.
Bytes encodeGif(uint32_t w, uint32_t h, const std::vector<uint8_t>& indices, const std::vector<uint32_t>& palette,
                int transparentIndex);

// Decodes a PNG file the run wrote to 8-bit RGBA (tRNS applied as alpha):
// with libpng on POSIX, with the program's own loader on Windows.
bool decodeOutputPng(const std::string& path, RgbaImage& out);

// Writes bytes as a hidden file in folder: on POSIX its name gets a leading
// '.', on Windows the hidden attribute. Returns the file's name.
std::string writeHiddenFile(const std::string& folder, const std::string& name, const Bytes& bytes);

// The same folder typed differently where the platform allows it (another
// case of its last letters on Windows); on POSIX, where case makes another
// folder, the path itself.
std::string otherSpellingOfFolder(const std::string& path);

// Creates folder (and its parents); fails the test when it cannot.
void makeFolder(const std::string& path);
// folder + separator + name.
std::string joined(const std::string& folder, const std::string& name);

// Last-write time of a file as the platform reports it (0 when unreadable).
uint64_t lastWriteTime(const std::string& path);
// Sets a file's three times to t (100-ns units since 1601).
bool setAllTimes(const std::string& path, uint64_t t);

// One row of the recorded results list.
struct RecordedRow {
    std::string cells[kFolderColumnCount];
};

// Records the run's output, keeping the rows as a results list would: rows
// inserted at the top, deleteRow removing one by index.
class RecordingView : public FolderRunView {
public:
    int insertTopRow(const char* name) override;
    void deleteRow(int index) override;
    void setTopRowCell(int column, const char* text) override;
    void stepProgress() override;
    void setStatus(const char* text) override { statuses.push_back(text); }

    // The row of the file called name, or null.
    const RecordedRow* rowOf(const std::string& name) const;

    std::deque<RecordedRow> rows;
    int steps = 0;
    int insertedRows = 0;
    std::vector<std::string> statuses;
    // Test hooks: after a row is inserted (with its name), after a step.
    std::function<void(const char*)> onInsert;
    std::function<void()> onStep;
};

