#include "console/report_text.h"

#include <cstdint>
#include <cstring>

#include "core/path_text.h"

namespace {

// Bytes of the UTF-8 sequence that lead starts, 0 for a byte no sequence starts with.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The sequence at p (length bytes, all present) is well formed: no overlong
// form, no surrogate, nothing above U+10FFFF.
bool wellFormed(const unsigned char* p, int length)
{
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return false;
    }
    if (length == 3)
        return !(p[0] == 0xE0 && p[1] < 0xA0) && !(p[0] == 0xED && p[1] >= 0xA0);
    if (length == 4)
        return !(p[0] == 0xF0 && p[1] < 0x90) && !(p[0] == 0xF4 && p[1] >= 0x90);
    return true;
}

}  // namespace

bool nameToUtf8(const char* name, std::string& utf8)
{
    utf8 = name;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8.c_str());
    const unsigned char* end = p + utf8.size();
    while (p < end) {
        const int length = sequenceLength(*p);
        if (length == 0 || end - p < length || !wellFormed(p, length))
            return false;
        p += length;
    }
    return true;
}

std::string reportName(const char* path)
{
    const std::string displayed = displayPath(path);
    const char* name = displayed.c_str();
    if (std::strpbrk(name, "\t\r\n") == nullptr)
        return displayed;
    std::string shown;
    for (const char* p = name; *p != 0; ++p) {
        switch (*p) {
        case '\t': shown += "\\t"; break;
        case '\r': shown += "\\r"; break;
        case '\n': shown += "\\n"; break;
        case '\\': shown += "\\\\"; break;
        default: shown += *p; break;
        }
    }
    return shown;
}

std::string base64(const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            text += k <= count ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return text;
}
