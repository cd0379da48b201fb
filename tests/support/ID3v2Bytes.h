#pragma once
// ID3v2 tags built byte by byte, independently of the code under test, so
// that a case spells exactly what a writer put on the disk. One builder for
// every test: the byte-level pieces (tag_bytes) and, on them, whole songs
// (testing_support).
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestFiles.h"

namespace tag_bytes {

using testing_support::Bytes;

inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes Synchsafe(uint32_t n)
{
    return {static_cast<unsigned char>((n >> 21) & 0x7F), static_cast<unsigned char>((n >> 14) & 0x7F),
            static_cast<unsigned char>((n >> 7) & 0x7F), static_cast<unsigned char>(n & 0x7F)};
}

inline Bytes BigEndian(uint32_t n, int count)
{
    Bytes b;
    for (int i = count - 1; i >= 0; --i)
        b.push_back(static_cast<unsigned char>(n >> (8 * i)));
    return b;
}

// A frame as version writes it: v2.2 a three-letter id and a 24-bit size,
// v2.3 a plain 32-bit size, v2.4 a synchsafe one; flags only from v2.3.
inline Bytes Frame(int version, const std::string& id, const Bytes& body, uint16_t flags = 0)
{
    if (version == 2)
        return B(id) + BigEndian(uint32_t(body.size()), 3) + body;
    const Bytes size = version == 3 ? BigEndian(uint32_t(body.size()), 4) : Synchsafe(uint32_t(body.size()));
    return B(id) + size + BigEndian(flags, 2) + body;
}

enum Encoding : unsigned char { LATIN1 = 0, UTF16 = 1, UTF16BE = 2, UTF8 = 3 };

inline Bytes Text(unsigned char encoding, const Bytes& text) { return Bytes{encoding} + text; }

// A comment frame's body: language, description, its terminator, the text.
inline Bytes Comment(unsigned char encoding, const Bytes& description, const Bytes& text,
                     const std::string& language = "eng")
{
    const Bytes zero = encoding == UTF16 || encoding == UTF16BE ? Bytes{0, 0} : Bytes{0};
    return Bytes{encoding} + B(language) + description + zero + text;
}

enum TagFlags : unsigned char { UNSYNC = 0x80, EXTENDED = 0x40, FOOTER = 0x10 };

// The header, then body (frames, an extended header if any) and padding
// zeros; a footer mirrors the header where the flags say so.
inline Bytes Tag(int version, const Bytes& body, unsigned char flags = 0, size_t padding = 0)
{
    const Bytes inner = body + Bytes(padding, 0);
    const Bytes header = B("ID3") + Bytes{static_cast<unsigned char>(version), 0, flags} + Synchsafe(uint32_t(inner.size()));
    Bytes tag = header + inner;
    if (flags & FOOTER)
        tag = tag + B("3DI") + Bytes{static_cast<unsigned char>(version), 0, flags} + Synchsafe(uint32_t(inner.size()));
    return tag;
}

// A zero after every 0xFF, as unsynchronisation writes it (a reader drops a
// zero that follows 0xFF).
inline Bytes Unsynchronised(const Bytes& b)
{
    Bytes out;
    for (unsigned char c : b) {
        out.push_back(c);
        if (c == 0xFF)
            out.push_back(0);
    }
    return out;
}

inline Bytes Utf16LE(const std::wstring& s, bool bom = true)
{
    Bytes b = bom ? Bytes{0xFF, 0xFE} : Bytes{};
    for (wchar_t c : s) {
        b.push_back(static_cast<unsigned char>(c & 0xFF));
        b.push_back(static_cast<unsigned char>(c >> 8));
    }
    return b;
}

inline Bytes Utf16BE(const std::wstring& s, bool bom = true)
{
    Bytes b = bom ? Bytes{0xFE, 0xFF} : Bytes{};
    for (wchar_t c : s) {
        b.push_back(static_cast<unsigned char>(c >> 8));
        b.push_back(static_cast<unsigned char>(c & 0xFF));
    }
    return b;
}

inline Bytes InCodePage(const std::wstring& s, UINT cp)
{
    if (s.empty())
        return Bytes();
    const int n = ::WideCharToMultiByte(cp, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(cp, 0, s.data(), int(s.size()), &out[0], n, nullptr, nullptr);
    return B(out);
}

inline Bytes Utf8(const std::wstring& s) { return InCodePage(s, CP_UTF8); }
inline Bytes Cp949(const std::wstring& s) { return InCodePage(s, 949); }

} // namespace tag_bytes

namespace testing_support {

// How a text frame's text is encoded: the frame's encoding byte.
enum TextEncoding { ENC_LATIN1 = 0, ENC_UTF16 = 1, ENC_UTF16BE = 2, ENC_UTF8 = 3 };

// A text encoded as a frame of that encoding holds it: Latin-1 as the
// characters' low bytes, UTF-16 with a byte order mark (big-endian without).
inline Bytes Encoded(TextEncoding enc, const std::wstring& text)
{
    switch (enc) {
    case ENC_LATIN1: {
        Bytes b;
        for (wchar_t c : text)
            b.push_back(static_cast<unsigned char>(c));
        return b;
    }
    case ENC_UTF16:
        return tag_bytes::Utf16LE(text);
    case ENC_UTF16BE:
        return tag_bytes::Utf16BE(text, false);
    default:
        return tag_bytes::Utf8(text);
    }
}

// A text frame's body: the encoding byte, then the text (Latin-1 texts are
// given as their bytes, the others as UTF-16 and encoded here).
inline Bytes TextBody(TextEncoding enc, const std::wstring& text)
{
    return tag_bytes::Text(static_cast<unsigned char>(enc), Encoded(enc, text));
}
inline Bytes Latin1Body(const std::string& bytes) { return tag_bytes::Text(tag_bytes::LATIN1, tag_bytes::B(bytes)); }
// A comment's body: encoding, language, an empty description, the text.
inline Bytes CommentBody(TextEncoding enc, const std::wstring& text, const std::string& language = "eng")
{
    const Bytes description = enc == ENC_UTF16 ? tag_bytes::Utf16LE(L"") : Bytes();
    return tag_bytes::Comment(static_cast<unsigned char>(enc), description, Encoded(enc, text), language);
}

struct TagFrame
{
    std::string id;   // three letters for v2.2, four for v2.3 and v2.4
    Bytes body;
};

// A whole tag of version 2, 3 or 4 holding the frames, then padding zeros.
inline Bytes MakeID3v2(int version, const std::vector<TagFrame>& frames, size_t padding = 0)
{
    Bytes body;
    for (const TagFrame& f : frames)
        body = tag_bytes::operator+(body, tag_bytes::Frame(version, f.id, f.body));
    return tag_bytes::Tag(version, body, 0, padding);
}
// A song: the tag, then some bytes standing in for audio; no ID3v1 record.
inline Bytes MakeID3v2Mp3(int version, const std::vector<TagFrame>& frames, size_t audioBytes = 300,
                          unsigned char fill = 0xAB)
{
    Bytes song = MakeID3v2(version, frames, 64);
    song.insert(song.end(), audioBytes, fill);
    return song;
}

} // namespace testing_support
