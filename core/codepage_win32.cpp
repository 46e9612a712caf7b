#include "core/codepage.h"

const char kPathSeparator = '\\';

// Paths are UTF-8 here as on POSIX (path_text.h): the code page's own texts
// are never scanned by character.
const char* platformNextChar(const char* p)
{
    return utf8NextChar(p);
}
