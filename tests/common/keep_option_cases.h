#pragma once
// The keeping options (-kc LIST, -ca) as one table for every front end: the
// console, the C library and the desktop program's settings file each take a
// case's list and flag and must convert the same input into a file holding
// exactly the chunks named, with the invisible colours cleaned or not.

#include <cstdint>
#include <string>
#include <vector>

struct KeepOptionCase {
    const char* list;                  // as -kc takes it; "" for none
    bool cleanAlpha;                   // -ca
    bool accepted;                     // false: a list every front end refuses
    std::vector<std::string> kept;     // the chunk names of the file written, in order
};

extern const std::vector<KeepOptionCase> kKeepOptionCases;

// The input of every case: an RGBA picture whose invisible pixels hold noise, carrying gAMA, tEXt, pHYs (before its image data) and tIME (after).
std::vector<uint8_t> keepOptionInput();

// The names of a PNG's ancillary chunks in file order, tRNS left out.
std::vector<std::string> ancillaryChunkNames(const std::vector<uint8_t>& png);

// Whether a PNG's invisible pixels (alpha 0, as libpng decodes them) all
// share one colour, as cleaning leaves them: the picture of keepOptionInput
// has several.
bool invisibleColoursMerged(const std::vector<uint8_t>& png);
