#include "app/logic/conversion_text.h"

#include <cstdio>

#include "core/text_string.h"
#include "core/ui_text.h"
#include "engine/png_optimizer.h"

namespace {

// Room for the longest piece: a heading or a trial start with two 11-character numbers.
constexpr int kPieceCapacity = 63;

}  // namespace

void formatProgressPiece(TextString& out, const ProgressEvent& event)
{
    out.reserve(kPieceCapacity);
    char* buffer = out.buffer();
    const auto room = static_cast<size_t>(out.bufferSize());
    switch (event.kind) {
    case ProgressKind::DepthStart:
        std::snprintf(buffer, room, uiText(Msg::LogDepthHeading), event.bitDepth);
        break;
    case ProgressKind::FilterDone:
    case ProgressKind::ParametersDone:
        std::snprintf(buffer, room, "%d\r\n", event.size);
        break;
    case ProgressKind::ExtendedStep:
        std::snprintf(buffer, room, ".");
        break;
    case ProgressKind::ParametersStart:
        std::snprintf(buffer, room, uiText(Msg::StatusParameters), event.windowBits, event.memLevel);
        break;
    case ProgressKind::FilterStart:
        std::snprintf(buffer, room, uiText(Msg::StatusFilter), event.filter);
        break;
    }
}

void formatResultBlock(TextString& out, const ConversionResult& result)
{
    out.reserve(127);
    if (!hasDefaultEncoding(result)) {
        std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()), uiText(Msg::LogResultSize),
                      result.fileSize);
        return;
    }
    std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()),
                  uiText(Msg::LogResult), result.bitDepth,
                  filterDisplayName(result.filter), result.windowBits, result.memLevel,
                  result.fileSize);
}
