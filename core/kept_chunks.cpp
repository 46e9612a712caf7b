#include "core/kept_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/png_bytes.h"
#include "core/size_limits.h"

namespace {

// A chunk's length, type and CRC around its data.
constexpr uint32_t kChunkFrameBytes = 12;

struct ChunkGroup {
    const char* word;
    uint16_t bit;
    std::vector<const char*> types;
};

const ChunkGroup kChunkGroups[] = {
    {"text", CHUNK_GROUP_TEXT, {"tEXt", "zTXt", "iTXt"}},
    {"colour", CHUNK_GROUP_COLOUR, {"iCCP", "sRGB", "gAMA", "cHRM", "cICP", "mDCV", "cLLI"}},
    {"color", CHUNK_GROUP_COLOUR, {}},
    {"exif", CHUNK_GROUP_EXIF, {"eXIf"}},
    {"phys", CHUNK_GROUP_PHYS, {"pHYs"}},
    {"time", CHUNK_GROUP_TIME, {"tIME"}},
    {"safe", CHUNK_GROUP_SAFE, {}},
    {"all", CHUNK_GROUP_ALL, {}},
};

// Ancillary chunks that a new file never takes from its input.
const char* const kNeverKept[] = {"tRNS", "acTL", "fcTL", "fdAT"};
// The chunks the format allows once in a file.
const char* const kOnceOnly[] = {"iCCP", "sRGB", "gAMA", "cHRM", "cICP", "mDCV", "cLLI", "sBIT",
                                 "bKGD", "hIST", "pHYs", "tIME", "eXIf"};
// Chunks that must come before PLTE wherever the input had them.
const char* const kBeforePalette[] = {"iCCP", "sRGB", "gAMA", "cHRM", "cICP", "mDCV", "cLLI"};
const char* const kLayoutChunkTypes[] = {"sBIT", "bKGD", "hIST"};   // LAYOUT_CHUNK_* bit i: 1 << i

bool sameType(const uint8_t* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

template <size_t Count>
bool isOneOf(const uint8_t* type, const char* const (&names)[Count])
{
    return std::any_of(names, names + Count, [&](const char* name) { return sameType(type, name); });
}

bool isLetter(uint8_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isKeepableType(const uint8_t* type)
{
    return std::all_of(type, type + 4, isLetter) && (type[0] & 0x20) && !isOneOf(type, kNeverKept);
}

bool isGroupMember(const uint8_t* type)
{
    for (const ChunkGroup& group : kChunkGroups)
        for (const char* member : group.types)
            if (sameType(type, member))
                return true;
    return false;
}

// Which LAYOUT_CHUNK_* bit a type is, or 0.
uint16_t layoutChunkBit(const uint8_t* type)
{
    for (size_t i = 0; i < sizeof kLayoutChunkTypes / sizeof kLayoutChunkTypes[0]; ++i)
        if (sameType(type, kLayoutChunkTypes[i]))
            return static_cast<uint16_t>(1u << i);
    return 0;
}

std::string lowerCase(std::string word)
{
    for (char& c : word)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return word;
}

void appendChunkNames(const std::vector<uint8_t>& block, std::vector<std::string>& names)
{
    for (size_t at = 0; at + kChunkFrameBytes <= block.size();) {
        const std::string name(reinterpret_cast<const char*>(block.data() + at + 4), 4);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        at += kChunkFrameBytes + readBE32(block.data() + at);
    }
}

}  // namespace

bool ChunkSelection::selects(const uint8_t* type) const
{
    if (!isKeepableType(type))
        return false;
    const std::string name(reinterpret_cast<const char*>(type), 4);
    if (std::find(names.begin(), names.end(), name) != names.end())
        return true;
    if (groups & CHUNK_GROUP_ALL)
        return true;
    for (const ChunkGroup& group : kChunkGroups)
        if ((groups & group.bit) && std::any_of(group.types.begin(), group.types.end(),
                                                [&](const char* member) { return sameType(type, member); }))
            return true;
    return (groups & CHUNK_GROUP_SAFE) && (isGroupMember(type) || (type[3] & 0x20));
}

void ChunkSelection::add(const ChunkSelection& other)
{
    groups |= other.groups;
    for (const std::string& name : other.names)
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
}

bool parseChunkSelection(const char* list, ChunkSelection& selection, std::string& badWord)
{
    selection = ChunkSelection();
    badWord.clear();
    std::string word;
    const std::string text = std::string(list ? list : "") + ",";
    for (const char c : text) {
        if (c != ',' && c != ' ') {
            word += c;
            continue;
        }
        if (word.empty())
            continue;
        const std::string lower = lowerCase(word);
        const auto group = std::find_if(std::begin(kChunkGroups), std::end(kChunkGroups),
                                        [&](const ChunkGroup& g) { return lower == g.word; });
        if (group != std::end(kChunkGroups)) {
            selection.groups |= group->bit;
        } else if (word.size() == 4 && isKeepableType(reinterpret_cast<const uint8_t*>(word.data()))) {
            if (std::find(selection.names.begin(), selection.names.end(), word) == selection.names.end())
                selection.names.push_back(word);
        } else {
            badWord = word;
            return false;
        }
        word.clear();
    }
    return !selection.empty();
}

ChunkSelection extendedSearchColourChunks()
{
    ChunkSelection selection;
    selection.names = {"sRGB", "gAMA", "cHRM", "iCCP"};
    return selection;
}

uint16_t KeptChunkSet::layoutChunks() const
{
    return static_cast<uint16_t>((significantBits.empty() ? 0 : LAYOUT_CHUNK_SBIT) |
                                 (background.empty() ? 0 : LAYOUT_CHUNK_BKGD) |
                                 (histogram.empty() ? 0 : LAYOUT_CHUNK_HIST));
}

bool collectKeptChunks(const uint8_t* data, uint32_t size, const ChunkSelection& selection, KeptChunkSet& set)
{
    set = KeptChunkSet();
    if (!data || size < kPngSignatureBytes || std::memcmp(data, kPngSignature, kPngSignatureBytes) != 0)
        return false;
    // Chunks met before the image data and before any PLTE: before PLTE in
    // the new file when the input has one, else right before the image data.
    std::vector<uint8_t> pending;
    bool paletteSeen = false;
    bool dataSeen = false;
    uint16_t onceSeen = 0;   // bit i: kOnceOnly[i] kept already
    for (uint32_t at = kPngSignatureBytes; size - at >= kChunkFrameBytes;) {
        const uint32_t length = readBE32(data + at);
        const uint8_t* type = data + at + 4;
        if (length > size - at - kChunkFrameBytes || sameType(type, "IEND"))
            break;
        const uint8_t* body = type + 4;
        const uint8_t* whole = data + at;
        at += kChunkFrameBytes + length;
        if (sameType(type, "IHDR") && length >= 13) {
            set.bitDepth = body[8];
            set.colourType = body[9];
        } else if (sameType(type, "PLTE") && !dataSeen) {
            set.palette.assign(body, body + length);
            set.beforePalette.insert(set.beforePalette.end(), pending.begin(), pending.end());
            pending.clear();
            paletteSeen = true;
        } else if (sameType(type, "tRNS") && !dataSeen) {
            set.paletteAlpha.assign(body, body + length);
        } else if (sameType(type, "IDAT") || sameType(type, "fdAT")) {
            dataSeen = true;
        }
        if (!selection.selects(type))
            continue;
        const std::string name(reinterpret_cast<const char*>(type), 4);
        // An unknown chunk unsafe to copy is kept only when named.
        const bool named = std::find(selection.names.begin(), selection.names.end(), name) != selection.names.end();
        if (!named && !isGroupMember(type) && !layoutChunkBit(type) && !sameType(type, "sPLT") && !(type[3] & 0x20)) {
            set.leftOut.push_back(name);
            continue;
        }
        const uint32_t crc = static_cast<uint32_t>(crc32(0, type, length + 4));
        const auto once = std::find_if(std::begin(kOnceOnly), std::end(kOnceOnly),
                                       [&](const char* kind) { return sameType(type, kind); });
        const uint16_t onceBit = once == std::end(kOnceOnly) ? 0 : uint16_t(1u << (once - std::begin(kOnceOnly)));
        if (onceBit & onceSeen)
            continue;   // a second of a kind: the first one holds
        if (length > kMaxKeptChunkBytes || crc != readBE32(body + length)) {
            set.leftOut.push_back(name);
            continue;
        }
        onceSeen |= onceBit;
        switch (layoutChunkBit(type)) {
        case LAYOUT_CHUNK_SBIT: set.significantBits.assign(body, body + length); continue;
        case LAYOUT_CHUNK_BKGD: set.background.assign(body, body + length); continue;
        case LAYOUT_CHUNK_HIST: set.histogram.assign(body, body + length); continue;
        default: break;
        }
        std::vector<uint8_t>& block = dataSeen                     ? set.afterData
                                      : isOneOf(type, kBeforePalette) ? set.beforePalette
                                      : paletteSeen                  ? set.beforeData
                                                                     : pending;
        block.insert(block.end(), whole, whole + kChunkFrameBytes + length);
    }
    set.beforeData.insert(set.beforeData.begin(), pending.begin(), pending.end());
    return true;
}

std::vector<std::string> keptChunkNames(const KeptChunkSet& set, uint16_t dropped)
{
    std::vector<std::string> names;
    const uint16_t kept = static_cast<uint16_t>(set.layoutChunks() & ~dropped);
    appendChunkNames(set.beforePalette, names);
    if (kept & LAYOUT_CHUNK_SBIT)
        names.push_back("sBIT");
    if (kept & LAYOUT_CHUNK_BKGD)
        names.push_back("bKGD");
    if (kept & LAYOUT_CHUNK_HIST)
        names.push_back("hIST");
    appendChunkNames(set.beforeData, names);
    appendChunkNames(set.afterData, names);
    return names;
}

std::vector<std::string> layoutChunkNames(uint16_t dropped)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < sizeof kLayoutChunkTypes / sizeof kLayoutChunkTypes[0]; ++i)
        if (dropped & (1u << i))
            names.push_back(kLayoutChunkTypes[i]);
    return names;
}
