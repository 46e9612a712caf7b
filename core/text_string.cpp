#include "core/text_string.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"

namespace {

int sizedCapacity(int n)
{
    if (n < 64) return 63;
    if (n < 128) return 127;
    if (n < 256) return 255;
    if (n < 512) return 511;
    return n;
}

int grownCapacity(int n)
{
    if (n < 128) return 127;
    if (n < 256) return 255;
    if (n < 512) return 511;
    if (n < 1024) return 1023;
    if (n < 2048) return 2047;
    return n;
}

char* newBuffer(int capacity)
{
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(capacity) + 1));
    if (!buffer)
        std::abort();   // the string type assumes the heap succeeds
    buffer[0] = 0;
    buffer[capacity] = 0;
    return buffer;
}

}  // namespace

TextString::TextString() : text_(newBuffer(63)), capacity_(63) {}

TextString::TextString(int n) : capacity_(sizedCapacity(n))
{
    text_ = newBuffer(capacity_);
}

TextString::TextString(const char* text) : TextString()
{
    assign(text);
}

TextString::~TextString()
{
    std::free(text_);
}

void TextString::reserve(int n)
{
    if (capacity_ >= n)
        return;
    const int capacity = grownCapacity(n);
    char* buffer = newBuffer(capacity);
    std::memcpy(buffer, text_, std::strlen(text_) + 1);
    std::free(text_);
    text_ = buffer;
    capacity_ = capacity;
}

void TextString::assign(const char* text)
{
    if (text == text_)
        return;
    const size_t n = std::strlen(text);
    reserve(static_cast<int>(n));
    std::memmove(text_, text, n + 1);
}

void TextString::append(const char* text)
{
    const size_t own = std::strlen(text_);
    const size_t n = std::strlen(text);
    if (text >= text_ && text <= text_ + capacity_) {
        // Appending a part of this string to itself: copy it out first.
        TextString copy(text);
        append(copy.c_str());
        return;
    }
    reserve(static_cast<int>(own + n));
    std::memcpy(text_ + own, text, n + 1);
}

void TextString::appendChar(char ch)
{
    const int own = length();
    reserve(own + 1);
    text_[own] = ch;
    text_[own + 1] = 0;
}

int TextString::length() const
{
    return static_cast<int>(std::strlen(text_));
}

void TextString::setCharAt(int i, char ch)
{
    if (i >= 0 && i < capacity_)
        text_[i] = ch;
}

char TextString::charAt(int i) const
{
    if (i >= 0 && i <= capacity_)
        return text_[i];
    return 0;
}

void TextString::substring(TextString& out, int start, int count) const
{
    const int own = length();
    if (start < 0 || start > own) {
        out.clear();
        return;
    }
    const int remaining = own - start;
    if (count < 0 || count > remaining)
        count = remaining;
    out.reserve(count);
    std::memmove(out.text_, text_ + start, static_cast<size_t>(count));
    out.text_[count] = 0;
}

void TextString::clear()
{
    text_[0] = 0;
}

int TextString::findFirst(char ch, int from) const
{
    if (from < 0 || from > length())
        return -1;
    for (const char* p = text_ + from; *p; p = nextChar(p)) {
        if (*p == ch)
            return static_cast<int>(p - text_);
    }
    return -1;
}

int TextString::findLast(char ch) const
{
    int found = -1;
    for (const char* p = text_; *p; p = nextChar(p)) {
        if (*p == ch)
            found = static_cast<int>(p - text_);
    }
    return found;
}

void TextString::replaceChar(char ch, char to)
{
    for (char* p = text_; *p;) {
        if (*p == ch) {
            *p = to;
            ++p;
        } else {
            p = const_cast<char*>(nextChar(p));
        }
    }
}

void TextString::truncateToFolder()
{
    int cut = findLast('\\');
    if (cut < 0)
        cut = findLast('/');
    text_[cut < 0 ? 0 : cut] = 0;
}

int TextString::extensionDot() const
{
    const int dot = findLast('.');
    const int backslash = findLast('\\');
    const int slash = findLast('/');
    const int separator = backslash > slash ? backslash : slash;
    return dot > separator ? dot : -1;
}

void TextString::getExtension(TextString& out) const
{
    const int dot = extensionDot();
    if (dot < 0)
        out.clear();
    else
        substring(out, dot + 1, -1);
}

void TextString::getBaseName(TextString& out) const
{
    int separator = findLast('\\');
    if (separator < 0)
        separator = findLast('/');
    const int start = separator + 1;
    const int dot = extensionDot();
    substring(out, start, dot < start ? -1 : dot - start);
}

int TextString::replaceExtension(const char* ext)
{
    const int dot = extensionDot();
    if (dot < 0)
        return -1;
    text_[dot + 1] = 0;
    append(ext);
    return 0;
}

void TextString::stripQuotes()
{
    const int n = length();
    if (n < 3 || text_[0] != '"')
        return;
    std::memmove(text_, text_ + 1, static_cast<size_t>(n - 2));
    text_[n - 2] = 0;
}
