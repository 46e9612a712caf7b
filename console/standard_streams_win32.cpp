#include "console/standard_streams.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>

#include <string>

#include "core/wide_path_win32.h"

void useBinaryStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

FILE* openInputFile(const char* path)
{
    std::wstring wide;
    return widePathOf(path, wide) ? _wfopen(wide.c_str(), L"rb") : nullptr;
}
