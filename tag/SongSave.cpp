#include "tag/SongSave.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "afx/Handle.h"
#include "afx/TempFile.h"
#include "afx/WidePath.h"
#include "tag/Genre.h"
#include "tag/ID3v2.h"
#include "tag/ID3v2Format.h"
#include "tag/MP3Info.h"

using namespace id3;

namespace {

using Bytes = std::vector<unsigned char>;

enum : size_t {
    // Room left behind a tag that outgrew its old space, so that the next
    // editor of any program can write in place.
    NEW_PADDING = 2048,
    // A synchsafe size holds 28 bits.
    MAX_BODY = (1u << 28) - 1,
    COPY_CHUNK = 1024 * 1024,
};

// Text encodings of a frame's first byte.
enum : unsigned char { ENC_LATIN1 = 0, ENC_UTF16 = 1, ENC_UTF16BE = 2, ENC_UTF8 = 3 };

// The language of a comment the tag had none of: the program's users write
// Korean.
const char NEW_COMMENT_LANGUAGE[] = "kor";

// The fields an edit sets, by the bit each has in CSongEdit::nChanged.
enum EditedField {
    ED_TITLE = SONG_TITLE,
    ED_ARTIST = SONG_ARTIST,
    ED_ALBUM = SONG_ALBUM,
    ED_YEAR = SONG_YEAR,
    ED_COMMENT = SONG_COMMENT,
    ED_TRACK = SONG_FIELD_COUNT,
    ED_GENRE,
    ED_COUNT,
    ED_NONE = -1
};

// Each field's frames: v2.2's id and v2.3/v2.4's ids (the year has one per
// version, and either is taken for it in both: some writers put the other
// version's).
struct CFieldIds
{
    EditedField field;
    const char* v22;
    const char* v23;
    const char* v24;
};
const CFieldIds kFieldIds[] = {
    {ED_TITLE, "TT2", "TIT2", "TIT2"},   {ED_ARTIST, "TP1", "TPE1", "TPE1"}, {ED_ALBUM, "TAL", "TALB", "TALB"},
    {ED_YEAR, "TYE", "TYER", "TDRC"},    {ED_COMMENT, "COM", "COMM", "COMM"}, {ED_TRACK, "TRK", "TRCK", "TRCK"},
    {ED_GENRE, "TCO", "TCON", "TCON"},
};

bool IsAscii(const std::wstring& s)
{
    for (wchar_t c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// Latin-1 only for ASCII: the reader takes Latin-1 bytes from 0x80 up for
// CP949 where they spell it. Beyond ASCII UTF-16 (v2.2, v2.3) or UTF-8.
unsigned char EncodingFor(const std::wstring& text, int version)
{
    if (IsAscii(text))
        return ENC_LATIN1;
    return version == 4 ? ENC_UTF8 : ENC_UTF16;
}

void AppendEncoded(std::string& out, const std::wstring& text, unsigned char encoding)
{
    if (encoding == ENC_LATIN1) {
        for (wchar_t c : text)
            out.push_back(static_cast<char>(c));
    } else if (encoding == ENC_UTF16) {
        out += "\xFF\xFE";
        for (wchar_t c : text) {
            out.push_back(static_cast<char>(c & 0xFF));
            out.push_back(static_cast<char>((c >> 8) & 0xFF));
        }
    } else if (!text.empty()) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
        const size_t at = out.size();
        out.resize(at + size_t(n));
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[at], n, nullptr, nullptr);
    }
}

std::string TextFrameData(const std::wstring& text, int version)
{
    const unsigned char encoding = EncodingFor(text, version);
    std::string data(1, char(encoding));
    AppendEncoded(data, text, encoding);
    return data;
}

std::string CommentFrameData(const std::wstring& text, const char* language, int version)
{
    const unsigned char encoding = EncodingFor(text, version);
    std::string data(1, char(encoding));
    data.append(language, 3);
    // The empty description and its terminator.
    if (encoding == ENC_UTF16)
        data.append("\xFF\xFE\0\0", 4);
    else
        data.push_back('\0');
    AppendEncoded(data, text, encoding);
    return data;
}

// A comment without a description, the one the reader shows; its language
// is kept when its text changes.
bool IsPlainComment(const std::string& c, char language[4])
{
    if (c.size() < 5)
        return false;
    std::memcpy(language, c.data() + 1, 3);
    language[3] = 0;
    const unsigned char* d = reinterpret_cast<const unsigned char*>(c.data()) + 4;
    const size_t n = c.size() - 4;
    switch (static_cast<unsigned char>(c[0])) {
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

// The field a frame holds, of those an edit sets. A comment counts only
// while it is the first without a description (the one the list shows);
// the others are other texts.
EditedField FieldOf(const CFrameSpan& span, int version, CFrameWalk& walk, bool& bCommentSeen, char language[4])
{
    const bool bShort = version == 2 || span.bShortId;
    const std::string id = span.Id(version);
    for (const CFieldIds& f : kFieldIds) {
        const bool bMatch = bShort ? id == f.v22 : (id == f.v23 || id == f.v24);
        if (!bMatch)
            continue;
        if (f.field != ED_COMMENT)
            return f.field;
        std::string data;
        if (bCommentSeen || !walk.Data(span, data) || !IsPlainComment(data, language))
            return ED_NONE;
        bCommentSeen = true;
        return ED_COMMENT;
    }
    return ED_NONE;
}

const char* NewFrameId(EditedField field, int version)
{
    for (const CFieldIds& f : kFieldIds)
        if (f.field == field)
            return version == 2 ? f.v22 : version == 3 ? f.v23 : f.v24;
    return nullptr;
}

bool ValidGenre(int n)
{
    return n >= 0 && n < GENRE_COUNT;
}

// Which fields the edit sets, and each new frame's text (empty: none). A
// field the user changed to what the reader already shows keeps its frames.
void ChangedFields(const CID3v2Fields& now, const CSongEdit& edit, bool changed[ED_COUNT], std::wstring text[ED_COUNT])
{
    const std::wstring* nowTexts[SONG_FIELD_COUNT] = {&now.strTitle, &now.strArtist, &now.strAlbum, &now.strYear,
                                                      &now.strComment};
    for (int f = 0; f < SONG_FIELD_COUNT; ++f) {
        text[f] = Trimmed(edit.Whole(SongField(f)));
        changed[f] = (edit.nChanged & (1u << f)) && text[f] != Trimmed(*nowTexts[f]);
    }
    const int track = edit.nTrack > 0 ? edit.nTrack : 0;
    text[ED_TRACK] = track ? std::to_wstring(track) + now.strTrackCount : std::wstring();
    changed[ED_TRACK] = (edit.nChanged & EDIT_TRACK) && track != now.nTrack;
    // A genre the list does not name reads as none, its text aside: an edit
    // to none keeps such a frame.
    const int genre = ValidGenre(edit.nGenre) ? edit.nGenre : GENRE_NONE;
    text[ED_GENRE] = genre != GENRE_NONE ? WideFromText(GetGenreName(genre)) : std::wstring();
    changed[ED_GENRE] = (edit.nChanged & EDIT_GENRE) && genre != now.nGenre;
}

std::string FrameBytes(const std::string& body, const CFrameSpan& span)
{
    return body.substr(size_t(span.nBegin), size_t(span.End() - span.nBegin));
}

bool AllZero(const std::string& b, size_t from)
{
    for (size_t i = from; i < b.size(); ++i)
        if (b[i])
            return false;
    return true;
}

// The tag with the changed fields set. Its frames are walked as the reader
// walks them, in the body as readers see it: v2.2 and v2.3 tags
// unsynchronised as a whole are written plain; a v2.4 one keeps its flag,
// its frames as they were and the new ones unsynchronised the same way. A
// v2.4 frame whose size was a plain number gets it synchsafe, so that no
// reader has to guess where it ends.
bool BuildTag(const unsigned char* tag, const CID3v2Fields& now, const CSongEdit& edit, Bytes& out)
{
    const int version = tag[3];
    const unsigned char flags = tag[5];
    const bool bFooter = version == 4 && (flags & TAG_FOOTER);
    const bool bUnsync24 = version == 4 && (flags & TAG_UNSYNC);
    const size_t tagSize = size_t(ID3v2TagSize(tag, false));
    const size_t oldBody = tagSize - HEADER_SIZE - (bFooter ? size_t(HEADER_SIZE) : 0);
    const std::string body = version <= 3 && (flags & TAG_UNSYNC)
                                 ? Resynchronised(tag + HEADER_SIZE, oldBody)
                                 : std::string(reinterpret_cast<const char*>(tag) + HEADER_SIZE, oldBody);
    CMemoryBody memory(reinterpret_cast<const unsigned char*>(body.data()), body.size());
    // The extended header goes: its CRC and padding size speak of the old
    // frames, and nothing the program reads needs it.
    CFrameWalk walk(version, flags, memory);
    if (!walk.Start())
        return false;

    bool changed[ED_COUNT];
    std::wstring text[ED_COUNT];
    ChangedFields(now, edit, changed, text);

    // Each changed field's frames go; its new frame takes the place of the
    // first of them, or comes after the others where it had none.
    std::string content;
    bool placed[ED_COUNT] = {};
    auto place = [&](int field, const char* language) {
        placed[field] = true;
        if (text[field].empty())
            return;
        std::string data = field == ED_COMMENT ? CommentFrameData(text[field], language, version)
                                               : TextFrameData(text[field], version);
        unsigned char format = 0;
        if (bUnsync24) {
            // The data length, then the data as every frame of the tag is.
            unsigned char length[4];
            PutSynchsafe32(length, uint32_t(data.size()));
            data = std::string(reinterpret_cast<const char*>(length), 4) + Unsynchronised(data);
            format = V24_UNSYNC | V24_DATA_LENGTH;
        }
        AppendFrame(content, version, NewFrameId(EditedField(field), version), data, format);
    };
    bool bCommentSeen = false;
    CFrameSpan span;
    while (walk.Next(span)) {
        char language[4] = {};
        const EditedField field = FieldOf(span, version, walk, bCommentSeen, language);
        if (field != ED_NONE && changed[field]) {
            if (!placed[field])
                place(field, language);
            continue;
        }
        std::string frame = FrameBytes(body, span);
        if (version == 4)
            PutSynchsafe32(reinterpret_cast<unsigned char*>(&frame[4]), uint32_t(span.nDataSize));
        content += frame;
    }
    for (int field = 0; field < ED_COUNT; ++field)
        if (changed[field] && !placed[field])
            place(field, NEW_COMMENT_LANGUAGE);
    // Bytes no frame holds (a frame reaching past the tag and what follows
    // it) stay, behind the padding, where no reader looks: a tag grown by
    // the edit must not turn them into frames that fit. Frames beyond the
    // bound on their number stay right behind the others.
    const size_t rest = size_t(walk.End());
    std::string tail;
    if (walk.ReachedLimit())
        content.append(body, rest, std::string::npos);
    else if (!AllZero(body, rest))
        tail = body.substr(rest);

    // The tag keeps its old size where the frames fit, so that the audio
    // need not move for the next in-place editor, and gets room to grow
    // where they do not. A tag with a footer should have no padding, but the
    // tag library takes the footer off the frames' length twice and so skips
    // a last frame that starts in the last 20 bytes: at least the footer's
    // size of padding keeps the last frame read (readers stop at padding).
    const size_t used = content.size() + tail.size();
    const size_t minPadding = bFooter ? size_t(HEADER_SIZE) : 0;
    const size_t newBody = used + minPadding <= oldBody ? oldBody : used + NEW_PADDING;
    if (newBody > MAX_BODY)
        return false;
    out.assign(HEADER_SIZE, 0);
    std::memcpy(out.data(), "ID3", 3);
    out[3] = static_cast<unsigned char>(version);
    out[5] = flags & (version == 4 ? (TAG_EXPERIMENTAL | TAG_FOOTER | TAG_UNSYNC)
                                   : version == 3 ? TAG_EXPERIMENTAL : 0);
    PutSynchsafe32(out.data() + 6, uint32_t(newBody));
    out.insert(out.end(), content.begin(), content.end());
    out.resize(HEADER_SIZE + newBody - tail.size(), 0);
    out.insert(out.end(), tail.begin(), tail.end());
    if (bFooter) {
        Bytes footer(out.begin(), out.begin() + HEADER_SIZE);
        std::memcpy(footer.data(), "3DI", 3);
        out.insert(out.end(), footer.begin(), footer.end());
    }
    return true;
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

// The tag of a file, when it has one the reader reads: its place, bytes and
// fields.
bool ReadFileTag(HANDLE hFile, uint64_t nFileSize, bool bHasRecord, CID3v2Place& place, Bytes& tag,
                 CID3v2Fields& now)
{
    if (!FindID3v2(hFile, nFileSize, bHasRecord, place) || place.nSize > HEADER_SIZE + MAX_BODY + HEADER_SIZE)
        return false;
    tag.resize(size_t(place.nSize));
    return ReadAt(hFile, place.nOffset, tag.data(), DWORD(tag.size())) && ParseID3v2(tag.data(), tag.size(), now);
}

// BuildTag, its failures false with out empty.
bool EditParsed(const unsigned char* tag, const CID3v2Fields& now, const CSongEdit& edit, Bytes& out)
{
    try {
        if (BuildTag(tag, now, edit, out))
            return true;
    } catch (const std::exception&) {
    }
    out.clear();
    return false;
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

// The record as the edit writes it: every field from the edit. A field the
// user did not change, whose text CP949 cannot spell but the old record
// holds as its writer's UTF-8 or Latin-1 (the row shows it whole), keeps
// those bytes: '?' in their place would lose what nobody edited.
CMP3Info RecordOf(const CSongEdit& edit, const CMP3Info& old)
{
    const CSongFields was = ChooseSongFields(old, CID3v2Fields());
    const std::string oldTexts[SONG_FIELD_COUNT] = {old.GetTitle(), old.GetArtist(), old.GetAlbum(), old.GetYear(),
                                                    old.GetComment()};
    std::string texts[SONG_FIELD_COUNT];
    for (int f = 0; f < SONG_FIELD_COUNT; ++f) {
        const CSongText& t = edit.texts[f];
        const bool bKept = !(edit.nChanged & (1u << f)) && !t.whole.empty() && Trimmed(was.texts[f].whole) == t.whole;
        texts[f] = bKept ? oldTexts[f] : t.bytes;
    }
    CMP3Info v1;
    v1.SetTitle(texts[SONG_TITLE]);
    v1.SetArtist(texts[SONG_ARTIST]);
    v1.SetAlbum(texts[SONG_ALBUM]);
    v1.SetYear(texts[SONG_YEAR]);
    v1.SetComment(texts[SONG_COMMENT]);
    v1.m_nTrack = edit.nTrack;
    v1.m_nGenre = edit.nGenre;
    return v1;
}

bool Save(const std::wstring& longPath, const CSongEdit& edit)
{
    const size_t sep = longPath.find_last_of(L'\\');
    if (sep == std::wstring::npos)
        return false;
    // Held alone from the first read until just before the replacement, as
    // the in-place write holds it: a file open elsewhere is not saved.
    CHandle file(::CreateFileW(longPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return false;
    CMP3Info old;
    old.ReadTagFrom(file, longPath);
    // The record's read learned the size, but of a file shorter than it.
    uint64_t nFileSize = old.m_nFileSize;
    LARGE_INTEGER size;
    if (!nFileSize) {
        if (!::GetFileSizeEx(file, &size))
            return false;
        nFileSize = uint64_t(size.QuadPart);
    }
    const bool bHasRecord = (old.m_dwFlags & CMP3Info::FLAG_HAS_TAG) != 0;
    CMP3Info v1 = RecordOf(edit, old);
    CID3v2Place place;
    Bytes oldTag, newTag;
    CID3v2Fields now;
    if (!ReadFileTag(file, nFileSize, bHasRecord, place, oldTag, now)) {
        // No tag, or one the reader counts as none: the record alone, in
        // place, as ever.
        file.Close();
        return v1.WriteTag(longPath, false, false);
    }
    if (!EditParsed(oldTag.data(), now, edit, newTag))
        return false;

    // Under Wine a program run by root opens a read-only file for writing;
    // the file says it must not change.
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    CTempFile temp;
    // Hidden until it is the song: a kill just before it takes the song's
    // place leaves it beside the song.
    if (!temp.Create(longPath.substr(0, sep), longPath.substr(sep + 1), true, FILE_ATTRIBUTE_HIDDEN))
        return false;
    unsigned char record[RECORD_SIZE];
    v1.RenderRecord(record);
    const uint64_t audioEnd = nFileSize - (bHasRecord ? uint64_t(RECORD_SIZE) : 0);
    if (!WriteNewFile(file, audioEnd, place, newTag, record, temp.Handle()))
        return false;
    // The new file is the old one edited: its creation time and attributes
    // stay; it was written now.
    FILE_BASIC_INFO kept = {};
    kept.CreationTime = basic.CreationTime;
    kept.FileAttributes = (basic.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                          FILE_ATTRIBUTE_ARCHIVE;
    ::SetFileInformationByHandle(temp.Handle(), FileBasicInfo, &kept, sizeof kept);
    // An open file cannot be replaced.
    file.Close();
    return temp.MoveInto(longPath, true) == CTempFile::NAMED;
}

} // namespace

std::wstring CSongEdit::Whole(SongField field) const
{
    const CSongText& t = texts[field];
    return t.whole.empty() ? WideFromText(t.bytes) : t.whole;
}

bool EditID3v2(const unsigned char* tag, size_t size, const CSongEdit& edit, std::vector<unsigned char>& out)
{
    out.clear();
    CID3v2Fields now;
    return ParseID3v2(tag, size, now) && EditParsed(tag, now, edit, out);
}

bool SaveSongTags(const std::wstring& path, const CSongEdit& edit)
{
    const std::wstring longPath = LongPath(path);
    try {
        return Save(longPath, edit);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
