#include "app/logic/conversion_text.h"

#include <cstdio>

#include "core/text_string.h"
#include "engine/png_optimizer.h"

namespace {

// Room for the longest piece: a heading or a trial start with two 11-character numbers.
constexpr int kPieceCapacity = 63;

}  // namespace

void formatProgressPiece(TextString& out, int32_t bitDepth, int32_t windowBits, int32_t memLevel,
                         int32_t filter, int32_t size)
{
    out.reserve(kPieceCapacity);
    char* buffer = out.buffer();
    const auto room = static_cast<size_t>(out.bufferSize());
    if (bitDepth >= 0)
        std::snprintf(buffer, room, "=== <%dBIT> ===\r\n", bitDepth);
    else if (size >= 0)
        std::snprintf(buffer, room, "%d\r\n", size);
    else if (filter < 0 && windowBits == -1)
        std::snprintf(buffer, room, ".");   // a step of the extended search
    else if (filter < 0)
        std::snprintf(buffer, room, "zw %d zm %d ... ", windowBits, memLevel);
    else
        std::snprintf(buffer, room, "filter %d ... ", filter);
}

void formatResultBlock(TextString& out, const ConversionResult& result)
{
    out.reserve(127);
    std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()),
                  "\r\n結果\r\n[ %dBIT %s zw %d zm %d ]\r\n[ FileSize : %u Byte ]", result.bitDepth,
                  filterDisplayName(result.filter), result.windowBits, result.memLevel,
                  result.fileSize);
}
