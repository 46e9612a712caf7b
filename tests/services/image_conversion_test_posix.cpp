// The conversion service over every input kind and output kind: a file, a
// file's bytes in memory, a stream, an image already loaded; into a file,
// memory, a stream or nothing (a test run). Each way gives the same PNG
// bytes (decoded by libpng to the input's pixels), the same status, and the
// failures and cancellations their own.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/image_loader.h"
#include "services/image_conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

enum class InputKind { File, Memory, Stream, Image };
enum class OutputKind { File, Memory, Stream, None };

RgbaImage bands()
{
    RgbaImage picture;
    picture.width = 17;
    picture.height = 9;
    for (uint32_t i = 0; i < picture.width * picture.height; ++i)
        picture.pixels.insert(picture.pixels.end(), {uint8_t(i / 17 * 20), 90, uint8_t(i % 3 * 70), 255});
    return picture;
}

struct Outcome {
    ConversionStatus status = ConversionStatus::Failed;
    ConversionCause cause = ConversionCause::None;
    std::vector<uint8_t> png;   // what the output received
};

// Converts the input file's bytes through the given kinds.
Outcome convertThrough(const std::vector<uint8_t>& input, InputKind in, OutputKind out, bool cancel)
{
    TempDir dir;
    const std::string inputPath = dir.file("input.png");
    writeFileBytes(inputPath, input);
    volatile int16_t cancelFlag = cancel ? 1 : 0;
    ImageConversion conversion;
    conversion.setProgress(nullptr, &cancelFlag);
    DibImage image;
    int32_t transparent = -1;
    bool loaded = true;
    FILE* stream = nullptr;
    switch (in) {
    case InputKind::File: loaded = conversion.loadFile(inputPath.c_str(), 0); break;
    case InputKind::Memory: loaded = conversion.loadMemory(input.data(), uint32_t(input.size()), 0); break;
    case InputKind::Stream:
        stream = std::fopen(inputPath.c_str(), "rb");
        loaded = conversion.loadStream(stream, 0);
        std::fclose(stream);
        break;
    case InputKind::Image:
        loaded = loadImageFile(image, inputPath.c_str(), transparent);
        if (loaded)
            conversion.useImage(image, transparent, nullptr);
        break;
    }
    Outcome outcome;
    if (!loaded) {
        outcome.cause = in == InputKind::Image ? ConversionCause::NotAnImage : conversion.report().cause;
        return outcome;
    }
    ConversionOutput output;
    ConversionSettings settings;
    AppendBuffer memory;
    const std::string outputPath = dir.file("output.png");
    FILE* sink = std::tmpfile();
    if (out == OutputKind::File)
        output.path = outputPath.c_str();
    else if (out == OutputKind::Memory)
        output.memory = &memory;
    else if (out == OutputKind::Stream)
        output.stream = sink;
    else
        settings.testRun = true;
    PngOptimizer optimizer;
    const ConversionReport& report = conversion.convert(optimizer, output, settings);
    outcome.status = report.status;
    outcome.cause = report.cause;
    if (out == OutputKind::File && std::filesystem::exists(outputPath))
        outcome.png = readFileBytes(outputPath);
    std::rewind(sink);
    if (out == OutputKind::Stream && readWholeStream(sink, kMaxStreamInputBytes, memory) != StreamRead::Complete)
        ADD_FAILURE() << "the stream output cannot be read back";
    if (out == OutputKind::Memory || out == OutputKind::Stream)
        outcome.png.assign(memory.data, memory.data + memory.used);
    std::fclose(sink);
    return outcome;
}

}  // namespace

TEST(ImageConversion, EveryInputAndOutputKindAgrees)
{
    const RgbaImage picture = bands();
    struct Case {
        const char* name;
        std::vector<uint8_t> input;
        ConversionStatus status;   // for a file or memory input (an image in hand is always converted)
        bool cancel;
    };
    const std::vector<uint8_t> stored = encodePng(picture, false, 0);
    const Case cases[] = {
        {"shrinkable PNG", stored, ConversionStatus::Converted, false},
        {"cancelled", stored, ConversionStatus::Cancelled, true},
        {"no image", {'n', 'o', 'n', 'e'}, ConversionStatus::Failed, false},
    };
    const InputKind inputs[] = {InputKind::File, InputKind::Memory, InputKind::Stream, InputKind::Image};
    const OutputKind outputs[] = {OutputKind::File, OutputKind::Memory, OutputKind::Stream, OutputKind::None};
    for (const Case& c : cases) {
        std::vector<uint8_t> reference;
        for (const InputKind in : inputs) {
            for (const OutputKind out : outputs) {
                const std::string where = std::string(c.name) + " in " + std::to_string(int(in)) + " out " +
                                          std::to_string(int(out));
                const Outcome outcome = convertThrough(c.input, in, out, c.cancel);
                EXPECT_EQ(outcome.status, c.status) << where;
                if (c.status == ConversionStatus::Failed) {
                    EXPECT_EQ(outcome.cause, ConversionCause::NotAnImage) << where;
                    continue;
                }
                if (c.status != ConversionStatus::Converted || out == OutputKind::None) {
                    EXPECT_TRUE(outcome.png.empty()) << where << ": nothing may be written";
                    continue;
                }
                if (reference.empty()) {
                    reference = outcome.png;
                    RgbaImage decoded;
                    ASSERT_TRUE(decodePngBytesWithLibpng(reference, decoded)) << where;
                    EXPECT_EQ(decoded.pixels, picture.pixels) << where;
                }
                EXPECT_EQ(outcome.png, reference) << where;
            }
        }
    }
}

// A PNG that cannot be made smaller: copied unchanged from a file to another
// path, kept when the output is the input, passed through in memory.
TEST(ImageConversion, UnshrinkablePngStaysAsItIs)
{
    TempDir dir;
    ImageConversion conversion;
    PngOptimizer optimizer;
    std::vector<uint8_t> best;
    {
        // The optimizer's own output cannot be beaten by itself.
        AppendBuffer memory;
        const std::vector<uint8_t> stored = encodePng(bands(), false, 0);
        ASSERT_TRUE(conversion.loadMemory(stored.data(), uint32_t(stored.size()), 0));
        ConversionOutput output;
        output.memory = &memory;
        ASSERT_EQ(conversion.convert(optimizer, output, ConversionSettings()).status, ConversionStatus::Converted);
        best.assign(memory.data, memory.data + memory.used);
    }
    const std::string path = dir.file("best.png");
    writeFileBytes(path, best);
    ConversionOutput toOther;
    const std::string other = dir.file("other.png");
    toOther.path = other.c_str();
    ASSERT_TRUE(conversion.loadFile(path.c_str(), 0));
    EXPECT_EQ(conversion.convert(optimizer, toOther, ConversionSettings()).status, ConversionStatus::Copied);
    EXPECT_EQ(readFileBytes(other), best);
    ConversionOutput inPlace;
    inPlace.path = path.c_str();
    ASSERT_TRUE(conversion.loadFile(path.c_str(), 0));
    EXPECT_EQ(conversion.convert(optimizer, inPlace, ConversionSettings()).status, ConversionStatus::Kept);
    AppendBuffer memory;
    ConversionOutput toMemory;
    toMemory.memory = &memory;
    ASSERT_TRUE(conversion.loadMemory(best.data(), uint32_t(best.size()), 0));
    EXPECT_EQ(conversion.convert(optimizer, toMemory, ConversionSettings()).status, ConversionStatus::Copied);
    EXPECT_EQ(std::vector<uint8_t>(memory.data, memory.data + memory.used), best);
}
