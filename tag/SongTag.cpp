#include "tag/SongTag.h"

#include <algorithm>

#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "tag/FrameText.h"
#include "tag/Genre.h"

namespace {

enum : size_t { TEXT_FIELD_BYTES = 30, YEAR_BYTES = 4, COMMENT_WITH_TRACK_BYTES = 28 };

const UINT CP_LATIN1 = 28591;

// What a writer encoding in code page cp makes of a text: '?' for each
// character the code page cannot spell. Never a look-alike letter: the
// system's best fit would turn "Beyonc\u00E9" into "Beyonce" (CP949) and
// "\u0101" into "a" (Latin-1), where the writers this undoes leave '?'.
std::string Encoded(const std::wstring& text, UINT cp)
{
    if (cp == CP_TEXTS)
        return TextFromWide(text);
    if (cp == CP_UTF8) {
        const int n = text.empty() ? 0 : ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(size_t(n > 0 ? n : 0), '\0');
        if (n > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], n, nullptr, nullptr);
        return bytes;
    }
    std::string bytes(text.size(), '?');
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] <= 0xFF)
            bytes[i] = char(text[i]);
    return bytes;
}

// The longest start of a cut text that ends on a whole character of code
// page cp (CP949 pairs, UTF-8 sequences).
size_t WholeCharacters(const std::string& s, UINT cp)
{
    size_t i = 0, whole = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t step = 1;
        if (cp == CP_TEXTS)
            step = c >= 0x81 ? 2 : 1;
        else if (cp == CP_UTF8)
            step = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (i + step > s.size())
            break;
        i += step;
        whole = i;
    }
    return whole;
}

bool HasHighBytes(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Multi-byte UTF-8, as some writers (ffmpeg's among them) put in the record.
bool IsMultiByteUtf8(const std::string& s)
{
    return HasHighBytes(s) &&
           ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), int(s.size()), nullptr, 0) > 0;
}

std::string WithoutTrailingBlanks(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

// The field's bytes as a writer leaves them: cut to the field, up to a zero.
std::string InField(const std::string& encoded, size_t nFieldBytes)
{
    std::string cut = encoded.substr(0, nFieldBytes);
    const size_t zero = cut.find('\0');
    return zero == std::string::npos ? cut : cut.substr(0, zero);
}

bool IsLossyIn(const std::string& v1, size_t nFieldBytes, const std::wstring& v2, UINT cp)
{
    const std::string encoded = Encoded(v2, cp);
    const std::string stored = InField(encoded, nFieldBytes);
    if (stored == encoded && WideFromText(encoded) == v2 && cp == CP_TEXTS)
        return false;   // nothing lost: the record spells the text
    const std::string have = WithoutTrailingBlanks(v1);
    if (have == WithoutTrailingBlanks(stored))
        return true;
    // Writers that cut on a whole character leave a split one out.
    if (cp != CP_LATIN1 && stored.size() == nFieldBytes) {
        const size_t whole = WholeCharacters(stored, cp);
        return whole < stored.size() && have == WithoutTrailingBlanks(stored.substr(0, whole));
    }
    return false;
}

size_t CommentBytes(const CMP3Info& v1)
{
    return v1.GetComment().size() > COMMENT_WITH_TRACK_BYTES ? TEXT_FIELD_BYTES : COMMENT_WITH_TRACK_BYTES;
}

// Nothing a row would show: empty, or blanks alone.
bool IsBlankText(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), IsBlank<char>);
}

bool IsBlankText(const std::wstring& s)
{
    return std::all_of(s.begin(), s.end(), IsBlank<wchar_t>);
}

bool NamesGenre(int nGenre)
{
    return *GetGenreName(nGenre) != '\0';
}

std::wstring WideIn(const std::string& s, UINT cp)
{
    if (cp == CP_LATIN1) {
        std::wstring wide(s.size(), L'\0');
        for (size_t i = 0; i < s.size(); ++i)
            wide[i] = static_cast<unsigned char>(s[i]);
        return wide;
    }
    const int n = s.empty() ? 0 : ::MultiByteToWideChar(cp, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(cp, 0, s.data(), int(s.size()), &wide[0], n);
    return wide;
}

// A field its writer filled may end in half a character: the writer cut it
// there. What comes before is what tells the code page.
std::string WithoutSplitEnd(const std::string& s, size_t nFieldBytes, UINT cp)
{
    return s.size() == nFieldBytes ? s.substr(0, WholeCharacters(s, cp)) : s;
}

// A record field as its writer meant it. Valid CP949 stays the bytes it is,
// as this program's own writer and Korean ones wrote them; other bytes are
// UTF-8 where they read so with a character past ASCII (ffmpeg writes
// records so), else Latin-1, which the record was made for, and the row then
// keeps the whole text.
CSongText RecordText(const std::string& bytes, size_t nFieldBytes)
{
    CSongText t;
    const std::string cp949 = WithoutSplitEnd(bytes, nFieldBytes, CP_TEXTS);
    if (!HasHighBytes(bytes) || IsValidCP949(cp949.data(), cp949.size())) {
        t.bytes = bytes;
        return t;
    }
    const std::string utf8 = WithoutSplitEnd(bytes, nFieldBytes, CP_UTF8);
    return SongTextOf(IsMultiByteUtf8(utf8) ? WideIn(utf8, CP_UTF8) : WideIn(bytes, CP_LATIN1));
}

} // namespace

bool IsLossyCopy(const std::string& v1Bytes, size_t nFieldBytes, const std::wstring& v2Text)
{
    if (v2Text.empty() || v1Bytes.empty())
        return false;
    const std::string encoded = Encoded(v2Text, CP_TEXTS);
    if (WideFromText(encoded) == v2Text && v1Bytes == encoded)
        return false;
    return IsLossyIn(v1Bytes, nFieldBytes, v2Text, CP_TEXTS) || IsLossyIn(v1Bytes, nFieldBytes, v2Text, CP_LATIN1) ||
           IsLossyIn(v1Bytes, nFieldBytes, v2Text, CP_UTF8);
}

CSongText SongTextOf(const std::wstring& whole)
{
    CSongText t;
    t.bytes = TextFromWide(whole);
    if (WideFromText(t.bytes) != whole)
        t.whole = whole;
    return t;
}

CSongFields ChooseSongFields(const CMP3Info& v1, const CID3v2Fields& v2)
{
    CSongFields out;
    const bool bRecord = (v1.m_dwFlags & CMP3Info::FLAG_HAS_TAG) != 0;
    const std::wstring* v2Texts[SONG_FIELD_COUNT] = {&v2.strTitle, &v2.strArtist, &v2.strAlbum, &v2.strYear,
                                                     &v2.strComment};
    if (!bRecord && v2.nVersion) {
        for (int f = 0; f < SONG_FIELD_COUNT; ++f)
            out.texts[f] = SongTextOf(*v2Texts[f]);
        out.nTrack = v2.nTrack;
        out.nGenre = v2.nGenre;
        if (v2.nGenre == 255)
            out.genreText = SongTextOf(v2.strGenre);
        return out;
    }
    const std::string v1Texts[SONG_FIELD_COUNT] = {v1.GetTitle(), v1.GetArtist(), v1.GetAlbum(), v1.GetYear(),
                                                   v1.GetComment()};
    const size_t sizes[SONG_FIELD_COUNT] = {TEXT_FIELD_BYTES, TEXT_FIELD_BYTES, TEXT_FIELD_BYTES, YEAR_BYTES,
                                            CommentBytes(v1)};
    for (int f = 0; f < SONG_FIELD_COUNT; ++f) {
        const std::wstring& v2Text = *v2Texts[f];
        const bool bID3v2 = v2.nVersion && ((IsBlankText(v1Texts[f]) && !IsBlankText(v2Text)) ||
                                            IsLossyCopy(v1Texts[f], sizes[f], v2Text));
        out.texts[f] = bID3v2 ? SongTextOf(v2Text) : RecordText(v1Texts[f], sizes[f]);
    }
    // A track of 0 and a genre the list does not name are the record's way
    // of holding none.
    out.nTrack = v1.m_nTrack ? v1.m_nTrack : v2.nTrack;
    out.nGenre = v1.m_nGenre;
    if (!NamesGenre(v1.m_nGenre) && (NamesGenre(v2.nGenre) || !IsBlankText(v2.strGenre))) {
        out.nGenre = v2.nGenre;
        if (!NamesGenre(v2.nGenre))
            out.genreText = SongTextOf(v2.strGenre);
    }
    return out;
}

bool RecordMayBeLossy(const CMP3Info& v1)
{
    const std::string texts[SONG_FIELD_COUNT] = {v1.GetTitle(), v1.GetArtist(), v1.GetAlbum(), v1.GetYear(),
                                                 v1.GetComment()};
    const size_t sizes[SONG_FIELD_COUNT] = {TEXT_FIELD_BYTES, TEXT_FIELD_BYTES, TEXT_FIELD_BYTES, YEAR_BYTES,
                                            CommentBytes(v1)};
    for (int f = 0; f < SONG_FIELD_COUNT; ++f) {
        // A writer that cut on a whole character leaves one byte short; a
        // year cut to its four digits loses nothing. Bytes no Korean writer
        // made (a Latin-1 writer's accents, even those CP949's extension
        // pairs read) or that are UTF-8 are another writer's spelling of
        // what the ID3v2 tag may hold whole.
        const bool bFull = f != SONG_YEAR && texts[f].size() + 1 >= sizes[f];
        if (bFull || texts[f].find('?') != std::string::npos || IsMultiByteUtf8(texts[f]) ||
            (HasHighBytes(texts[f]) && !IsKoreanCP949(texts[f].data(), texts[f].size())))
            return true;
    }
    return false;
}

bool RecordLacksField(const CMP3Info& v1)
{
    const std::string texts[SONG_FIELD_COUNT] = {v1.GetTitle(), v1.GetArtist(), v1.GetAlbum(), v1.GetYear(),
                                                 v1.GetComment()};
    return std::any_of(std::begin(texts), std::end(texts), [](const std::string& t) { return IsBlankText(t); }) ||
           !v1.m_nTrack || !NamesGenre(v1.m_nGenre);
}

bool ReadSongFields(const std::wstring& path, CMP3Info& v1, CID3v2Fields& v2, CSongFields& out)
{
    const std::wstring longPath = LongPath(path);
    CHandle hFile(CMP3Info::OpenForTagRead(longPath));
    if (!hFile.IsValid()) {
        v1.Reset();
        return false;
    }
    v1.ReadTagFrom(hFile, longPath);
    v2 = CID3v2Fields();
    const bool bRecord = (v1.m_dwFlags & CMP3Info::FLAG_HAS_TAG) != 0;
    // A record that neither lacks a field nor may be lossy costs no more
    // than its own read; any other costs the look for an ID3v2 tag (the
    // file's first 4 KB and, where no tag starts there, a footer's ten
    // bytes) and, where there is one, what the first read left of it.
    if (!bRecord || RecordMayBeLossy(v1) || RecordLacksField(v1)) {
        // Under Wine asking a file's size is a round trip to another
        // process, a third of what an ID3v2 tag costs: the record's read
        // learned it already.
        LARGE_INTEGER size;
        size.QuadPart = LONGLONG(v1.m_nFileSize);
        CID3v2Place place;
        if ((size.QuadPart || ::GetFileSizeEx(hFile, &size)) && FindID3v2(hFile, uint64_t(size.QuadPart), bRecord, place))
            ReadID3v2(hFile, place, v2);
    }
    out = ChooseSongFields(v1, v2);
    return true;
}
