#pragma once
// The ancillary chunks of a PNG input that a conversion keeps (the console's
// -kc LIST): the selection that a list of chunk names and group words makes,
// and the chunks that a walk over a PNG file's bytes collects for it, sorted
// by where a new file writes them.
//
// Group words: text (tEXt, zTXt, iTXt), colour (iCCP, sRGB, gAMA, cHRM, cICP,
// mDCV, cLLI), exif (eXIf), phys (pHYs), time (tIME), safe (the groups above
// and every other chunk whose safe-to-copy bit is set), all (every ancillary
// chunk). A chunk named by its four letters is kept whatever its kind.
//
// Never kept: critical chunks, tRNS (the new file's own), and the animation
// chunks acTL, fcTL and fdAT. sBIT, bKGD and hIST describe the encoding: they
// are collected as the input has them and rewritten for the layout the new
// file takes, or left out when that layout cannot express them
// (png_file.h). A group word never keeps an unknown chunk whose
// safe-to-copy bit is clear: its meaning may depend on the pixels' encoding.
//
// Stateless functions; any thread.

#include <cstdint>
#include <string>
#include <vector>

// Group bits of ChunkSelection::groups.
constexpr uint16_t CHUNK_GROUP_TEXT = 0x1;
constexpr uint16_t CHUNK_GROUP_COLOUR = 0x2;
constexpr uint16_t CHUNK_GROUP_EXIF = 0x4;
constexpr uint16_t CHUNK_GROUP_PHYS = 0x8;
constexpr uint16_t CHUNK_GROUP_TIME = 0x10;
constexpr uint16_t CHUNK_GROUP_SAFE = 0x20;
constexpr uint16_t CHUNK_GROUP_ALL = 0x40;

// The chunks a conversion keeps.
struct ChunkSelection {
    uint16_t groups = 0;              // CHUNK_GROUP_* bits
    std::vector<std::string> names;   // four-letter chunk names, each once

    bool empty() const { return groups == 0 && names.empty(); }
    // Whether the chunk of this type (four bytes) is kept.
    bool selects(const uint8_t* type) const;
    // Adds other's groups and names.
    void add(const ChunkSelection& other);
};

// Reads a list of chunk names and group words separated by commas or spaces
// ("text,pHYs", "colour exif"); group words in any case, names exactly as
// the format spells them. False for an empty list or a word that is neither
// (it goes to badWord): a word that is not four letters, or the name of a
// chunk that is never kept.
bool parseChunkSelection(const char* list, ChunkSelection& selection, std::string& badWord);

// The colour chunks the extended search keeps without a list: sRGB, gAMA,
// cHRM and iCCP.
ChunkSelection extendedSearchColourChunks();

// The chunks whose meaning depends on the encoding (KeptChunkSet's layout
// fields; LAYOUT_CHUNK_* bits).
constexpr uint16_t LAYOUT_CHUNK_SBIT = 0x1;
constexpr uint16_t LAYOUT_CHUNK_BKGD = 0x2;
constexpr uint16_t LAYOUT_CHUNK_HIST = 0x4;

// The chunks collected from one PNG input. The blocks hold whole chunks
// (length, type, data, CRC) as the file has them, each with a correct CRC,
// in file order.
struct KeptChunkSet {
    std::vector<uint8_t> beforePalette;   // written right after IHDR (the colour chunks among them)
    std::vector<uint8_t> beforeData;      // after PLTE and tRNS, before the image data
    std::vector<uint8_t> afterData;       // after the image data (after the last frame), before IEND
    // The data of the input's sBIT, bKGD and hIST (empty: none or not
    // selected), and the input's encoding they are written in.
    std::vector<uint8_t> significantBits;
    std::vector<uint8_t> background;
    std::vector<uint8_t> histogram;
    uint8_t colourType = 0;               // IHDR's colour type and bit depth
    uint8_t bitDepth = 0;
    std::vector<uint8_t> palette;         // PLTE data (red, green, blue per entry)
    std::vector<uint8_t> paletteAlpha;    // a palette input's tRNS data
    // Selected chunks left out while reading, by name in file order: a wrong
    // CRC, above kMaxKeptChunkBytes, a second of a kind the format allows
    // once, or an unknown chunk unsafe to copy that only a group word named.
    std::vector<std::string> leftOut;

    bool empty() const
    {
        return beforePalette.empty() && beforeData.empty() && afterData.empty() && significantBits.empty() &&
               background.empty() && histogram.empty();
    }
    // The LAYOUT_CHUNK_* bits of the layout chunks held.
    uint16_t layoutChunks() const;
};

// Collects into set (cleared first) the chunks of the PNG file's content
// (size bytes at data) that selection keeps. False when the bytes are no
// PNG; a file cut short gives the chunks before the cut.
bool collectKeptChunks(const uint8_t* data, uint32_t size, const ChunkSelection& selection, KeptChunkSet& set);

// The names of the chunks a file written with set holds, in the order
// written, each name once; the layout chunks in `dropped` (LAYOUT_CHUNK_*
// bits) left out.
std::vector<std::string> keptChunkNames(const KeptChunkSet& set, uint16_t dropped);
// The names of the layout chunks in `dropped`, in the order sBIT, bKGD, hIST.
std::vector<std::string> layoutChunkNames(uint16_t dropped);
