#include "framework/logic/scroll_math.h"

#include <algorithm>
#include <limits>

int32_t scrollTarget(const ScrollState& state, unsigned request, unsigned thumb)
{
    const int64_t min = state.min;
    const int64_t max = state.max;
    const int64_t page = state.page;
    int64_t pos = state.pos;
    bool clamp = true;
    switch (request) {
    case kScrollLineUp: pos -= 1; break;
    case kScrollLineDown: pos += 1; break;
    case kScrollPageUp: pos -= page; break;
    case kScrollPageDown: pos += page; break;
    case kScrollThumbPosition:
    case kScrollThumbTrack: pos = thumb & 0xFFFFu; break;
    case kScrollTop:
        pos = max < min ? max : min;
        clamp = false;
        break;
    case kScrollBottom: pos = max; break;
    default: break;
    }
    if (clamp) {
        if (pos < min)
            pos = min;
        else if (pos > max)
            pos = max;
    }
    if (pos + page > max + 1)
        pos = max - page + 1;
    pos = std::max<int64_t>(pos, std::numeric_limits<int32_t>::min());
    pos = std::min<int64_t>(pos, std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(pos);
}
