// The stand-ins for builds without zopfli and libdeflate (see
// engine/CMakeLists.txt): the extended search then ranks and encodes with
// zlib alone.

#include "engine/extended_encoders.h"

bool optimalEncodersBuilt()
{
    return false;
}

bool zopfliEncode(const uint8_t*, uint32_t, int32_t, std::vector<uint8_t>&)
{
    return false;
}

bool libdeflateEncode(const uint8_t*, uint32_t, std::vector<uint8_t>&)
{
    return false;
}
