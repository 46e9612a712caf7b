#pragma once
// The texts of a single-image conversion: the pieces of the output dialog's
// log, its closing result block, and the encoding summary of the main window.
//
// All texts are in the system code page. Pure functions; any thread.

#include <cstdint>

#include "services/conversion.h"   // ConversionResult, filterDisplayName, formatEncodingSummary
#include "services/progress_event.h"

class TextString;

// out = the log piece for one progress event: a bit-depth heading line, a
// trial's start ("filter f ... " or "zw w zm m ... ") or its byte count and
// line end, or a dot for a step of the extended search.
void formatProgressPiece(TextString& out, const ProgressEvent& event);

// out = the block appended to the log after a successful run; it begins with
// a line end and has none after its last line. The line of the default
// search's encoding is left out when none ran (hasDefaultEncoding).
void formatResultBlock(TextString& out, const ConversionResult& result);
