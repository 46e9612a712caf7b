#include "services/folder_text.h"

#include <cinttypes>
#include <cstdio>

#include "core/text_string.h"
#include "services/extended_report.h"
#include "services/image_conversion.h"
#include "services/progress_event.h"

const FolderColumnSpec kFolderColumns[kFolderColumnCount] = {
    {Msg::ColumnName, 110},       {Msg::ColumnInputSize, 68}, {Msg::ColumnOutputSize, 68},
    {Msg::ColumnSizeChange, 60}, {Msg::ColumnFormat, 138},
};

namespace {

constexpr uint32_t kKilobyte = 1024;
constexpr uint32_t kMegabyte = 1048576;

// Room for every text here: the summary with two 10-digit counts and a
// 20-digit total is well below it.
constexpr int kTextCapacity = 127;

char* prepared(TextString& out)
{
    out.reserve(kTextCapacity);
    return out.buffer();
}

size_t room(const TextString& out)
{
    return static_cast<size_t>(out.bufferSize());
}

}  // namespace

void formatFolderSize(TextString& out, uint32_t size)
{
    char* buffer = prepared(out);
    if (size >= kMegabyte)
        std::snprintf(buffer, room(out), uiText(Msg::SizeMegabytes), static_cast<double>(size) / kMegabyte);
    else if (size >= kKilobyte)
        std::snprintf(buffer, room(out), uiText(Msg::SizeKilobytes), static_cast<double>(size) / kKilobyte);
    else
        std::snprintf(buffer, room(out), uiText(Msg::SizeBytes), static_cast<unsigned>(size));
}

void formatSizeChange(TextString& out, int64_t change)
{
    std::snprintf(prepared(out), room(out), "%+" PRId64, change);
}

void formatFolderSummary(TextString& out, uint32_t processed, uint32_t errors, int64_t totalChange)
{
    std::snprintf(prepared(out), room(out), uiText(Msg::FolderSummary), static_cast<unsigned>(processed),
                  static_cast<unsigned>(errors), static_cast<double>(totalChange) / kKilobyte);
}

bool formatTrialStatus(TextString& out, const ProgressEvent& event)
{
    if (!event.startsWork())
        return false;
    char* buffer = prepared(out);
    if (event.kind == ProgressKind::ExtendedStep)
        std::snprintf(buffer, room(out), "%s", uiText(Msg::StatusExtended));
    else if (event.kind == ProgressKind::ParametersStart)
        std::snprintf(buffer, room(out), uiText(Msg::StatusParameters), event.windowBits, event.memLevel);
    else
        std::snprintf(buffer, room(out), uiText(Msg::StatusFilter), event.filter);
    return true;
}

namespace {

// The format cell of a file that ended as report says.
void formatOutcomeCell(TextString& out, const ConversionReport& report)
{
    const uint16_t notes = report.notes;
    switch (report.status) {
    case ConversionStatus::Converted:
        if (report.frames > 0) {
            char animation[224];
            formatAnimationReport(report.result, animation, sizeof animation);
            out.assign(animation);
        } else if (report.result.extendedLayout != LAYOUT_DEFAULT) {
            // The extended search's file: the default search's winner was not written.
            char choice[224];
            formatExtendedChoice(report.result, choice, sizeof choice);
            out.assign(choice);
        } else {
            formatEncodingSummary(out, conversionResultOf(report.result));
        }
        if (notes & CONVERSION_NOTE_FIRST_FRAME)
            out.append(uiText(Msg::CellFirstFrameNote));
        return;
    case ConversionStatus::Copied:
        out.assign(uiText((notes & CONVERSION_NOTE_ANIMATED_PNG) ? Msg::CellAnimationCopied : Msg::CellCopied));
        return;
    case ConversionStatus::Kept:
        out.assign(uiText((notes & CONVERSION_NOTE_ANIMATED_PNG) ? Msg::CellAnimationKept
                          : (notes & CONVERSION_NOTE_HARD_LINKS) ? Msg::CellHardLinksKept
                                                                 : Msg::CellNoOutput));
        return;
    default:
        break;
    }
    switch (report.cause) {
    case ConversionCause::NotFound:
    case ConversionCause::NotReadable:
    case ConversionCause::NotAnImage:
    case ConversionCause::InputTooLarge:
        out.assign(uiText(Msg::CellReadError));
        break;
    case ConversionCause::BadAnimation:
        out.assign(uiText(Msg::CellBadAnimation));
        break;
    case ConversionCause::OutputExists:
        out.assign(uiText(Msg::CellOutputExists));
        break;
    case ConversionCause::SharedOutput:
        out.assign(uiText(Msg::CellSharedOutput));
        break;
    default:
        out.assign(uiText(Msg::CellFailed));
        break;
    }
}

}  // namespace

bool folderCellText(TextString& out, int column, const ConversionReport& report)
{
    if (report.status == ConversionStatus::Cancelled)
        return false;
    const bool converted = report.status == ConversionStatus::Converted;
    switch (column) {
    case FOLDER_COLUMN_SOURCE_SIZE:
        if (!report.loaded)
            return false;
        formatFolderSize(out, report.inputSize);
        return true;
    case FOLDER_COLUMN_OUTPUT_SIZE:
        if (!converted)
            return false;
        formatFolderSize(out, report.result.fileSize);
        return true;
    case FOLDER_COLUMN_SIZE_CHANGE:
        if (!converted)
            return false;
        formatSizeChange(out, report.sizeChange());
        return true;
    case FOLDER_COLUMN_FORMAT:
        formatOutcomeCell(out, report);
        return true;
    default:
        return false;
    }
}
