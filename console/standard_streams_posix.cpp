#include "console/standard_streams.h"

void useBinaryStandardStreams()
{
    // POSIX streams carry bytes as they are.
}

FILE* openInputFile(const char* path)
{
    return std::fopen(path, "rb");
}
