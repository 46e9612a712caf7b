#include "core/codepage.h"

const char kPathSeparator = '/';

const char* platformNextChar(const char* p)
{
    return utf8NextChar(p);
}
