#pragma once
// The position arithmetic behind a scroll bar's scroll requests.

#include <cstdint>

// Scroll requests; the numbers are the platform's SB_* codes.
enum ScrollRequest : unsigned {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
    kScrollEnd = 8,
};

// What a scroll bar reports of itself: its range, page size and position.
struct ScrollState {
    int32_t min = 0;
    int32_t max = 0;
    uint32_t page = 0;
    int32_t pos = 0;
};

// The new position for a request. Line requests move by 1, page requests by
// the page, thumb requests go to thumb (a 16-bit value from the message), top
// to min (max when max < min), bottom to max, anything else keeps the current
// position. The result is clamped to [min, max] (top excepted) and then pulled
// back so that a full page stays in the range: when pos + page > max + 1 the
// result is max - page + 1, which is below min when the page is larger than
// the range. Computed without overflow; limited to the int32_t range.
int32_t scrollTarget(const ScrollState& state, unsigned request, unsigned thumb);
