#include "services/extended_report.h"

#include <cstdio>
#include <iterator>

#include "core/ui_text.h"

namespace {

// The names of the engine's values, indexed by value.
constexpr Msg kLayoutNames[] = {
    Msg::LayoutDefault, Msg::LayoutPalette, Msg::LayoutGrey, Msg::LayoutGreyKey,
    Msg::LayoutGreyAlpha, Msg::LayoutRgb, Msg::LayoutRgbKey, Msg::LayoutRgba,
};
constexpr Msg kPaletteOrderNames[] = {
    Msg::OrderNone,          Msg::OrderInput,           Msg::OrderPopularity,
    Msg::OrderLuminance,     Msg::OrderNeighbour,       Msg::OrderWeightedChain,
    Msg::OrderContactChain,  Msg::OrderMergedChain,     Msg::OrderRefinedChain,
};
constexpr Msg kFilterStrategyNames[] = {
    Msg::FilterNone,   Msg::FilterSub,       Msg::FilterUp,
    Msg::FilterAverage, Msg::FilterPaeth,    Msg::FilterMinSum,
    Msg::FilterMinEntropy, Msg::FilterMinCompressed, Msg::FilterMinCompressedLibdeflate,
};
constexpr Msg kEncoderNames[] = {
    Msg::EncoderZlib,    Msg::EncoderZlibFiltered, Msg::EncoderZlibHuffman,
    Msg::EncoderZlibRle, Msg::EncoderZopfli,       Msg::EncoderLibdeflate,
};
static_assert(std::size(kLayoutNames) == kExtendedLayoutCount, "a name for every layout");
static_assert(std::size(kPaletteOrderNames) == kPaletteOrderCount, "a name for every palette order");
static_assert(std::size(kFilterStrategyNames) == kFilterStrategyCount, "a name for every filter strategy");
static_assert(std::size(kEncoderNames) == kDeflateEncoderCount, "a name for every encoder");
static_assert(FILTER_ENTROPY == kFilterChoiceCount, "the filter strategies go on from the filter choices");

template <size_t Count>
const char* nameOf(const Msg (&names)[Count], int32_t value)
{
    return value >= 0 && static_cast<size_t>(value) < Count ? uiText(names[value]) : "?";
}

}  // namespace

const char* extendedLayoutName(int32_t layout)
{
    return nameOf(kLayoutNames, layout);
}

const char* paletteOrderName(int32_t order)
{
    return nameOf(kPaletteOrderNames, order);
}

const char* filterStrategyName(int32_t strategy)
{
    return nameOf(kFilterStrategyNames, strategy);
}

const char* deflateEncoderName(int32_t encoder)
{
    return nameOf(kEncoderNames, encoder);
}

int formatExtendedReport(const ConvertRequest& request, char* out, uint32_t capacity)
{
    if (!(request.options & OPT_EXTENDED_SEARCH))
        return 0;
    char choice[224];
    formatExtendedChoice(request, choice, sizeof choice);
    const int length = std::snprintf(out, capacity, uiText(Msg::ExtendedLine), choice);
    return length < 0 ? 0 : length;
}

int formatExtendedChoice(const ConvertRequest& request, char* out, uint32_t capacity)
{
    if (!(request.options & OPT_EXTENDED_SEARCH))
        return 0;
    const int level = static_cast<int>(requestedExtendedLevel(request));
    int length = 0;
    if (request.extendedLayout == LAYOUT_DEFAULT) {
        length = std::snprintf(out, capacity, uiText(Msg::ExtendedKeptDefault), extendedLayoutName(LAYOUT_DEFAULT),
                               level);
    } else {
        // zopfli's effort: its iterations and the parts it ran in side by side.
        char iterations[48] = "";
        if (request.encoder == ENCODER_ZOPFLI)
            std::snprintf(iterations, sizeof iterations, uiText(Msg::ZopfliEffort), request.encoderIterations,
                          request.encoderParts);
        length = std::snprintf(out, capacity, uiText(Msg::ExtendedChoice), extendedLayoutName(request.extendedLayout),
                               request.extendedDepth, paletteOrderName(request.paletteOrder),
                               filterStrategyName(request.filterStrategy), deflateEncoderName(request.encoder),
                               iterations, level);
    }
    return length < 0 ? 0 : length;
}

int formatAnimationReport(const ConvertRequest& request, char* out, uint32_t capacity)
{
    if (request.frames == 0)
        return 0;
    char level[32] = "";
    if (request.options & OPT_EXTENDED_SEARCH)
        std::snprintf(level, sizeof level, uiText(Msg::AnimationLevel),
                      static_cast<int>(requestedExtendedLevel(request)));
    const int length = std::snprintf(out, capacity, uiText(Msg::AnimationLine), static_cast<unsigned>(request.frames),
                                     extendedLayoutName(request.extendedLayout),
                                     static_cast<int>(request.extendedDepth), level);
    return length < 0 ? 0 : length;
}
