#include "console/standard_streams.h"

void useBinaryStandardStreams()
{
    // POSIX streams carry bytes as they are.
}
