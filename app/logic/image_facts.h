#pragma once
// The facts the main window lists about the current image: seven rows of a
// label and a value. The values are produced here from plain data so that the
// window only copies them into its list.
//
// Texts are in the chosen language (core/ui_text.h) and the system code page.
// Not copyable; window thread.

#include <cstdint>

#include "app/logic/conversion_text.h"
#include "core/text_string.h"
#include "core/ui_text.h"

enum InfoRow : int {
    ROW_FILE_NAME = 0,
    ROW_IMAGE_SIZE = 1,
    ROW_ALPHA = 2,
    ROW_INPUT_SIZE = 3,
    ROW_OUTPUT_SIZE = 4,
    ROW_SIZE_CHANGE = 5,
    ROW_OUTPUT_FORMAT = 6,
};
constexpr int kInfoRowCount = 7;

// Labels of the rows (column 0), in row order.
extern const Msg kInfoRowLabels[kInfoRowCount];

// inputSize of an image that came from the clipboard (no file).
constexpr int32_t kNoInputSize = -1;

struct ImageFacts {
    TextString values[kInfoRowCount];   // column 1 of each row

    // Rows 0 to 3 from a newly loaded image; rows 4 to 6 become empty.
    // path is the file as opened (ignored when inputSize is kNoInputSize).
    void describeImage(const char* path, int32_t inputSize, int32_t width, int32_t height,
                       bool hasAlpha);
    // Rows 4 to 6 from a successful conversion of that image. The format row
    // is the default search's encoding; when none ran (hasDefaultEncoding),
    // extendedChoice (the extended search's, formatExtendedChoice), or "----"
    // when that is empty.
    void describeResult(int32_t inputSize, const ConversionResult& result, const char* extendedChoice = "");
};

// out = Msg::InfoByteSize: bytes, then KB with two decimals.
void formatByteSize(TextString& out, uint32_t bytes);
// out = the change from inputSize to outputSize: Msg::InfoGrowth when it
// grew, Msg::InfoShrink otherwise (0 or negative); "----" for clipboard input.
void formatSizeChange(TextString& out, int32_t inputSize, uint32_t outputSize);
