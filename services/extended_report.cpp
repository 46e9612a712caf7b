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
