#include "tag/SongSave.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include <id3v2framefactory.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <tbytevector.h>
#include <tbytevectorstream.h>

#include "afx/Handle.h"
#include "afx/TempFile.h"
#include "afx/WidePath.h"
#include "tag/Genre.h"
#include "tag/ID3v2.h"

namespace {

using Bytes = std::vector<unsigned char>;

enum : size_t {
    HEADER_SIZE = 10,
    FRAME_HEADER_SIZE = 10,
    RECORD_SIZE = 128,
    // Room left behind a tag that outgrew its old space, so that the next
    // editor of any program can write in place.
    NEW_PADDING = 2048,
    // A synchsafe size holds 28 bits.
    MAX_BODY = (1u << 28) - 1,
    COPY_CHUNK = 1024 * 1024,
};

// Header flags (byte 5).
enum : unsigned char {
    TAG_UNSYNC = 0x80,
    TAG_EXTENDED = 0x40,
    TAG_EXPERIMENTAL = 0x20,
    TAG_FOOTER = 0x10,
};

// Text encodings of a frame's first byte.
enum : unsigned char { ENC_LATIN1 = 0, ENC_UTF16 = 1, ENC_UTF16BE = 2, ENC_UTF8 = 3 };

// The language of a comment the tag had none of: the program's users write
// Korean.
const char NEW_COMMENT_LANGUAGE[] = "kor";

uint32_t Synchsafe(const unsigned char* p)
{
    return (uint32_t(p[0]) << 21) | (uint32_t(p[1]) << 14) | (uint32_t(p[2]) << 7) | p[3];
}

uint32_t Plain(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void PutSynchsafe(unsigned char* p, uint32_t v)
{
    p[0] = (v >> 21) & 0x7F;
    p[1] = (v >> 14) & 0x7F;
    p[2] = (v >> 7) & 0x7F;
    p[3] = v & 0x7F;
}

void PutPlain(unsigned char* p, uint32_t v)
{
    p[0] = v >> 24;
    p[1] = (v >> 16) & 0xFF;
    p[2] = (v >> 8) & 0xFF;
    p[3] = v & 0xFF;
}

// A v2.4 frame size; a size with a high bit set is no synchsafe integer, and
// is read plain, as the reader does (some writers put v2.3 sizes in v2.4).
uint32_t FrameSize(const unsigned char* p, int version)
{
    if (version == 3 || ((p[0] | p[1] | p[2] | p[3]) & 0x80))
        return Plain(p);
    return Synchsafe(p);
}

Bytes Resynchronise(const unsigned char* p, size_t size)
{
    Bytes out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(p[i]);
        if (p[i] == 0xFF && i + 1 < size && p[i + 1] == 0x00)
            ++i;
    }
    return out;
}

bool IsFrameIdChar(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The list shows texts trimmed: a frame whose text differs from an edit only
// by blanks at its ends was not edited.
std::wstring Trimmed(const std::wstring& s)
{
    size_t end = s.size();
    while (end > 0 && IsBlank(s[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    return s.substr(begin, end - begin);
}

bool IsAscii(const std::wstring& s)
{
    for (wchar_t c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// Latin-1 only for ASCII: the reader takes Latin-1 bytes from 0x80 up for
// CP949 where they happen to spell it.
unsigned char EncodingFor(const std::wstring& text, int version)
{
    if (IsAscii(text))
        return ENC_LATIN1;
    return version == 4 ? ENC_UTF8 : ENC_UTF16;
}

void AppendEncoded(Bytes& out, const std::wstring& text, unsigned char encoding)
{
    if (encoding == ENC_LATIN1) {
        for (wchar_t c : text)
            out.push_back(static_cast<unsigned char>(c));
    } else if (encoding == ENC_UTF16) {
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (wchar_t c : text) {
            out.push_back(static_cast<unsigned char>(c & 0xFF));
            out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
        }
    } else if (!text.empty()) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
        const size_t at = out.size();
        out.resize(at + size_t(n));
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), reinterpret_cast<char*>(out.data() + at), n,
                              nullptr, nullptr);
    }
}

void AppendFrame(Bytes& out, const char* id, const Bytes& body, int version)
{
    const size_t at = out.size();
    out.resize(at + FRAME_HEADER_SIZE);
    std::memcpy(out.data() + at, id, 4);
    if (version == 4)
        PutSynchsafe(out.data() + at + 4, uint32_t(body.size()));
    else
        PutPlain(out.data() + at + 4, uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

Bytes TextFrameBody(const std::wstring& text, int version)
{
    const unsigned char encoding = EncodingFor(text, version);
    Bytes body{encoding};
    AppendEncoded(body, text, encoding);
    return body;
}

Bytes CommentFrameBody(const std::wstring& text, const char* language, int version)
{
    const unsigned char encoding = EncodingFor(text, version);
    Bytes body(encoding == ENC_UTF16 ? 8 : 5, 0);
    body[0] = encoding;
    std::memcpy(body.data() + 1, language, 3);
    // The empty description and its terminator.
    if (encoding == ENC_UTF16) {
        body[4] = 0xFF;
        body[5] = 0xFE;
    }
    AppendEncoded(body, text, encoding);
    return body;
}

// One frame of the old tag: its id and where its bytes (header included)
// lie in the frames' area.
struct CFrame
{
    char id[5] = {};
    size_t begin = 0;
    size_t end = 0;
};

// A frame's content as stored, for the few checks made on it; false where a
// frame's format flags (compressed, encrypted) hide it.
bool FrameContent(const unsigned char* frame, size_t size, int version, Bytes& content)
{
    const unsigned char* p = frame + FRAME_HEADER_SIZE;
    size_t n = size - FRAME_HEADER_SIZE;
    const unsigned char format = frame[9];
    if (version == 3) {
        if (format & 0xC0)
            return false;
        if (format & 0x20) {   // the group id
            if (n < 1)
                return false;
            ++p, --n;
        }
        content.assign(p, p + n);
        return true;
    }
    if (format & 0x0C)
        return false;
    if (format & 0x01) {   // the length before unsynchronisation
        if (n < 4)
            return false;
        p += 4, n -= 4;
    }
    content = (format & 0x02) ? Resynchronise(p, n) : Bytes(p, p + n);
    return true;
}

// A comment without a description, the one the reader shows; its language
// is kept when the text changes.
bool IsPlainComment(const unsigned char* frame, size_t size, int version, char language[4])
{
    Bytes c;
    if (!FrameContent(frame, size, version, c) || c.size() < 5)
        return false;
    std::memcpy(language, c.data() + 1, 3);
    language[3] = 0;
    const unsigned char* d = c.data() + 4;
    const size_t n = c.size() - 4;
    switch (c[0]) {
    case ENC_LATIN1:
    case ENC_UTF8:
        return d[0] == 0;
    case ENC_UTF16:
        if (n >= 2 && ((d[0] == 0xFF && d[1] == 0xFE) || (d[0] == 0xFE && d[1] == 0xFF)))
            return n >= 4 && d[2] == 0 && d[3] == 0;
        return n >= 2 && d[0] == 0 && d[1] == 0;
    case ENC_UTF16BE:
        return n >= 2 && d[0] == 0 && d[1] == 0;
    default:
        return false;
    }
}

enum EditedField { ED_TITLE, ED_ARTIST, ED_ALBUM, ED_TRACK, ED_YEAR, ED_GENRE, ED_COMMENT, ED_COUNT, ED_NONE = -1 };

// The field a frame holds, of those an edit sets. Both year frames count for
// either version: some writers put the other version's one.
EditedField FieldOf(const CFrame& f, const unsigned char* frames, int version, char language[4])
{
    static const struct { const char* id; EditedField field; } kIds[] = {
        {"TIT2", ED_TITLE}, {"TPE1", ED_ARTIST}, {"TALB", ED_ALBUM}, {"TRCK", ED_TRACK},
        {"TYER", ED_YEAR},  {"TDRC", ED_YEAR},   {"TCON", ED_GENRE},
    };
    for (const auto& k : kIds)
        if (std::memcmp(f.id, k.id, 4) == 0)
            return k.field;
    if (std::memcmp(f.id, "COMM", 4) == 0 && IsPlainComment(frames + f.begin, f.end - f.begin, version, language))
        return ED_COMMENT;
    return ED_NONE;
}

bool ValidGenre(int n)
{
    return n >= 0 && n < GENRE_COUNT;
}

// Which fields the edit changes against what the reader shows, and each new
// frame's text (empty: none).
void ChangedFields(const CID3v2Fields& now, const CSongEdit& edit, bool changed[ED_COUNT], std::wstring text[ED_COUNT])
{
    text[ED_TITLE] = Trimmed(edit.strTitle);
    text[ED_ARTIST] = Trimmed(edit.strArtist);
    text[ED_ALBUM] = Trimmed(edit.strAlbum);
    text[ED_YEAR] = Trimmed(edit.strYear);
    text[ED_COMMENT] = Trimmed(edit.strComment);
    changed[ED_TITLE] = text[ED_TITLE] != Trimmed(now.strTitle);
    changed[ED_ARTIST] = text[ED_ARTIST] != Trimmed(now.strArtist);
    changed[ED_ALBUM] = text[ED_ALBUM] != Trimmed(now.strAlbum);
    changed[ED_YEAR] = text[ED_YEAR] != Trimmed(now.strYear);
    changed[ED_COMMENT] = text[ED_COMMENT] != Trimmed(now.strComment);
    const int track = edit.nTrack > 0 ? edit.nTrack : 0;
    text[ED_TRACK] = track ? std::to_wstring(track) : std::wstring();
    changed[ED_TRACK] = track != now.nTrack;
    // A genre the list does not name reads as none, its text aside: an edit
    // leaving none keeps such a frame.
    const int genre = ValidGenre(edit.nGenre) ? edit.nGenre : GENRE_NONE;
    text[ED_GENRE] = genre != GENRE_NONE ? WideFromText(GetGenreName(genre)) : std::wstring();
    changed[ED_GENRE] = genre != now.nGenre;
}

const char* FrameIdOf(EditedField field, int version)
{
    static const char* const kIds[ED_COUNT] = {"TIT2", "TPE1", "TALB", "TRCK", nullptr, "TCON", "COMM"};
    if (field == ED_YEAR)
        return version == 4 ? "TDRC" : "TYER";
    return kIds[field];
}

// A v2.2 tag as v2.3, rendered by the library, which knows the three-letter
// frames and their conversions (PIC's image format to a type). It drops what
// has no v2.3 form (CRM, EQU, LNK, RVA, TIM, TSI, TDA, unknown frames).
bool UpgradeV22(const unsigned char* data, size_t size, Bytes& out)
{
    TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(data), unsigned(size)));
    // Parsed as a file of nothing but the tag, never saved.
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(false);
    if (!tag)
        return false;
    const TagLib::ByteVector rendered = tag->render(TagLib::ID3v2::v3);
    if (rendered.size() < HEADER_SIZE || rendered[3] != 3)
        return false;
    out.assign(rendered.data(), rendered.data() + rendered.size());
    return true;
}

// The tag's frames walked as the reader walks them. What the walk cannot
// read (a frame reaching past the end, a size of 0, an id no frame has) and
// everything after it is kept as it is behind the frames, unless it is all
// padding.
void WalkFrames(const Bytes& body, size_t begin, int version, std::vector<CFrame>& frames, size_t& rest)
{
    size_t pos = begin;
    while (pos + FRAME_HEADER_SIZE <= body.size()) {
        const unsigned char* h = body.data() + pos;
        if (!IsFrameIdChar(h[0]) || !IsFrameIdChar(h[1]) || !IsFrameIdChar(h[2]) || !IsFrameIdChar(h[3]))
            break;
        const uint32_t size = FrameSize(h + 4, version);
        if (size == 0 || size > body.size() - pos - FRAME_HEADER_SIZE)
            break;
        CFrame f;
        std::memcpy(f.id, h, 4);
        f.begin = pos;
        f.end = pos + FRAME_HEADER_SIZE + size;
        frames.push_back(f);
        pos = f.end;
    }
    rest = pos;
}

bool AllZero(const Bytes& b, size_t from)
{
    for (size_t i = from; i < b.size(); ++i)
        if (b[i])
            return false;
    return true;
}

bool BuildTag(const unsigned char* tag, const CID3v2Fields& now, const CSongEdit& edit, Bytes& out)
{
    const int version = tag[3];
    const unsigned char flags = tag[5];
    const bool bFooter = version == 4 && (flags & TAG_FOOTER);
    const size_t tagSize = size_t(ID3v2TagSize(tag, false));
    const size_t oldBody = tagSize - HEADER_SIZE - (bFooter ? size_t(HEADER_SIZE) : 0);
    // The frames as the reader sees them: in v2.3 the whole tag may be
    // unsynchronised, in v2.4 each frame says so itself and keeps its bytes.
    const Bytes body = version == 3 && (flags & TAG_UNSYNC) ? Resynchronise(tag + HEADER_SIZE, oldBody)
                                                              : Bytes(tag + HEADER_SIZE, tag + HEADER_SIZE + oldBody);
    // The extended header goes: its CRC and padding size speak of the old
    // frames, and nothing the program reads needs it.
    size_t first = 0;
    if (flags & TAG_EXTENDED) {
        if (body.size() < 4)
            return false;
        first = version == 3 ? 4 + size_t(Plain(body.data())) : size_t(Synchsafe(body.data()));
        if (first > body.size())
            return false;
    }
    std::vector<CFrame> frames;
    size_t rest = 0;
    WalkFrames(body, first, version, frames, rest);

    bool changed[ED_COUNT];
    std::wstring text[ED_COUNT];
    ChangedFields(now, edit, changed, text);

    // Each changed field's frames go; its new frame takes the place of the
    // first of them, or comes after the others where it had none.
    Bytes content;
    bool placed[ED_COUNT] = {};
    auto place = [&](int field, const char* language) {
        placed[field] = true;
        if (text[field].empty())
            return;
        const char* id = FrameIdOf(EditedField(field), version);
        AppendFrame(content,
                    id,
                    field == ED_COMMENT ? CommentFrameBody(text[field], language, version)
                                        : TextFrameBody(text[field], version),
                    version);
    };
    for (const CFrame& f : frames) {
        char language[4] = {};
        const EditedField field = FieldOf(f, body.data(), version, language);
        if (field == ED_NONE || !changed[field]) {
            content.insert(content.end(), body.begin() + f.begin, body.begin() + f.end);
            continue;
        }
        if (!placed[field])
            place(field, language);
    }
    for (int field = 0; field < ED_COUNT; ++field)
        if (changed[field] && !placed[field])
            place(field, NEW_COMMENT_LANGUAGE);
    if (!AllZero(body, rest))
        content.insert(content.end(), body.begin() + rest, body.end());

    // The tag keeps its old size where the frames fit, so that the audio
    // need not move for the next in-place editor, and gets room to grow
    // where they do not. A tag with a footer should have no padding, but the
    // library takes the footer off the frames' length twice and so skips a
    // last frame that starts in the last 20 bytes: at least the footer's
    // size of padding keeps the last frame read (readers stop at padding).
    const size_t minPadding = bFooter ? size_t(HEADER_SIZE) : 0;
    const size_t newBody =
        content.size() + minPadding <= oldBody ? oldBody : content.size() + NEW_PADDING;
    if (newBody > MAX_BODY)
        return false;
    out.assign(HEADER_SIZE, 0);
    std::memcpy(out.data(), "ID3", 3);
    out[3] = static_cast<unsigned char>(version);
    out[5] = flags & (version == 4 ? (TAG_EXPERIMENTAL | TAG_FOOTER) : TAG_EXPERIMENTAL);
    PutSynchsafe(out.data() + 6, uint32_t(newBody));
    out.insert(out.end(), content.begin(), content.end());
    out.resize(HEADER_SIZE + newBody, 0);
    if (bFooter) {
        Bytes footer(out.begin(), out.begin() + HEADER_SIZE);
        std::memcpy(footer.data(), "3DI", 3);
        out.insert(out.end(), footer.begin(), footer.end());
    }
    return true;
}

// The handle's own position is left alone: the offset goes with the call.
bool ReadAt(HANDLE hFile, uint64_t offset, void* buffer, DWORD size)
{
    OVERLAPPED at = {};
    at.Offset = DWORD(offset & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD nRead = 0;
    return ::ReadFile(hFile, buffer, size, &nRead, &at) && nRead == size;
}

bool WriteAll(HANDLE hFile, const void* data, size_t size)
{
    DWORD nWritten = 0;
    return ::WriteFile(hFile, data, DWORD(size), &nWritten, nullptr) && nWritten == size;
}

bool CopyRange(HANDLE from, uint64_t begin, uint64_t end, HANDLE to, Bytes& buffer)
{
    for (uint64_t at = begin; at < end;) {
        const DWORD n = DWORD(end - at < buffer.size() ? end - at : buffer.size());
        if (!ReadAt(from, at, buffer.data(), n) || !WriteAll(to, buffer.data(), n))
            return false;
        at += n;
    }
    return true;
}

// The tag of a file, when it has one the reader reads: its place and bytes.
bool ReadFileTag(HANDLE hFile, uint64_t nFileSize, bool bHasRecord, CID3v2Place& place, Bytes& tag,
                 CID3v2Fields& now)
{
    if (!FindID3v2(hFile, nFileSize, bHasRecord, place) || place.nSize > HEADER_SIZE + MAX_BODY + HEADER_SIZE)
        return false;
    tag.resize(size_t(place.nSize));
    return ReadAt(hFile, place.nOffset, tag.data(), DWORD(tag.size())) && ParseID3v2(tag.data(), tag.size(), now);
}

// The new file: the old one's bytes with the new tag in the old one's place
// and the record at the end.
bool WriteNewFile(HANDLE from, uint64_t audioEnd, const CID3v2Place& place, const Bytes& tag,
                  const unsigned char* record, HANDLE to)
{
    Bytes buffer(COPY_CHUNK);
    return CopyRange(from, 0, place.nOffset, to, buffer) && WriteAll(to, tag.data(), tag.size()) &&
           CopyRange(from, place.nOffset + place.nSize, audioEnd, to, buffer) && WriteAll(to, record, RECORD_SIZE);
}

} // namespace

bool EditID3v2(const unsigned char* tag, size_t size, const CSongEdit& edit, std::vector<unsigned char>& out)
{
    out.clear();
    CID3v2Fields now;
    if (!ParseID3v2(tag, size, now))
        return false;
    try {
        if (now.nVersion == 2) {
            Bytes upgraded;
            if (!UpgradeV22(tag, size, upgraded) || !ParseID3v2(upgraded.data(), upgraded.size(), now))
                return false;
            return BuildTag(upgraded.data(), now, edit, out);
        }
        return BuildTag(tag, now, edit, out);
    } catch (const std::exception&) {
        out.clear();
        return false;
    }
}

bool SaveSongTags(const std::wstring& path, CMP3Info& v1, const CSongEdit& edit)
{
    const std::wstring longPath = LongPath(path);
    const size_t sep = longPath.find_last_of(L'\\');
    if (sep == std::wstring::npos)
        return false;
    // Held alone from the first read to the replacement, as the in-place
    // write holds it: a file open elsewhere is not saved.
    CHandle file(::CreateFileW(longPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return false;
    const uint64_t nFileSize = uint64_t(size.QuadPart);
    unsigned char record[RECORD_SIZE];
    const bool bHasRecord = nFileSize >= RECORD_SIZE && ReadAt(file, nFileSize - RECORD_SIZE, record, RECORD_SIZE) &&
                            std::memcmp(record, "TAG", 3) == 0;
    CID3v2Place place;
    Bytes oldTag, newTag;
    try {
        CID3v2Fields now;
        if (!ReadFileTag(file, nFileSize, bHasRecord, place, oldTag, now)) {
            // No tag, or one the reader counts as none: the record alone, as
            // ever.
            file.Close();
            return v1.WriteTag(longPath, false, false);
        }
        if (!EditID3v2(oldTag.data(), oldTag.size(), edit, newTag))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }

    // Under Wine a program run by root opens a read-only file for writing;
    // the file says it must not change.
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    CTempFile temp;
    if (!temp.Create(longPath.substr(0, sep), longPath.substr(sep + 1), FILE_ATTRIBUTE_HIDDEN))
        return false;
    v1.RenderRecord(record);
    const uint64_t audioEnd = nFileSize - (bHasRecord ? uint64_t(RECORD_SIZE) : 0);
    try {
        if (!WriteNewFile(file, audioEnd, place, newTag, record, temp.Handle()))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The new file is the old one edited: its creation time and attributes
    // stay; it was written now.
    FILE_BASIC_INFO kept = {};
    kept.CreationTime = basic.CreationTime;
    kept.FileAttributes = (basic.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                          FILE_ATTRIBUTE_ARCHIVE;
    ::SetFileInformationByHandle(temp.Handle(), FileBasicInfo, &kept, sizeof kept);
    file.Close();
    return temp.MoveInto(longPath, true, true);
}
