#include "tests/common/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device device;
    std::mt19937_64 random(device());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("tolvarinx-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.u8string();
            return;
        }
    }
}

TempDir::~TempDir()
{
    if (path_.empty())
        return;
    std::error_code error;
    // Read-only folders made by a test would stop the removal.
    for (auto& entry : fs::recursive_directory_iterator(fs::u8path(path_), error))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(fs::u8path(path_), error);
}

std::string TempDir::file(const std::string& name) const
{
    return (fs::u8path(path_) / fs::u8path(name)).u8string();
}

std::vector<uint8_t> readFileBytes(const std::string& path)
{
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto& entry : fs::directory_iterator(fs::u8path(folder), error)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = entry.path().filename().u8string();
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

size_t countEntries(const std::string& folder)
{
    std::error_code error;
    size_t count = 0;
    for (auto it = fs::directory_iterator(fs::u8path(folder), error); !error && it != fs::directory_iterator(); ++it)
        ++count;
    return count;
}

std::string corpusPath(const std::string& relative)
{
    return (fs::path(TOLVARINX_CORPUS_DIR) / relative).string();
}

RgbaImage rgbaFromDib(const DibImage& image)
{
    RgbaImage out;
    out.width = static_cast<uint32_t>(image.width);
    out.height = static_cast<uint32_t>(image.height);
    out.pixels.resize(size_t(out.width) * out.height * 4);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.rowAt(y);
        uint8_t* dst = &out.pixels[size_t(y) * out.width * 4];
        for (int32_t x = 0; x < image.width; ++x) {
            dst[x * 4 + 0] = row[x * 4 + 2];
            dst[x * 4 + 1] = row[x * 4 + 1];
            dst[x * 4 + 2] = row[x * 4 + 0];
            dst[x * 4 + 3] = row[x * 4 + 3];
        }
    }
    return out;
}

bool dibFromRgba(const RgbaImage& rgba, DibImage& image, bool hasAlpha)
{
    if (!image.create(static_cast<int32_t>(rgba.width), static_cast<int32_t>(rgba.height)))
        return false;
    for (uint32_t y = 0; y < rgba.height; ++y) {
        uint8_t* row = image.rowAt(static_cast<int32_t>(y));
        const uint8_t* src = rgba.at(0, y);
        for (uint32_t x = 0; x < rgba.width; ++x) {
            row[x * 4 + 0] = src[x * 4 + 2];
            row[x * 4 + 1] = src[x * 4 + 1];
            row[x * 4 + 2] = src[x * 4 + 0];
            row[x * 4 + 3] = src[x * 4 + 3];
        }
    }
    image.hasAlpha = hasAlpha ? 1 : 0;
    return true;
}
