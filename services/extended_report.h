#pragma once
// The report line of the extended search's outcome, as the console and the
// desktop log show it: the choice, and the level it was searched at
// (Msg::ExtendedLine: "extended search: palette 4-bit, by neighbours, min
// compressed, zopfli 15 iterations 2 parts, level 2"; Msg::ExtendedKeptDefault
// when the default search's file was kept), and the display names of the
// engine's choices. In the chosen language (core/ui_text.h).

#include <cstdint>

#include "engine/png_optimizer.h"

// Writes the line into out (capacity bytes, always terminated when capacity >
// 0). Returns the length of the whole line, as snprintf does; 0 when the
// request did not run the extended search.
int formatExtendedReport(const ConvertRequest& request, char* out, uint32_t capacity);
// The line's text after its heading: the choice alone, as the folder results
// show it. Returns as formatExtendedReport.
int formatExtendedChoice(const ConvertRequest& request, char* out, uint32_t capacity);
// The line of an animated PNG written (request.frames above 0): its frames
// and layout, and the level with the extended search (Msg::AnimationLine:
// "animated PNG 12 frames, palette 4-bit, level 2"). Returns as
// formatExtendedReport; 0 when no animation was written.
int formatAnimationReport(const ConvertRequest& request, char* out, uint32_t capacity);

// The names of a layout (ExtendedLayout), a palette order (PaletteOrder), a
// filter strategy (FilterStrategy; the filter choices are its first values)
// and an encoder (DeflateEncoder); "?" for a value out of range.
const char* extendedLayoutName(int32_t layout);
const char* paletteOrderName(int32_t order);
const char* filterStrategyName(int32_t strategy);
const char* deflateEncoderName(int32_t encoder);
