#include "app/file_drop.h"

#include "app/logic/drop_rules.h"
#include "framework/helpers.h"

bool takeDroppedPathOrWarn(HDROP drop, char* buffer, unsigned capacity, const char* tooLongText)
{
    const DroppedPath taken = takeFirstDroppedPath(drop, buffer, capacity);
    DragFinish(drop);
    if (taken == DroppedPath::TooLong)
        warningBox(tooLongText);
    return taken == DroppedPath::Taken;
}
