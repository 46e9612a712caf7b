#include "app/logic/drop_rules.h"

#include <windows.h>
// DragQueryFileW.
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/wide_path_win32.h"

namespace {

// The drop's path number index as UTF-8, answered the way DropQuery asks:
// its length in bytes, or the bytes copied into buffer (at most size - 1).
unsigned queryDrop(void* drop, unsigned index, char* buffer, unsigned size)
{
    const auto handle = static_cast<HDROP>(drop);
    const UINT units = DragQueryFileW(handle, index, nullptr, 0);
    if (units == 0) {
        if (buffer != nullptr && size > 0)
            buffer[0] = 0;
        return 0;
    }
    std::vector<wchar_t> wide(static_cast<size_t>(units) + 1, L'\0');
    if (DragQueryFileW(handle, index, wide.data(), units + 1) != units)
        return 0;
    const std::string path = pathOfWide(wide.data());
    if (buffer == nullptr)
        return static_cast<unsigned>(path.size());
    if (size == 0)
        return 0;
    const size_t copied = path.size() < size - 1 ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = 0;
    return static_cast<unsigned>(copied);
}

}  // namespace

DroppedPath takeFirstDroppedPath(void* dropHandle, char* buffer, unsigned capacity)
{
    return takeDroppedPath(queryDrop, dropHandle, buffer, capacity);
}
