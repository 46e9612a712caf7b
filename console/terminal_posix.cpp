#include "console/terminal.h"

#include <unistd.h>

bool isTerminal(FILE* stream)
{
    return stream != nullptr && isatty(fileno(stream)) == 1;
}
