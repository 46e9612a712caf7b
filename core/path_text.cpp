#include "core/path_text.h"

#include <cstdio>

namespace {

// The code point of the (W)UTF-8 sequence at p, stepping p past it; -1 (p one
// byte further) when the byte starts no well-formed sequence. A surrogate's
// 3-byte form is taken, so every UTF-16 name comes back as itself.
int32_t decodeUtf8(const unsigned char*& p)
{
    const unsigned lead = *p++;
    if (lead < 0x80)
        return static_cast<int32_t>(lead);
    int length;
    uint32_t value;
    uint32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return -1;
    }
    const unsigned char* q = p;
    for (int k = 0; k < length; ++k, ++q) {
        if ((*q & 0xC0) != 0x80)   // also stops at the terminator
            return -1;
        value = value << 6 | (*q & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF)
        return -1;
    p = q;
    return static_cast<int32_t>(value);
}

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string utf8FromUtf16(const char16_t* text, size_t count)
{
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

bool utf16FromUtf8(const char* text, std::u16string& out)
{
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const int32_t c = decodeUtf8(p);
        if (c < 0) {
            out.clear();
            return false;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return true;
}

std::string pathStandIn(uint32_t codePoint)
{
    char text[16];
    std::snprintf(text, sizeof text, "<U+%04X>", static_cast<unsigned>(codePoint));
    return text;
}

// Shared by the platforms' displayPath: walks path by characters, asking
// shown() for the code-page form of each non-ASCII one (false: not held).
std::string displayPathWith(const char* path, bool (*shown)(uint32_t codePoint, std::string& out))
{
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(path);
    while (*p != 0) {
        const int32_t c = decodeUtf8(p);
        if (c < 0)
            out += pathStandIn(0xFFFD);
        else if (c < 0x80)
            out += static_cast<char>(c);
        else if (!shown(static_cast<uint32_t>(c), out))
            out += pathStandIn(static_cast<uint32_t>(c));
    }
    return out;
}
