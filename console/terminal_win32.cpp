#include "console/terminal.h"

#include <io.h>

bool isTerminal(FILE* stream)
{
    return stream != nullptr && _isatty(_fileno(stream)) != 0;
}
