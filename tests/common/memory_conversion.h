#pragma once
// One conversion into memory, for the suites that link the conversion
// service (header only: the shared test library sits below that layer).

#include <cstdint>
#include <vector>

#include "core/byte_buffer.h"
#include "engine/png_optimizer.h"
#include "services/image_conversion.h"

struct MemoryConversion {
    ConversionReport report;
    std::vector<uint8_t> png;  // the bytes written; empty when nothing was
};

// Converts what conversion holds under settings (call only after a load
// that succeeded).
inline MemoryConversion convertToMemory(ImageConversion& conversion, const ConversionSettings& settings)
{
    AppendBuffer memory;
    ConversionOutput output;
    output.memory = &memory;
    PngOptimizer optimizer;
    MemoryConversion result{conversion.convert(optimizer, output, settings), {}};
    if (memory.data)
        result.png.assign(memory.data, memory.data + memory.used);
    return result;
}
