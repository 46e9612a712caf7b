#pragma once
// The report line of the extended search's outcome, as the console and the
// desktop log show it: the choice, and the level it was searched at
// ("拡張探索: パレット 4ビット, 隣接順, 圧縮長最小, zopfli 15回 2分割, レベル2";
// "拡張探索: 既定, レベル2" when the default search's file was kept).

#include <cstdint>

#include "engine/png_optimizer.h"

// Writes the line into out (capacity bytes, always terminated when capacity >
// 0). Returns the length of the whole line, as snprintf does; 0 when the
// request did not run the extended search.
int formatExtendedReport(const ConvertRequest& request, char* out, uint32_t capacity);
// The line's text after its "拡張探索: " heading: the choice alone, as the
// folder results show it. Returns as formatExtendedReport.
int formatExtendedChoice(const ConvertRequest& request, char* out, uint32_t capacity);
// The line of an animated PNG written (request.frames above 0): its frames
// and layout, and the level with the extended search
// ("ｱﾆﾒｰｼｮﾝPNG 12ﾌﾚｰﾑ, パレット 4ビット, レベル2"). Returns as
// formatExtendedReport; 0 when no animation was written.
int formatAnimationReport(const ConvertRequest& request, char* out, uint32_t capacity);
