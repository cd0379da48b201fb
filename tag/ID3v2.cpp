#include "tag/ID3v2.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <exception>
#include <string>
#include <vector>

#include <id3v1genres.h>
#include <tbytevector.h>
#include <tstring.h>

#include "afx/WidePath.h"
#include "tag/FrameText.h"
#include "tag/ID3v2Format.h"
#include "tag/Genre.h"

// The tag's own structure (unsynchronisation of the whole tag, the extended
// header, the footer, frame flags, frame sizes) is walked here (the one walk
// of tag/ID3v2Format.h), and only the texts of the frames a song is listed by
// are handed to the library, to be decoded: the library's own walk skips 4
// bytes too few after a v2.3 extended header, drops a small last frame of a
// tag with a footer and reads UTF-16 without a byte order mark as nothing;
// its frame and tag objects cost several times what the texts do; and what
// the walk keeps is bounded whatever size a tag claims.

namespace {

using id3::HEADER_SIZE;
using id3::RECORD_SIZE;
using id3::TAG_FOOTER;
using id3::TAG_UNSYNC;

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

// A frame the walk kept: which of the wanted it is, and its data made plain
// (no flags, no unsynchronisation, UTF-16 values marked).
struct CKept
{
    int want;
    std::string data;
};

// One value of a text frame, decoded by its encoding (Latin-1 as frames
// declared so are read, the others by the library), up to a zero.
std::wstring Decoded(unsigned char encoding, const char* p, size_t n)
{
    std::wstring text;
    if (encoding == 0) {
        text = Latin1FrameText(p, n);
    } else {
        const TagLib::String::Type type = encoding == 1   ? TagLib::String::UTF16
                                          : encoding == 2 ? TagLib::String::UTF16BE
                                                          : TagLib::String::UTF8;
        text = TagLib::String(TagLib::ByteVector(p, unsigned(n)), type).toWString();
    }
    const size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos)
        text.resize(zero);
    return text;
}

// The values of a frame's text from byte from on, split at the terminators
// of its encoding (two zeros on a character's bounds for UTF-16), at most
// nMax of them: the last takes the rest.
std::vector<std::wstring> Values(unsigned char encoding, const std::string& data, size_t from,
                                 size_t nMax = size_t(-1))
{
    std::vector<std::wstring> values;
    const size_t width = encoding == 1 || encoding == 2 ? 2 : 1;
    size_t start = from;
    for (size_t i = from; start <= data.size();) {
        const bool bEnd = i + width > data.size();
        const bool bTerminator = !bEnd && data[i] == 0 && (width == 1 || data[i + 1] == 0);
        if (bEnd || (bTerminator && values.size() + 1 < nMax)) {
            const size_t end = bEnd ? data.size() : i;
            values.push_back(Decoded(encoding, data.data() + start, end - start));
            if (bEnd)
                break;
            start = i + width;
        }
        i += width;
    }
    return values;
}

// A text frame's values as one text; several values (a v2.4 list) joined
// by ", ".
std::wstring JoinedText(const CKept* frame)
{
    if (!frame || frame->data.empty())
        return std::wstring();
    std::wstring joined;
    for (const std::wstring& value : Values(static_cast<unsigned char>(frame->data[0]), frame->data, 1)) {
        if (value.empty())
            continue;
        if (!joined.empty())
            joined += L", ";
        joined += value;
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

// "/12" of "3/12", of "03/12" and of " 3/12"; empty for a text with no
// count after its number.
std::wstring TrackCount(const std::wstring& text)
{
    size_t i = text.find_first_not_of(L' ');
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
        ++i;
    if (i + 1 >= text.size() || text[i] != L'/')
        return std::wstring();
    const std::wstring count = text.substr(i);
    return IsDigits(count.substr(1)) ? count : std::wstring();
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
void PutGenre(const CKept* frame, CID3v2Fields& out)
{
    if (!frame || frame->data.empty())
        return;
    for (std::wstring value : Values(static_cast<unsigned char>(frame->data[0]), frame->data, 1)) {
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

// A comment: encoding, language, a description and its terminator, the
// text; the first without a description is the song's.
std::wstring FirstComment(const std::vector<CKept>& kept, int want)
{
    for (const CKept& k : kept) {
        if (k.want != want || k.data.size() < 5)
            continue;
        const std::vector<std::wstring> parts = Values(static_cast<unsigned char>(k.data[0]), k.data, 4, 2);
        if (parts.size() == 2 && parts[0].empty())
            return parts[1];
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
enum { W_TITLE, W_ARTIST, W_ALBUM, W_TRACK, W_YEAR, W_RECORDED, W_GENRE, W_COMMENT };

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
// flags, no unsynchronisation, UTF-16 marked). False when the tag is broken:
// an extended header that does not fit.
bool KeepFrames(int version, unsigned char tagFlags, id3::CTagBody& body, std::vector<CKept>& kept)
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
        if (!walk.Data(span, data) || !PlainText(want == W_COMMENT, data))
            continue;
        kept.push_back(CKept{want, std::move(data)});
        ++kept_of[want];
    }
    return true;
}

// The fields of the kept frames. The texts are decoded one by one: a frame
// object of the library for each, let alone a tag around them, costs many
// times what the texts do.
bool ParseKept(int version, const std::vector<CKept>& kept, CID3v2Fields& out)
{
    out = CID3v2Fields();
    out.nVersion = version;
    const auto first = [&kept](int want) -> const CKept* {
        for (const CKept& k : kept)
            if (k.want == want)
                return &k;
        return nullptr;
    };
    out.strTitle = JoinedText(first(W_TITLE));
    out.strArtist = JoinedText(first(W_ARTIST));
    out.strAlbum = JoinedText(first(W_ALBUM));
    // v2.4 has the recording time, v2.3 the year; either may stand in a
    // tag of the other version.
    std::wstring year = JoinedText(first(W_RECORDED));
    if (year.empty())
        year = JoinedText(first(W_YEAR));
    out.strYear = YearText(year);
    out.strComment = FirstComment(kept, W_COMMENT);
    const std::wstring track = JoinedText(first(W_TRACK));
    out.nTrack = TrackNumber(track);
    if (out.nTrack)
        out.strTrackCount = TrackCount(track);
    PutGenre(first(W_GENRE), out);
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
    head.bodySize = size - HEADER_SIZE - (head.version == 4 && (head.flags & TAG_FOOTER) ? HEADER_SIZE : 0);
    return true;
}

bool WholeUnsynchronised(const CTagHead& head)
{
    return head.version <= 3 && (head.flags & TAG_UNSYNC);
}

// KeepFrames over a body held in memory, resynchronised first where the
// whole tag is unsynchronised.
bool KeepFramesIn(const CTagHead& head, const unsigned char* body, size_t size, std::vector<CKept>& kept)
{
    if (!WholeUnsynchronised(head)) {
        id3::CMemoryBody memory(body, size);
        return KeepFrames(head.version, head.flags, memory, kept);
    }
    const std::string plain = id3::Resynchronised(body, size);
    id3::CMemoryBody memory(reinterpret_cast<const unsigned char*>(plain.data()), plain.size());
    return KeepFrames(head.version, head.flags, memory, kept);
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
    const bool bHasFooter = h[3] == 4 && (h[5] & TAG_FOOTER);
    if (bFooter && !bHasFooter)
        return 0;
    return HEADER_SIZE + body + (bHasFooter ? HEADER_SIZE : 0);
}

bool FindID3v2(HANDLE hFile, uint64_t nFileSize, bool bHasID3v1, CID3v2Place& place)
{
    place = CID3v2Place();
    unsigned char h[HEADER_SIZE];
    // The header and the first window of the tag in one request: a read costs
    // more for its call than for its bytes.
    std::vector<unsigned char> start(size_t(std::min<uint64_t>(nFileSize, HEADER_SIZE + WINDOW_BYTES)));
    if (nFileSize >= HEADER_SIZE && id3::ReadAt(hFile, 0, start.data(), DWORD(start.size()))) {
        const uint64_t size = ID3v2TagSize(start.data(), false);
        if (size && size <= nFileSize - (bHasID3v1 ? RECORD_SIZE : 0)) {
            place.nSize = size;
            place.nVersion = start[3];
            start.resize(size_t(std::min<uint64_t>(start.size(), size)));
            place.start = std::move(start);
            return true;
        }
        if (size)
            return false;
    }
    // A tag appended to the file ends with a footer, before any ID3v1 record.
    if (nFileSize < (bHasID3v1 ? RECORD_SIZE : 0) + 2 * HEADER_SIZE)
        return false;
    const uint64_t end = nFileSize - (bHasID3v1 ? RECORD_SIZE : 0);
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
    const bool bStartRead = place.start.size() >= HEADER_SIZE;
    if (bStartRead)
        std::memcpy(header, place.start.data(), HEADER_SIZE);
    if (!place.nVersion || place.nSize < HEADER_SIZE ||
        (!bStartRead && !id3::ReadAt(hFile, place.nOffset, header, HEADER_SIZE)) || !ReadHead(header, head) ||
        ID3v2TagSize(header, false) != place.nSize)
        return false;
    try {
        std::vector<CKept> kept;
        if (WholeUnsynchronised(head)) {
            std::vector<unsigned char> prefix(size_t(std::min<uint64_t>(head.bodySize, UNSYNC_PREFIX_LIMIT)));
            if ((!prefix.empty() && !id3::ReadAt(hFile, place.nOffset + HEADER_SIZE, prefix.data(), DWORD(prefix.size()))) ||
                !KeepFramesIn(head, prefix.data(), prefix.size(), kept))
                return false;
        } else {
            id3::CFileBody file(hFile, place.nOffset + HEADER_SIZE, head.bodySize, WINDOW_BYTES);
            if (bStartRead)
                file.Seed(place.start.data() + HEADER_SIZE, place.start.size() - HEADER_SIZE);
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
        std::vector<CKept> kept;
        return KeepFramesIn(head, data + HEADER_SIZE, size_t(head.bodySize), kept) &&
               ParseKept(head.version, kept, out);
    } catch (const std::exception&) {
        out = CID3v2Fields();
        return false;
    }
}
