#include "tests/console/console_test_support.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "console/command_line.h"
#include "console/console_run.h"
#include "core/dib_image.h"
#include "core/image_loader.h"

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put32be(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32be(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    put32be(out, static_cast<uint32_t>(crc));
}

} // namespace

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
    const uint32_t rowBytes = (image.width * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * image.height;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + pixelBytes);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, image.width);
    put32(out, image.height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, pixelBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (uint32_t row = 0; row < image.height; ++row) {
        const uint32_t y = image.height - 1 - row;
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        for (uint32_t pad = image.width * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return writeFileBytes(path, out);
}

bool writeRgbaPng(const std::string& path, const RgbaImage& image, int level)
{
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < image.height; ++y) {
        raw.push_back(0);
        const uint8_t* row = image.at(0, y);
        raw.insert(raw.end(), row, row + size_t(image.width) * 4);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK)
        return false;
    packed.resize(packedSize);

    static const uint8_t signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> out(signature, signature + 8);
    std::vector<uint8_t> header;
    put32be(header, image.width);
    put32be(header, image.height);
    header.push_back(8);   // bit depth
    header.push_back(6);   // colour type RGBA
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return writeFileBytes(path, out);
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

ConsoleRun runConsoleLine(const std::string& commandLine, int argc)
{
    ConsoleRun run;
    FILE* out = std::tmpfile();
    if (out == nullptr)
        return run;
    run.status = runConsole(argc, commandLine.c_str(), out);
    std::fflush(out);
    std::rewind(out);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
        run.text.append(buffer, n);
    std::fclose(out);
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
