#include "tag/FrameText.h"

#include <windows.h>

#include <algorithm>

#include "afx/WidePath.h"

namespace {

bool IsDoubleByteLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

bool IsDoubleByteTrail(unsigned char c)
{
    return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A) || (c >= 0x81 && c <= 0xFE);
}

// A Hangul syllable of KS X 1001, the 2,350 that make up nearly every
// Korean name; the other 8,822 are rare.
bool IsCommonHangul(unsigned c)
{
    const wchar_t w = wchar_t(c);
    unsigned char pair[2] = {};
    return ::WideCharToMultiByte(CP_TEXTS, 0, &w, 1, reinterpret_cast<char*>(pair), 2, nullptr, nullptr) == 2 &&
           pair[0] >= 0xA1 && pair[1] >= 0xA1;
}

// How plausible one UTF-16 unit is as a character of a name. Read in the
// wrong order, an ASCII or Latin-1 letter becomes a unit whose low byte is
// zero, so such a unit counts against its order (a common Hangul syllable
// such as U+AC00 keeps a little, but less than the letter it mirrors);
// controls, lone surrogates, private use and code points no character has
// count against it too. Common Hangul counts most in this program's world.
int UnitPlausibility(unsigned c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD7A4 && c <= 0xF8FF) || (c >= 0xFDD0 && c <= 0xFDEF) ||
        c >= 0xFFF0)
        return -1;
    int score = 0;
    if (c >= 0xAC00 && c <= 0xD7A3)
        score = IsCommonHangul(c) ? 3 : 1;
    else if ((c >= 0x20 && c <= 0x7E) || (c >= 0xC0 && c <= 0x17F && c != 0xD7 && c != 0xF7) ||
             (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3131 && c <= 0x318E) || (c >= 0x4E00 && c <= 0x9FFF))
        score = 1;
    return (c & 0xFF) == 0 ? score - 2 : score;
}

bool IsHighSurrogate(unsigned c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(unsigned c) { return c >= 0xDC00 && c <= 0xDFFF; }

// How plausible a UTF-16 text is in one byte order.
int Plausibility(const std::string& s, size_t from, size_t to, bool bigEndian)
{
    auto unitAt = [&](size_t i) {
        const unsigned a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    int score = 0;
    for (size_t i = from; i + 1 < to; i += 2) {
        const unsigned c = unitAt(i);
        if (IsHighSurrogate(c) && i + 3 < to && IsLowSurrogate(unitAt(i + 2))) {
            score += 1;   // a character past the first 65,536, emoji and the like
            i += 2;
        } else {
            score += UnitPlausibility(c);
        }
    }
    return score;
}

// UTF-16 without a byte order mark, which the library reads as nothing: each
// value that lacks a mark gets the one its bytes make most plausible
// (little-endian, as Windows writers wrote it, where nothing tells).
void MarkUtf16(std::string& data, size_t from)
{
    std::string out = data.substr(0, from);
    size_t start = from;
    while (start <= data.size()) {
        size_t end = start;
        while (end + 1 < data.size() && !(data[end] == 0 && data[end + 1] == 0))
            end += 2;
        if (end + 1 >= data.size())
            end = data.size();
        const unsigned char a = start + 1 < end ? static_cast<unsigned char>(data[start]) : 0;
        const unsigned char b = start + 1 < end ? static_cast<unsigned char>(data[start + 1]) : 0;
        const bool bMarked = (a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF);
        if (start + 1 < end && !bMarked)
            out += Plausibility(data, start, end, true) > Plausibility(data, start, end, false) ? "\xFE\xFF" : "\xFF\xFE";
        out.append(data, start, end - start);
        if (end >= data.size())
            break;
        out.append(2, '\0');
        start = end + 2;
    }
    data.swap(out);
}

} // namespace

bool IsValidCP949(const char* bytes, size_t size)
{
    // Every byte from 0x80 up starts a pair, and the code page knows each
    // pair (the system is asked too: the ranges alone let some unknown
    // pairs through).
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        if (!IsDoubleByteLead(c) || i + 1 >= size || !IsDoubleByteTrail(static_cast<unsigned char>(bytes[i + 1])))
            return false;
        ++i;
    }
    return size == 0 || ::MultiByteToWideChar(CP_TEXTS, MB_ERR_INVALID_CHARS, bytes, int(size), nullptr, 0) > 0;
}

bool IsKoreanCP949(const char* bytes, size_t size)
{
    // CP949's extension pairs take ASCII letters as trail bytes, and so
    // does a Latin-1 capital from \xC0 to \xC6 followed by a letter ("Die
    // \xC4rzte"); a writer of KS X 1001 never made such a pair alone.
    bool bCommonPair = false;
    for (size_t i = 0; i + 1 < size && !bCommonPair; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        bCommonPair = c >= 0xA1 && static_cast<unsigned char>(bytes[i + 1]) >= 0xA1;
        ++i;
    }
    return bCommonPair && IsValidCP949(bytes, size);
}

std::wstring Latin1FrameText(const char* bytes, size_t size)
{
    // A text ends at its first zero, as the library's own Latin-1 reading
    // has it (a comment's text may hold more after it).
    size = std::find(bytes, bytes + size, '\0') - bytes;
    if (IsKoreanCP949(bytes, size))
        return WideFromText(std::string(bytes, size));
    std::wstring text(size, L'\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<unsigned char>(bytes[i]);
    return text;
}

void MarkUtf16Values(std::string& data, size_t from)
{
    MarkUtf16(data, from);
}
