#pragma once
// Pixel storage of the animation readers: frames hold std::vector, and a
// crafted file may ask for a large one, so the heap's refusal must come back
// as a result, never as an exception or an abort.

#include <cstdint>
#include <vector>

// Makes pixels count words of value (any earlier content is dropped). False,
// pixels empty, when the heap refuses. The block is first asked for without
// throwing, so that a heap ceiling that refuses large requests is met as a
// refusal.
bool assignPixels(std::vector<uint32_t>& pixels, uint32_t count, uint32_t value);
