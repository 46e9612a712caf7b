#include "tests/app/folder_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/codepage.h"
#include "core/file_handle.h"

namespace {

// LSB-first bit packing of GIF codes.
class CodeWriter {
public:
    void write(uint32_t code, int bits)
    {
        accumulator_ |= code << used_;
        used_ += bits;
        while (used_ >= 8) {
            bytes.push_back(uint8_t(accumulator_));
            accumulator_ >>= 8;
            used_ -= 8;
        }
    }
    void flush()
    {
        if (used_ > 0)
            bytes.push_back(uint8_t(accumulator_));
        accumulator_ = 0;
        used_ = 0;
    }
    Bytes bytes;

private:
    uint32_t accumulator_ = 0;
    int used_ = 0;
};

}  // namespace

RgbaImage testPicture(uint32_t w, uint32_t h, uint32_t colours, uint32_t seed, bool withAlpha)
{
    RgbaImage picture;
    picture.width = w;
    picture.height = h;
    picture.pixels.resize(size_t(w) * h * 4);
    const uint32_t count = colours < 2 ? 2 : colours;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t k = (x * 7 + y * 13 + seed * 3 + (x * y) % 5) % count;
            uint8_t* p = &picture.pixels[(size_t(y) * w + x) * 4];
            p[0] = uint8_t(k * 37 + seed * 11);
            p[1] = uint8_t(k * 91 + 5);
            p[2] = uint8_t(k * 53 + seed * 29);
            p[3] = withAlpha ? uint8_t(255 - (k * 17) % 256) : 255;
        }
    }
    return picture;
}

Bytes encodeGif(uint32_t w, uint32_t h, const std::vector<uint8_t>& indices, const std::vector<uint32_t>& palette,
                int transparentIndex)
{
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    appendLE16(out, w);
    appendLE16(out, h);
    out.push_back(0xF7);   // global table of 256 entries
    out.push_back(0);
    out.push_back(0);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t c = i < palette.size() ? palette[i] : 0;
        out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    if (transparentIndex >= 0)
        out.insert(out.end(), {0x21, 0xF9, 4, 0x01, 0, 0, uint8_t(transparentIndex), 0});
    out.push_back(0x2C);
    appendLE16(out, 0);
    appendLE16(out, 0);
    appendLE16(out, w);
    appendLE16(out, h);
    out.push_back(0);
    out.push_back(8);   // minimum code size
    // Every index as a literal 9-bit code, with a clear code often enough
    // that the decoder's table never needs 10-bit codes.
    CodeWriter codes;
    const uint32_t clear = 256;
    codes.write(clear, 9);
    uint32_t sinceClear = 0;
    for (uint8_t index : indices) {
        if (sinceClear == 250) {
            codes.write(clear, 9);
            sinceClear = 0;
        }
        codes.write(index, 9);
        ++sinceClear;
    }
    codes.write(clear + 1, 9);
    codes.flush();
    for (size_t at = 0; at < codes.bytes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.bytes.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.bytes.begin() + long(at), codes.bytes.begin() + long(at + n));
    }
    out.push_back(0);
    out.push_back(0x3B);
    return out;
}

void makeFolder(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    ASSERT_TRUE(std::filesystem::is_directory(path)) << path;
}

std::string joined(const std::string& folder, const std::string& name)
{
    return folder + kPathSeparator + name;
}

uint64_t lastWriteTime(const std::string& path)
{
    FileTime t = 0;
    return getFileTimes(path.c_str(), nullptr, nullptr, &t) ? t : 0;
}

bool setAllTimes(const std::string& path, uint64_t t)
{
    const FileTime value = t;
    return setFileTimes(path.c_str(), &value, &value, &value);
}

int RecordingView::insertTopRow(const char* name)
{
    RecordedRow row;
    row.cells[FOLDER_COLUMN_NAME] = name;
    rows.push_front(row);
    ++insertedRows;
    if (onInsert)
        onInsert(name);
    return int(rows.size());
}

void RecordingView::stepProgress()
{
    ++steps;
    if (onStep)
        onStep();
}

void RecordingView::deleteRow(int index)
{
    ASSERT_GE(index, 0);
    ASSERT_LT(size_t(index), rows.size());
    rows.erase(rows.begin() + index);
}

void RecordingView::setTopRowCell(int column, const char* text)
{
    ASSERT_FALSE(rows.empty());
    ASSERT_GE(column, 0);
    ASSERT_LT(column, kFolderColumnCount);
    rows.front().cells[column] = text;
}

const RecordedRow* RecordingView::rowOf(const std::string& name) const
{
    for (const RecordedRow& row : rows) {
        if (row.cells[FOLDER_COLUMN_NAME] == name)
            return &row;
    }
    return nullptr;
}

