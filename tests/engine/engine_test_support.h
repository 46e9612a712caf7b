#pragma once
// Helpers for the engine tests: pictures in the optimizer's pixel layout,
// recorded progress events, PNG chunk parsing and an optimizer whose trial
// sizes a test chooses.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/png_optimizer.h"
#include "tests/common/test_support.h"

// Pixels as the optimizer takes them: bottom row first, blue green red alpha.
struct TestPicture {
    TestPicture(int32_t w, int32_t h);

    // (x, y) from the top-left.
    void set(int32_t x, int32_t y, uint32_t rgb, uint8_t alpha = 255);
    uint32_t rgbAt(int32_t x, int32_t y) const;
    uint8_t alphaAt(int32_t x, int32_t y) const;
    // Fills with colours chosen by the pixel's position: colours[(x + y * w) % n].
    void fillCycling(const std::vector<uint32_t>& colours);
    // Every pixel a pseudo-random colour from a fixed seed; alpha random too
    // when withAlpha, else 255.
    void fillNoise(uint32_t seed, bool withAlpha = false);
    // A smooth gradient, which compresses well and makes the filters matter.
    void fillGradient();

    // A request on this picture with the given transparent colour and alpha flag.
    ConvertRequest request(int32_t transparentColour = -1, bool hasAlpha = false);
    // What an independent decoder must show for the written file: the colours,
    // and alpha from the picture when hasAlpha, else 0 for pixels of the
    // transparent colour and 255 for the rest.
    RgbaImage expectedDecoded(int32_t transparentColour, bool hasAlpha) const;

    int32_t width;
    int32_t height;
    std::vector<uint8_t> bgra;
};

// One progress event.
struct ProgressEvent {
    int32_t bitDepth, windowBits, memLevel, filter, size;
    bool operator==(const ProgressEvent& o) const
    {
        return bitDepth == o.bitDepth && windowBits == o.windowBits && memLevel == o.memLevel &&
               filter == o.filter && size == o.size;
    }
};

// Records every event; optionally sets the cancel flag on the n-th bit-depth start.
struct EventLog {
    std::vector<ProgressEvent> events;
    volatile int16_t* cancelOnDepthStart = nullptr;
    int cancelAtDepthEvent = 1;   // 1 = the first bit-depth start

    // Hooks this log and a cancel flag into request.
    void attach(ConvertRequest& request, volatile int16_t* cancelFlag);
    std::vector<int32_t> depthStarts() const;
    // Events of one kind in order.
    std::vector<ProgressEvent> filterDone() const;
    std::vector<ProgressEvent> parameterDone() const;
};

// A chunk of a PNG file.
struct PngChunk {
    std::string type;
    std::vector<uint8_t> data;
    uint32_t declaredLength = 0;
    bool crcMatches = false;
};

// Splits a PNG file into its chunks; false when the signature is wrong or a
// chunk runs past the end.
bool parsePngChunks(const std::vector<uint8_t>& file, std::vector<PngChunk>& chunks);
// The chunk types in file order.
std::vector<std::string> chunkTypes(const std::vector<PngChunk>& chunks);
const PngChunk* findChunk(const std::vector<PngChunk>& chunks, const std::string& type);

// True when the decoded image equals the expectation pixel for pixel; else
// reports the first difference through gtest.
::testing::AssertionResult sameRgba(const RgbaImage& expected, const RgbaImage& actual);

// A conversion with the real optimizer into a file, and the file read back.
struct WrittenFile {
    int result = 0;
    ConvertRequest request;   // its callback data and cancel flag are gone after convertTo
    std::vector<uint8_t> bytes;
    std::vector<PngChunk> chunks;
    EventLog log;
};

void convertTo(const std::string& path, TestPicture& picture, int32_t transparent, bool hasAlpha,
               uint16_t options, WrittenFile& out, uint32_t sizeToBeat = 0xFFFFFFFFu,
               int32_t extendedLevel = 0);

// A picture cycling through `colours` distinct colours (salt shifts them).
TestPicture cyclingPicture(int32_t width, int32_t height, int colours, uint32_t salt = 0);

// Checks everything about a written file that needs no decoder: success, size
// equal to the predicted fileSize, chunk CRCs, IHDR first and IEND last with
// its fixed bytes, one IDAT of dataSize bytes, the IHDR fields.
void expectSoundStructure(const WrittenFile& file, const TestPicture& picture);

// The optimizer with the trial measurement replaced: sizeFor decides every
// trial's size from the call's parameters. Every call is recorded.
class ScriptedOptimizer : public PngOptimizer {
public:
    struct Call {
        const uint8_t* data;   // valid only during the call
        uint32_t dataBytes;
        int32_t windowBits;
        int32_t memLevel;
    };
    using SizeFunction = std::function<uint32_t(const Call& call, size_t index)>;

    explicit ScriptedOptimizer(SizeFunction sizeFor) : sizeFor_(std::move(sizeFor))
    {
        setTrialMeasure(measureScripted, this);
    }
    std::vector<Call> calls;

private:
    static uint32_t measureScripted(void* self, const uint8_t* data, uint32_t size,
                                    int32_t windowBits, int32_t memLevel);

    SizeFunction sizeFor_;
};
