#include "services/extended_report.h"

#include <cstdio>

int formatExtendedReport(const ConvertRequest& request, char* out, uint32_t capacity)
{
    if (!(request.options & OPT_EXTENDED_SEARCH))
        return 0;
    char choice[224];
    formatExtendedChoice(request, choice, sizeof choice);
    const int length = std::snprintf(out, capacity, "拡張探索: %s", choice);
    return length < 0 ? 0 : length;
}

int formatExtendedChoice(const ConvertRequest& request, char* out, uint32_t capacity)
{
    if (!(request.options & OPT_EXTENDED_SEARCH))
        return 0;
    const auto pick = [](int32_t value, int count, const char* const* names) {
        return value >= 0 && value < count ? names[value] : "?";
    };
    const int level = static_cast<int>(requestedExtendedLevel(request));
    int length = 0;
    if (request.extendedLayout == LAYOUT_DEFAULT) {
        length = std::snprintf(out, capacity, "%s, レベル%d", kExtendedLayoutNames[LAYOUT_DEFAULT], level);
    } else {
        // zopfli's effort: its iterations and the parts it ran in side by side.
        char iterations[48] = "";
        if (request.encoder == ENCODER_ZOPFLI)
            std::snprintf(iterations, sizeof iterations, " %d回 %d分割", request.encoderIterations,
                          request.encoderParts);
        length = std::snprintf(out, capacity, "%s %dビット, %s, %s, %s%s, レベル%d",
                               pick(request.extendedLayout, kExtendedLayoutCount, kExtendedLayoutNames),
                               request.extendedDepth,
                               pick(request.paletteOrder, kPaletteOrderCount, kPaletteOrderNames),
                               pick(request.filterStrategy, kFilterStrategyCount, kFilterStrategyNames),
                               pick(request.encoder, kDeflateEncoderCount, kDeflateEncoderNames),
                               iterations, level);
    }
    return length < 0 ? 0 : length;
}

int formatAnimationReport(const ConvertRequest& request, char* out, uint32_t capacity)
{
    if (request.frames == 0)
        return 0;
    const int32_t layout = request.extendedLayout;
    const char* name = layout >= 0 && layout < kExtendedLayoutCount ? kExtendedLayoutNames[layout] : "?";
    char level[32] = "";
    if (request.options & OPT_EXTENDED_SEARCH)
        std::snprintf(level, sizeof level, ", レベル%d", static_cast<int>(requestedExtendedLevel(request)));
    const int length = std::snprintf(out, capacity, "ｱﾆﾒｰｼｮﾝPNG %uﾌﾚｰﾑ, %s %dビット%s",
                                     static_cast<unsigned>(request.frames), name,
                                     static_cast<int>(request.extendedDepth), level);
    return length < 0 ? 0 : length;
}
