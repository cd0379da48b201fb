#include "tag/ID3v2.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <exception>
#include <vector>

#include <commentsframe.h>
#include <id3v1genres.h>
#include <id3v2frame.h>
#include <id3v2header.h>
#include <id3v2tag.h>
#include <tbytevector.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <tfile.h>

#include "afx/WidePath.h"
#include "tag/FrameText.h"
#include "tag/ID3v2Format.h"
#include "tag/Genre.h"

// The tag's own structure (unsynchronisation of the whole tag, the extended
// header, the footer, frame flags, frame sizes) is walked here, and only the
// frames a song is listed by are handed to the library, rebuilt plain: the
// library's walk skips 4 bytes too few after a v2.3 extended header, drops a
// small last frame of a tag with a footer and reads UTF-16 without a byte
// order mark as nothing; and what the walk keeps is bounded whatever size a
// tag claims.

namespace {

enum : int { HEADER_SIZE = 10, ID3V1_SIZE = 128 };
enum : unsigned char { FLAG_UNSYNC = 0x80, FLAG_EXTENDED = 0x40, FLAG_FOOTER = 0x10 };

// Bounds that keep a tag's cost independent of the size it claims. The scan
// reads tags on three threads of a 32-bit process; a tag of hundreds of
// megabytes is nearly all picture (or junk), and a name, a year or a comment
// never needs more than a few hundred bytes.
// - A frame the program lists is kept up to 64 KB; a larger one is passed
//   over unread.
const uint64_t KEPT_FRAME_LIMIT = 64 * 1024;
// - The walk reads the tag through a window of this size, so that the text
//   frames, which come first, are one request, padding after them is not
//   read, and a large tag costs a request per frame header, never its
//   pictures. (Under Wine a read costs with its bytes: a 64 KB window, the
//   whole of a 3-10 KB tag with its padding, took 90 microseconds a song
//   where this takes 35.)
const size_t WINDOW_BYTES = 4 * 1024;
// - At most this many frame headers: real tags hold tens of frames; a tag of
//   millions of tiny frames is junk, and ends here in bounded time.
const int FRAMES_WALKED_LIMIT = 10000;
// - A tag unsynchronised as a whole (v2.2, v2.3) cannot be walked on the
//   disk, since its frame sizes count the bytes after the zeros are dropped:
//   only its first megabyte is read. The frames a song is listed by come
//   first in nearly every tag; a picture of more than that before them costs
//   the fields after it.
const size_t UNSYNC_PREFIX_LIMIT = 1024 * 1024;

// The library parses a tag through a file; this one is a tag's bytes in
// memory, so that a tag is never written back.
class CMemoryFile : public TagLib::File
{
public:
    explicit CMemoryFile(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

std::wstring Wide(const TagLib::String& s)
{
    return s.toWString();
}

// A frame's values as one text; several values (a v2.4 list) joined by ", ".
std::wstring FrameText(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameList(id);
    if (frames.isEmpty())
        return std::wstring();
    const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
    if (!text)
        return std::wstring();
    std::wstring joined;
    const TagLib::StringList values = text->fieldList();
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it->isEmpty())
            continue;
        if (!joined.empty())
            joined += L", ";
        joined += Wide(*it);
    }
    return joined;
}

bool IsDigits(const std::wstring& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
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

// The genre a name or number names, or -1. A number outside the list names
// none (an ID3v1 record's 200 shows as no genre either); a name is matched in
// the list's spelling, any case, or in the spelling the library corrected
// ("Psychedelic" for "Psychadelic"), which it uses when it drops the number
// of "(67)Psychedelic".
int GenreNamed(const std::wstring& value)
{
    if (IsDigits(value))
        return value.size() <= 3 && std::stoi(value) < GENRE_COUNT ? std::stoi(value) : -1;
    for (int g = 0; g < GENRE_COUNT; ++g)
        if (SameLettersIgnoringCase(value, g_GenreNames[g]))
            return g;
    const int g = TagLib::ID3v1::genreIndex(TagLib::String(value));
    return g >= 0 && g < GENRE_COUNT ? g : -1;
}

// "(17)", "17", "Rock" and "(17)Rock" name genre 17; "K-Pop" names none of
// the list and is kept as text; "(200)" names nothing.
void PutGenre(const TagLib::ID3v2::Tag& tag, CID3v2Fields& out)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameList("TCON");
    const auto* text = frames.isEmpty() ? nullptr : dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
    if (!text)
        return;
    // The library splits "(17)Rock" into its parts already; a value it left
    // whole (a UTF-16 one it could not read first) is split here.
    const TagLib::StringList values = text->fieldList();
    for (auto it = values.begin(); it != values.end(); ++it) {
        std::wstring value = Wide(*it);
        while (value.size() > 2 && value.front() == L'(') {
            const size_t close = value.find(L')');
            if (close == std::wstring::npos || !IsDigits(value.substr(1, close - 1)))
                break;
            const int g = GenreNamed(value.substr(1, close - 1));
            if (g >= 0) {
                out.nGenre = g;
                out.strGenre.clear();
                return;
            }
            value = value.substr(close + 1);
        }
        if (value.empty())
            continue;
        const int g = GenreNamed(value);
        if (g >= 0) {
            out.nGenre = g;
            out.strGenre.clear();
            return;
        }
        if (out.strGenre.empty() && !IsDigits(value))
            out.strGenre = value;
    }
}

std::wstring FirstComment(const TagLib::ID3v2::Tag& tag)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameList("COMM");
    for (auto it = frames.begin(); it != frames.end(); ++it) {
        const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(*it);
        if (comment && comment->description().isEmpty())
            return Wide(comment->text());
    }
    return std::wstring();
}

// The frames a song is listed by, in v2.2's ids and in v2.3/v2.4's, and how
// many of each the walk keeps: the first of a text, the comments up to the
// first without a description (a few suffice; some taggers write dozens).
struct CWanted
{
    const char* v22;
    const char* v23;
    int nKeep;
};
const CWanted g_Wanted[] = {
    {"TT2", "TIT2", 1}, {"TP1", "TPE1", 1}, {"TAL", "TALB", 1}, {"TRK", "TRCK", 1}, {"TYE", "TYER", 1},
    {"", "TDRC", 1},    {"TCO", "TCON", 1}, {"COM", "COMM", 16},
};
enum { WANTED_COUNT = sizeof g_Wanted / sizeof *g_Wanted };

int WantedIndex(int version, const unsigned char* id)
{
    for (int i = 0; i < WANTED_COUNT; ++i) {
        const char* want = version == 2 ? g_Wanted[i].v22 : g_Wanted[i].v23;
        if (*want && std::memcmp(want, id, version == 2 ? 3 : 4) == 0)
            return i;
    }
    return -1;
}

// The frame's text as the library reads it well; false for an encoding no
// version defines.
bool PlainText(bool bComment, std::string& data)
{
    if (data.empty())
        return false;
    const unsigned char encoding = static_cast<unsigned char>(data[0]);
    if (encoding > 3)
        return false;
    if (encoding == 1 && data.size() >= (bComment ? 4u : 1u))
        MarkUtf16Values(data, bComment ? 4 : 1);
    return true;
}

// Walks a tag's frames and keeps those a song is listed by, plain (no
// flags, no unsynchronisation, UTF-16 marked) in kept. False when the tag is
// broken: an extended header that does not fit.
bool KeepFrames(int version, unsigned char tagFlags, id3::CTagBody& body, std::string& kept)
{
    id3::CFrameWalk walk(version, tagFlags, body, FRAMES_WALKED_LIMIT);
    if (!walk.Start())
        return false;
    int kept_of[WANTED_COUNT] = {};
    id3::CFrameSpan span;
    while (walk.Next(span)) {
        const int want = WantedIndex(span.bShortId ? 2 : version, span.header);
        if (want < 0 || kept_of[want] >= g_Wanted[want].nKeep || span.nDataSize > KEPT_FRAME_LIMIT)
            continue;
        std::string data;
        if (!walk.Data(span, data) || !PlainText(want == WANTED_COUNT - 1, data))
            continue;
        // v2.2 frames stay v2.2 (the library converts their ids); v2.3 and
        // v2.4 frames are handed over as v2.3 ones, whose plain sizes the
        // library never second-guesses.
        id3::AppendFrame(kept, version == 2 ? 2 : 3,
                         span.bShortId ? g_Wanted[want].v23 : reinterpret_cast<const char*>(span.header), data);
        ++kept_of[want];
    }
    return true;
}

// The fields of the kept frames, through the library.
bool ParseKept(int version, const std::string& kept, CID3v2Fields& out)
{
    out = CID3v2Fields();
    out.nVersion = version;
    if (kept.empty())
        return true;
    const uint32_t n = uint32_t(kept.size());
    TagLib::ByteVector bytes("ID3", 3);
    bytes.append(char(version == 2 ? 2 : 3));
    bytes.append(TagLib::ByteVector(2, '\0'));
    for (int shift = 21; shift >= 0; shift -= 7)
        bytes.append(char((n >> shift) & 0x7F));
    bytes.append(TagLib::ByteVector(kept.data(), n));
    TagLib::ByteVectorStream stream(bytes);
    CMemoryFile file(&stream);
    const TagLib::ID3v2::Tag tag(&file, 0);
    out.strTitle = FrameText(tag, "TIT2");
    out.strArtist = FrameText(tag, "TPE1");
    out.strAlbum = FrameText(tag, "TALB");
    // The library reads TYER (v2.3) and TYE (v2.2) as TDRC; a v2.4 tag may
    // still carry a TYER.
    std::wstring year = FrameText(tag, "TDRC");
    if (year.empty())
        year = FrameText(tag, "TYER");
    out.strYear = YearText(year);
    out.strComment = FirstComment(tag);
    out.nTrack = TrackNumber(FrameText(tag, "TRCK"));
    PutGenre(tag, out);
    return true;
}

// The parts of a tag's header the walk needs; false for one it cannot read.
struct CTagHead
{
    int version = 0;
    unsigned char flags = 0;
    uint64_t bodySize = 0;   // between header and footer
};

bool ReadHead(const unsigned char* header, CTagHead& head)
{
    const uint64_t size = ID3v2TagSize(header, false);
    if (!size)
        return false;
    head.version = header[3];
    head.flags = header[5];
    // v2.2's flag 0x40 says the whole tag is compressed, in a way v2.2 never
    // defined: unreadable.
    if (head.version == 2 && (head.flags & 0x40))
        return false;
    head.bodySize = size - HEADER_SIZE - (head.version == 4 && (head.flags & FLAG_FOOTER) ? HEADER_SIZE : 0);
    return true;
}

bool WholeUnsynchronised(const CTagHead& head)
{
    return head.version <= 3 && (head.flags & FLAG_UNSYNC);
}

} // namespace

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
    const bool bHasFooter = h[3] == 4 && (h[5] & FLAG_FOOTER);
    if (bFooter && !bHasFooter)
        return 0;
    return HEADER_SIZE + body + (bHasFooter ? HEADER_SIZE : 0);
}

bool FindID3v2(HANDLE hFile, uint64_t nFileSize, bool bHasID3v1, CID3v2Place& place)
{
    place = CID3v2Place();
    unsigned char h[HEADER_SIZE];
    if (nFileSize >= HEADER_SIZE && id3::ReadAt(hFile, 0, h, HEADER_SIZE)) {
        const uint64_t size = ID3v2TagSize(h, false);
        if (size && size <= nFileSize - (bHasID3v1 ? ID3V1_SIZE : 0)) {
            place.nSize = size;
            place.nVersion = h[3];
            place.bHeaderRead = true;
            std::memcpy(place.header, h, HEADER_SIZE);
            return true;
        }
        if (size)
            return false;
    }
    // A tag appended to the file ends with a footer, before any ID3v1 record.
    if (nFileSize < (bHasID3v1 ? ID3V1_SIZE : 0) + 2 * HEADER_SIZE)
        return false;
    const uint64_t end = nFileSize - (bHasID3v1 ? ID3V1_SIZE : 0);
    if (!id3::ReadAt(hFile, end - HEADER_SIZE, h, HEADER_SIZE))
        return false;
    const uint64_t size = ID3v2TagSize(h, true);
    if (!size || size > end)
        return false;
    place.nOffset = end - size;
    place.nSize = size;
    place.nVersion = h[3];
    return true;
}

bool ReadID3v2(HANDLE hFile, const CID3v2Place& place, CID3v2Fields& out)
{
    out = CID3v2Fields();
    unsigned char header[HEADER_SIZE];
    CTagHead head;
    if (place.bHeaderRead)
        std::memcpy(header, place.header, HEADER_SIZE);
    if (!place.nVersion || place.nSize < HEADER_SIZE ||
        (!place.bHeaderRead && !id3::ReadAt(hFile, place.nOffset, header, HEADER_SIZE)) || !ReadHead(header, head) ||
        ID3v2TagSize(header, false) != place.nSize)
        return false;
    try {
        std::string kept;
        if (WholeUnsynchronised(head)) {
            std::vector<unsigned char> prefix(size_t(std::min<uint64_t>(head.bodySize, UNSYNC_PREFIX_LIMIT)));
            if (!prefix.empty() && !id3::ReadAt(hFile, place.nOffset + HEADER_SIZE, prefix.data(), DWORD(prefix.size())))
                return false;
            const std::string body = id3::Resynchronised(prefix.data(), prefix.size());
            id3::CMemoryBody memory(reinterpret_cast<const unsigned char*>(body.data()), body.size());
            if (!KeepFrames(head.version, head.flags, memory, kept))
                return false;
        } else {
            id3::CFileBody file(hFile, place.nOffset + HEADER_SIZE, head.bodySize, WINDOW_BYTES);
            if (!KeepFrames(head.version, head.flags, file, kept))
                return false;
        }
        return ParseKept(head.version, kept, out);
    } catch (const std::exception&) {
        // Out of memory, or the library gave up: a tag that counts as none.
        out = CID3v2Fields();
        return false;
    }
}

bool ParseID3v2(const unsigned char* data, size_t size, CID3v2Fields& out)
{
    out = CID3v2Fields();
    CTagHead head;
    if (size < HEADER_SIZE || !ReadHead(data, head) || ID3v2TagSize(data, false) > size)
        return false;
    try {
        std::string kept;
        if (WholeUnsynchronised(head)) {
            const std::string body = id3::Resynchronised(data + HEADER_SIZE, size_t(head.bodySize));
            id3::CMemoryBody memory(reinterpret_cast<const unsigned char*>(body.data()), body.size());
            if (!KeepFrames(head.version, head.flags, memory, kept))
                return false;
        } else {
            id3::CMemoryBody memory(data + HEADER_SIZE, size_t(head.bodySize));
            if (!KeepFrames(head.version, head.flags, memory, kept))
                return false;
        }
        return ParseKept(head.version, kept, out);
    } catch (const std::exception&) {
        out = CID3v2Fields();
        return false;
    }
}
