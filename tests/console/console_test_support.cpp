#include "tests/console/console_test_support.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "console/command_line.h"
#include "console/console_program.h"
#include "console/console_run.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/common/image_file_builders.h"

RgbaImage makeBandedImage(uint32_t width, uint32_t height, uint32_t colours)
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t index = ((x / 3) + (y / 2) * 7) % colours;
            uint8_t* p = &image.pixels[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(index * 37 + 11);
            p[1] = uint8_t(index * 91 + 5);
            p[2] = uint8_t(255 - index * 13);
            p[3] = 255;
        }
    }
    return image;
}

RgbaImage makeGradientImage(uint32_t width, uint32_t height)
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &image.pixels[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = uint8_t((x * 7 + y * 3) & 0xFF);
            p[3] = 255;
        }
    }
    return image;
}

bool writeBmp24(const std::string& path, const RgbaImage& image)
{
    return writeFileBytes(path, encodeBmp24(image));
}

bool writeRgbaPng(const std::string& path, const RgbaImage& image, int level)
{
    const std::vector<uint8_t> file = encodePng(image, true, level);
    return !file.empty() && writeFileBytes(path, file);
}

bool loadAsRgba(const std::string& path, RgbaImage& out, int32_t* transparentColour)
{
    DibImage image;
    int32_t transparent = -1;
    if (!loadImageFile(image, path.c_str(), transparent))
        return false;
    out = rgbaFromDib(image);
    if (transparentColour != nullptr)
        *transparentColour = transparent;
    return true;
}

namespace {

// What stream holds; closes it.
std::string drained(FILE* stream)
{
    std::string text;
    std::fflush(stream);
    std::rewind(stream);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        text.append(buffer, n);
    std::fclose(stream);
    return text;
}

}  // namespace

ConsoleRun runConsoleLine(const std::string& commandLine, int argc)
{
    ConsoleRun run;
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr)
        return run;
    run.status = runConsole(argc, commandLine.c_str(), out, err);
    run.text = drained(out);
    run.err = drained(err);
    return run;
}

ConsoleRun runConsoleArgs(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv;
    argv.push_back("tolvarinxc");
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    TextString line;
    joinCommandLine(line, static_cast<int>(argv.size()), argv.data());
    return runConsoleLine(line.c_str(), static_cast<int>(argv.size()));
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string nameLines(const std::string& input, const std::string& output)
{
    return "input: " + input + "\noutput: " + output + "\n\n";
}

int countDots(const std::string& report, const std::string& input, const std::string& output)
{
    const std::string head = nameLines(input, output);
    if (report.compare(0, head.size(), head) != 0)
        return -1;
    size_t position = head.size();
    int dots = 0;
    while (position < report.size() && report[position] == '.') {
        ++dots;
        ++position;
    }
    if (report.compare(position, 2, "\n\n") != 0)
        return -1;
    return dots;
}

bool parseResultBlock(const std::string& report, ReportedResult& result)
{
    const size_t start = report.find("<result>\n");
    if (start == std::string::npos)
        return false;
    if (std::sscanf(report.c_str() + start + 9, "insize: %u\noutsize: %u (%d)\n", &result.inSize,
                    &result.outSize, &result.change) != 3)
        return false;
    // The format line is matched as bytes: the runtime's scanf need not take
    // multi-byte text in its format.
    const std::string formatLabel = "出力形式: ";
    const size_t format = report.find(formatLabel, start);
    if (format == std::string::npos)
        return false;
    return std::sscanf(report.c_str() + format + formatLabel.size(), "%dBIT filter %d zw %d zm %d\n",
                       &result.bitDepth, &result.filter, &result.windowBits, &result.memLevel) == 4;
}

bool fileExistsAt(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

Tree readTree(const std::string& root)
{
    Tree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            tree[std::filesystem::relative(entry.path(), root).generic_string()] = readFileBytes(entry.path().string());
    }
    return tree;
}
