#include "core/codepage.h"

#include <windows.h>

const char kPathSeparator = '\\';

const char* platformNextChar(const char* p)
{
    return *p ? CharNextA(p) : p;
}
