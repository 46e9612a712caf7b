#include "app/logic/drop_rules.h"

#include <windows.h>
// DragQueryFileA.
#include <shellapi.h>

namespace {

unsigned queryDrop(void* drop, unsigned index, char* buffer, unsigned size)
{
    return DragQueryFileA(static_cast<HDROP>(drop), index, buffer, size);
}

}  // namespace

DroppedPath takeFirstDroppedPath(void* dropHandle, char* buffer, unsigned capacity)
{
    return takeDroppedPath(queryDrop, dropHandle, buffer, capacity);
}
