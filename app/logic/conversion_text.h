#pragma once
// The texts of a single-image conversion: the pieces of the output dialog's
// log, its closing result block, and the encoding summary of the main window.
//
// All texts are in the system code page. Pure functions; any thread.

#include <cstdint>

class TextString;

// The result of a successful conversion, as the engine reported it.
struct ConversionResult {
    int32_t windowBits = 0;
    int32_t memLevel = 0;
    int32_t filter = 0;
    int32_t dataSize = 0;     // IDAT payload bytes
    int32_t bitDepth = 0;     // 1, 2, 4, 8, 24 or 32
    uint32_t fileSize = 0;    // bytes of the PNG file
};

// Display name of a filter choice 0..5; "?" for anything else.
const char* filterDisplayName(int32_t filter);

// out = the log piece for one progress event (arguments as the engine's
// ProgressCallback gives them): a bit-depth heading line, a trial's start
// ("filter f ... " or "zw w zm m ... ") or its byte count and line end.
void formatProgressPiece(TextString& out, int32_t bitDepth, int32_t windowBits, int32_t memLevel,
                         int32_t filter, int32_t size);

// out = the block appended to the log after a successful run; it begins with
// a line end and has none after its last line.
void formatResultBlock(TextString& out, const ConversionResult& result);

// out = "<depth>BIT <filter> zw <w> zm <m>", the main window's format row.
void formatEncodingSummary(TextString& out, const ConversionResult& result);
