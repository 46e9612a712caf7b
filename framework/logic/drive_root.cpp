#include "framework/logic/drive_root.h"

#include <cstring>

bool trimDriveRoot(char* path)
{
    if (std::strlen(path) != 3 || path[1] != ':' || path[2] != '\\')
        return false;
    path[2] = 0;
    return true;
}
