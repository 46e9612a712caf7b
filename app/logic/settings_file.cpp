#include "app/logic/settings_file.h"

#include <climits>
#include <cstring>

#include "core/file_handle.h"
#include "core/size_limits.h"
#include "core/text_string.h"

namespace {

// Length of the line end at p (2 for CR LF, 1 for a lone CR or LF), 0 when p
// does not stand at a line end.
int lineEndLength(const char* p)
{
    if (*p == '\r')
        return p[1] == '\n' ? 2 : 1;
    return *p == '\n' ? 1 : 0;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool SettingsFile::load(const char* path)
{
    release();
    FileHandle file;
    if (!file.openRead(path))
        return false;
    const uint64_t fileBytes = file.size();
    if (fileBytes > kMaxBlockBytes)
        return false;
    const uint32_t size = uint32_t(fileBytes);
    uint8_t* bytes = allocateText(size);
    if (!bytes)
        return false;
    // A file that shrinks while being read keeps what was read.
    uint32_t done = 0;
    while (done < size) {
        const uint32_t n = file.read(bytes + done, size - done);
        if (n == 0)
            break;
        done += n;
    }
    bytes[done] = 0;
    file.close();
    return split();
}

bool SettingsFile::loadText(const char* bytes, uint32_t size)
{
    release();
    uint8_t* block = allocateText(size);
    if (!block)
        return false;
    std::memcpy(block, bytes, size);
    block[size] = 0;
    return split();
}

uint8_t* SettingsFile::allocateText(uint32_t size)
{
    uint32_t blockSize = 0;
    if (size == 0 || !checkedAdd(size, 1, blockSize))
        return nullptr;
    return text.allocate(blockSize, false);
}

bool SettingsFile::split()
{
    char* const start = reinterpret_cast<char*>(text.data);
    uint32_t count = 1;
    for (const char* p = start; *p != 0;) {
        const int end = lineEndLength(p);
        if (end) {
            ++count;
            p += end;
        } else {
            ++p;
        }
    }
    uint32_t tableBytes = 0;
    if (!checkedMul(count, static_cast<uint32_t>(sizeof(char*)), tableBytes) ||
        !lines.allocate(tableBytes, false)) {
        text.release();
        return false;
    }
    auto** table = reinterpret_cast<char**>(lines.data);
    int32_t n = 0;
    char* lineStart = start;
    for (char* p = start; *p != 0;) {
        const int end = lineEndLength(p);
        if (end) {
            std::memset(p, 0, static_cast<size_t>(end));
            table[n++] = lineStart;
            p += end;
            lineStart = p;
        } else {
            ++p;
        }
    }
    table[n++] = lineStart;
    lineCount = n;
    return true;
}

void SettingsFile::release()
{
    text.release();
    lines.release();
    lineCount = 0;
    section = -1;
}

void SettingsFile::selectSection(const char* name)
{
    section = -1;
    const int n = static_cast<int>(std::strlen(name));
    for (int32_t i = 0; i < lineCount; ++i) {
        const char* candidate = line(i);
        if (candidate[0] != '[' || std::strlen(candidate) < static_cast<size_t>(n) + 2)
            continue;
        if (settingsNamesEqual(candidate + 1, name, n) && candidate[n + 1] == ']') {
            section = i;
            return;
        }
    }
}

const char* SettingsFile::findValue(const char* key) const
{
    if (section < 0)
        return nullptr;
    const int n = static_cast<int>(std::strlen(key));
    for (int32_t i = section + 1; i < lineCount; ++i) {
        const char* candidate = line(i);
        if (candidate[0] == '[')
            return nullptr;
        if (std::strlen(candidate) < static_cast<size_t>(n) + 1)
            continue;
        if (settingsNamesEqual(candidate, key, n) && candidate[n] == '=')
            return candidate + n + 1;
    }
    return nullptr;
}

int32_t SettingsFile::getInt(const char* key, int32_t defaultValue) const
{
    const char* value = findValue(key);
    return value ? parseSettingsInt(value) : defaultValue;
}

void SettingsFile::getString(const char* key, TextString& out, const char* defaultValue) const
{
    const char* value = findValue(key);
    out.assign(value ? value : defaultValue);
}

int32_t parseSettingsInt(const char* text)
{
    const char* p = text;
    while (isSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate the magnitude with room for INT32_MIN; stop growing once it
    // is out of range so that long digit runs cannot overflow.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (*p - '0');
    }
    if (magnitude > limit)
        magnitude = limit;
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}
