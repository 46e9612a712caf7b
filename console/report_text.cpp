#include "console/report_text.h"

#include <cstdint>
#include <cstring>

std::string reportName(const char* name)
{
    if (std::strpbrk(name, "\t\r\n") == nullptr)
        return name;
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
