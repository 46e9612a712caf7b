#include "app/logic/drop_rules.h"

DroppedPath takeDroppedPath(DropQuery query, void* drop, char* buffer, unsigned capacity)
{
    buffer[0] = 0;
    const unsigned length = query(drop, 0, nullptr, 0);
    if (length == 0)
        return DroppedPath::None;
    if (length > capacity)
        return DroppedPath::TooLong;
    const unsigned copied = query(drop, 0, buffer, capacity + 1);
    if (copied == length)
        return DroppedPath::Taken;
    // The two answers disagree: what the buffer holds is not the path.
    buffer[0] = 0;
    return copied < capacity ? DroppedPath::None : DroppedPath::TooLong;
}
