#include "tag/ID3v2.h"

#include <cwctype>
#include <mutex>
#include <new>
#include <vector>

#include <attachedpictureframe.h>
#include <commentsframe.h>
#include <id3v2frame.h>
#include <id3v2header.h>
#include <id3v2tag.h>
#include <tbytevector.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <tfile.h>

#include "afx/WidePath.h"
#include "tag/Genre.h"

namespace {

enum : int { HEADER_SIZE = 10, ID3V1_SIZE = 128 };

// The library parses a tag through a file; this one is a tag's bytes in
// memory, so that a tag is read from the disk in one request and never
// written back.
class CMemoryFile : public TagLib::File
{
public:
    explicit CMemoryFile(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

bool IsDoubleByteLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

bool IsDoubleByteTrail(unsigned char c)
{
    return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A) || (c >= 0x81 && c <= 0xFE);
}

// Valid CP949 with at least one double-byte character: every byte from 0x80
// up starts a pair, and the code page knows each pair.
bool IsDoubleByteCP949(const char* bytes, size_t size)
{
    bool bPair = false;
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        if (!IsDoubleByteLead(c) || i + 1 >= size || !IsDoubleByteTrail(static_cast<unsigned char>(bytes[i + 1])))
            return false;
        bPair = true;
        ++i;
    }
    return bPair && ::MultiByteToWideChar(CP_TEXTS, MB_ERR_INVALID_CHARS, bytes, int(size), nullptr, 0) > 0;
}

class CCP949Latin1 : public TagLib::ID3v2::Latin1StringHandler
{
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        const std::wstring text = Latin1FrameText(data.data(), data.size());
        return TagLib::String(text);
    }
};

void UseCP949ForLatin1()
{
    // The library keeps one handler for the whole process; it is set once,
    // before any thread parses a tag.
    static CCP949Latin1 handler;
    static std::once_flag once;
    std::call_once(once, [] { TagLib::ID3v2::Tag::setLatin1StringHandler(&handler); });
}

std::wstring Wide(const TagLib::String& s)
{
    return s.toWString();
}

// A frame's values as one text; several values (a v2.4 list) joined by ", ".
std::wstring FrameText(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()[id];
    if (frames.isEmpty())
        return std::wstring();
    const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
    if (!text)
        return Wide(frames.front()->toString());
    std::wstring joined;
    const TagLib::StringList values = text->fieldList();
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (!joined.empty())
            joined += L", ";
        joined += Wide(*it);
    }
    return joined;
}

// "3/12" and "03" give 3; a text that starts with no digit gives 0.
int TrackNumber(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == L' ')
        ++i;
    int n = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        n = n * 10 + (text[i] - L'0');
        if (n > 1000000)
            return 0;
    }
    return n;
}

// The first four digits in a row ("2004-05-01", "c. 1994"); a text with none
// stays as it is.
std::wstring YearText(const std::wstring& text)
{
    for (size_t i = 0; i + 4 <= text.size(); ++i) {
        bool bDigits = true;
        for (size_t k = i; k < i + 4 && bDigits; ++k)
            bDigits = text[k] >= L'0' && text[k] <= L'9';
        if (bDigits)
            return text.substr(i, 4);
    }
    return text;
}

bool SameLettersIgnoringCase(const std::wstring& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

// "(17)", "17", "Rock" and "(17)Rock" name genre 17; "(200)", "K-Pop" name
// none of the list and are kept as text.
void PutGenre(const TagLib::ID3v2::Tag& tag, CID3v2Fields& out)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()["TCON"];
    const auto* text = frames.isEmpty() ? nullptr : dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
    if (!text)
        return;
    // The library has already split "(17)Rock" into "17" and "Rock".
    const TagLib::StringList values = text->fieldList();
    for (auto it = values.begin(); it != values.end(); ++it) {
        std::wstring value = Wide(*it);
        if (value.size() > 2 && value.front() == L'(' && value.back() == L')')
            value = value.substr(1, value.size() - 2);
        bool bNumber = !value.empty() && value.size() <= 3;
        for (wchar_t c : value)
            bNumber = bNumber && c >= L'0' && c <= L'9';
        if (bNumber && std::stoi(value) < GENRE_COUNT) {
            out.nGenre = std::stoi(value);
            out.strGenre.clear();
            return;
        }
        for (int g = 0; g < GENRE_COUNT; ++g) {
            if (SameLettersIgnoringCase(value, g_GenreNames[g])) {
                out.nGenre = g;
                out.strGenre.clear();
                return;
            }
        }
        if (out.strGenre.empty())
            out.strGenre = value;
    }
}

std::wstring FirstComment(const TagLib::ID3v2::Tag& tag)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()["COMM"];
    for (auto it = frames.begin(); it != frames.end(); ++it) {
        const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(*it);
        if (comment && comment->description().isEmpty())
            return Wide(comment->text());
    }
    return std::wstring();
}

bool ReadAt(HANDLE hFile, uint64_t offset, void* buffer, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    DWORD nRead = 0;
    return ::SetFilePointerEx(hFile, at, nullptr, FILE_BEGIN) && ::ReadFile(hFile, buffer, size, &nRead, nullptr) &&
           nRead == size;
}

} // namespace

std::wstring Latin1FrameText(const char* bytes, size_t size)
{
    if (IsDoubleByteCP949(bytes, size))
        return WideFromText(std::string(bytes, size));
    std::wstring text(size, L'\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<unsigned char>(bytes[i]);
    return text;
}

uint64_t ID3v2TagSize(const unsigned char* h, bool bFooter)
{
    if (h[0] != (bFooter ? '3' : 'I') || h[1] != 'D' || h[2] != (bFooter ? 'I' : '3'))
        return 0;
    if (h[3] < 2 || h[3] > 4 || h[4] == 0xFF)
        return 0;
    if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
        return 0;
    const uint64_t body = (uint64_t(h[6]) << 21) | (uint64_t(h[7]) << 14) | (uint64_t(h[8]) << 7) | h[9];
    // Only v2.4 has a footer; its flag says so in the header too.
    const bool bHasFooter = h[3] == 4 && (h[5] & 0x10);
    if (bFooter && !bHasFooter)
        return 0;
    return HEADER_SIZE + body + (bHasFooter ? HEADER_SIZE : 0);
}

bool FindID3v2(HANDLE hFile, uint64_t nFileSize, bool bHasID3v1, CID3v2Place& place)
{
    place = CID3v2Place();
    unsigned char h[HEADER_SIZE];
    if (nFileSize >= HEADER_SIZE && ReadAt(hFile, 0, h, HEADER_SIZE)) {
        const uint64_t size = ID3v2TagSize(h, false);
        if (size && size <= nFileSize - (bHasID3v1 ? ID3V1_SIZE : 0)) {
            place = {0, size, h[3]};
            return true;
        }
        if (size)
            return false;
    }
    // A tag appended to the file ends with a footer, before any ID3v1 record.
    const uint64_t end = nFileSize - (bHasID3v1 ? ID3V1_SIZE : 0);
    if (end < 2 * HEADER_SIZE || !ReadAt(hFile, end - HEADER_SIZE, h, HEADER_SIZE))
        return false;
    const uint64_t size = ID3v2TagSize(h, true);
    if (!size || size > end)
        return false;
    place = {end - size, size, h[3]};
    return true;
}

bool ReadID3v2(HANDLE hFile, const CID3v2Place& place, CID3v2Fields& out)
{
    out = CID3v2Fields();
    if (!place.nVersion || place.nSize > 0x7FFFFFFF)
        return false;
    try {
        std::vector<unsigned char> data(size_t(place.nSize));
        if (!ReadAt(hFile, place.nOffset, data.data(), DWORD(data.size())))
            return false;
        return ParseID3v2(data.data(), data.size(), out);
    } catch (const std::bad_alloc&) {
        // A tag larger than the memory at hand counts as none.
        return false;
    }
}

bool ParseID3v2(const unsigned char* data, size_t size, CID3v2Fields& out)
{
    out = CID3v2Fields();
    if (size < HEADER_SIZE)
        return false;
    const uint64_t tagSize = ID3v2TagSize(data, false);
    if (!tagSize || tagSize > size)
        return false;
    UseCP949ForLatin1();
    try {
        TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(data), unsigned(tagSize)));
        CMemoryFile file(&stream);
        TagLib::ID3v2::Tag tag(&file, 0);
        if (!tag.header() || tag.header()->majorVersion() < 2)
            return false;
        out.nVersion = int(tag.header()->majorVersion());
        out.strTitle = FrameText(tag, "TIT2");
        out.strArtist = FrameText(tag, "TPE1");
        out.strAlbum = FrameText(tag, "TALB");
        // The library reads TYER (v2.3) and TYE (v2.2) as TDRC.
        out.strYear = YearText(FrameText(tag, "TDRC"));
        out.strComment = FirstComment(tag);
        out.nTrack = TrackNumber(FrameText(tag, "TRCK"));
        PutGenre(tag, out);
        return true;
    } catch (const std::exception&) {
        out = CID3v2Fields();
        return false;
    }
}
