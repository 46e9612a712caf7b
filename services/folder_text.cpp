#include "services/folder_text.h"

#include <cinttypes>
#include <cstdio>

#include "core/text_string.h"

const FolderColumnSpec kFolderColumns[kFolderColumnCount] = {
    {"ﾌｧｲﾙ名", 110}, {"元ｻｲｽﾞ", 68}, {"出力ｻｲｽﾞ", 68}, {"ｻｲｽﾞ差", 60}, {"出力形式", 138},
};

const char* const kFolderCellReadError = "<読込ｴﾗｰ>";
const char* const kFolderCellFailed = "<失敗>";
const char* const kFolderCellCopied = "<ｺﾋﾟｰ>";
const char* const kFolderCellNoOutput = "<出力なし>";
const char* const kFolderCellAnimationKept = "<ｱﾆﾒｰｼｮﾝPNG 変更なし>";
const char* const kFolderCellAnimationCopied = "<ｱﾆﾒｰｼｮﾝPNG ｺﾋﾟｰ>";
const char* const kFolderCellHardLinksKept = "<ﾊｰﾄﾞﾘﾝｸ 変更なし>";
const char* const kFolderCellOutputExists = "<出力先に別のﾌｧｲﾙあり>";
const char* const kFolderCellSharedOutput = "<出力名が重複>";
const char* const kFolderNoteFirstFrame = " (ｱﾆﾒｰｼｮﾝGIFの1ﾌﾚｰﾑ目のみ)";
const char* const kFolderInPlaceTransparencyLine = "入力ﾌｫﾙﾀﾞへの出力のため透過色を保持します";

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
        std::snprintf(buffer, room(out), "%.2fMB", static_cast<double>(size) / kMegabyte);
    else if (size >= kKilobyte)
        std::snprintf(buffer, room(out), "%.2fKB", static_cast<double>(size) / kKilobyte);
    else
        std::snprintf(buffer, room(out), "%uByte", static_cast<unsigned>(size));
}

void formatSizeChange(TextString& out, int64_t change)
{
    std::snprintf(prepared(out), room(out), "%+" PRId64, change);
}

void formatFolderSummary(TextString& out, uint32_t processed, uint32_t errors, int64_t totalChange)
{
    std::snprintf(prepared(out), room(out), "処理 %u ｴﾗｰ %u / 総増減 %+.2fKB", static_cast<unsigned>(processed),
                  static_cast<unsigned>(errors), static_cast<double>(totalChange) / kKilobyte);
}

bool formatTrialStatus(TextString& out, int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                       int32_t size)
{
    if (bitDepth >= 0 || size >= 0)
        return false;
    char* buffer = prepared(out);
    if (filter < 0)
        std::snprintf(buffer, room(out), "zw %d zm %d ... ", windowBits, memLevel);
    else
        std::snprintf(buffer, room(out), "filter %d ... ", filter);
    return true;
}
