#include "tag/SongTag.h"

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include "afx/WidePath.h"
#include "tests/support/ID3v2Bytes.h"

using namespace tag_bytes;
using namespace testing_support;

namespace {

enum Holds { RECORD, ID3V2, SAME_TEXT };

CMP3Info RecordWithAlbum(const std::string& album)
{
    CMP3Info v1;
    v1.m_dwFlags = CMP3Info::FLAG_HAS_TAG;
    v1.SetAlbum(album);
    return v1;
}

std::string Cut(const Bytes& b, size_t n) { return std::string(b.begin(), b.begin() + std::min(n, b.size())); }

std::wstring Shown(const CSongText& t) { return t.whole.empty() ? WideFromText(t.bytes) : t.whole; }

// A record that fills every field, as one that lacks none.
TagFields Full(const std::string& artist, const std::string& album)
{
    TagFields f = Tagged(artist, album, "Title");
    f.year = "2001";
    f.comment = "Note";
    f.track = 1;
    f.genre = 17;
    return f;
}

std::wstring TrimmedEnd(std::wstring s)
{
    while (!s.empty() && s.back() == L' ')
        s.pop_back();
    return s;
}

} // namespace

// Which of a song's two tags names it, field by field: the record, but for
// a text that is only what a lossy writer made of the ID3v2 one, or none.
TEST(SongFields, WhichTagHolds)
{
    const std::wstring lift = L"Lift Your Skinny Fists Like Antennas to Heaven";
    const std::wstring isora = L"\uC774\uC18C\uB77C";   // 이소라
    // 39 UTF-8 bytes: a 30-byte field ends inside a syllable.
    const std::wstring utf8Long = L"Album \uC774\uC18C\uB77C \uB208\uBB3C \uBC14\uB78C\uC774 \uBD84\uB2E4";
    // 31 CP949 bytes: a 30-byte field ends inside the last syllable.
    const std::wstring odd = L"A\uAC00\uB098\uB2E4\uB77C\uB9C8\uBC14\uC0AC\uC544\uC790\uCC28\uCE74\uD0C0\uD30C\uD558\uAC70";
    struct Case
    {
        const char* label;
        bool record;          // the file has an ID3v1 record
        std::string v1;       // its album's bytes
        std::wstring v2;      // the ID3v2 album
        Holds holds;
    };
    const Case cases[] = {
        {"no record: ID3v2", false, "", L"Album", ID3V2},
        {"no record, Hangul: ID3v2 whole", false, "", isora, ID3V2},
        {"record equal", true, "Album", L"Album", RECORD},
        {"record equal in CP949", true, Cut(Cp949(isora), 30), isora, RECORD},
        {"cut at 30 bytes", true, "Lift Your Skinny Fists Like An", lift, ID3V2},
        {"Hangul written as ? by a Latin-1 writer", true, "???", isora, ID3V2},
        {"CP949 cut inside a double-byte character", true, Cut(Cp949(odd), 30), odd, ID3V2},
        {"CP949 cut before a double-byte character", true, Cut(Cp949(odd), 29), odd, ID3V2},
        {"a different text", true, "Other", L"Album", RECORD},
        {"a different text of 30 bytes", true, "Lift Your Skinny Fists Like Ab", lift, RECORD},
        {"a different Hangul text", true, Cut(Cp949(L"\uBD80\uD65C"), 30), isora, RECORD},
        {"record padded with blanks", true, "Album                         ", L"Album", SAME_TEXT},
        {"ID3v2 ends in blanks the record drops", true, "Album", L"Album  ", SAME_TEXT},
        {"empty record field: ID3v2", true, "", L"Album", ID3V2},
        {"blank record field: ID3v2", true, "   ", L"Album", ID3V2},
        {"empty record field, Hangul in ID3v2: whole", true, "", isora, ID3V2},
        {"empty record field, empty ID3v2 field", true, "", L"", RECORD},
        {"blank record field, blank ID3v2 field", true, " ", L"  ", SAME_TEXT},
        {"empty ID3v2 field", true, "Album", L"", RECORD},
        {"Beyonc\xE9 by a Latin-1 writer", true, "Beyonc\xE9", L"Beyonc\u00E9", ID3V2},
        {"Beyonc\xE9 by a CP949 writer", true, "Beyonc?", L"Beyonc\u00E9", ID3V2},
        {"Hangul in UTF-8 (ffmpeg's record)", true, Cut(Utf8(isora), 30), isora, ID3V2},
        {"Beyonc\xE9 in UTF-8, which CP949 reads as a Hangul syllable", true, Cut(Utf8(L"Beyonc\u00E9"), 30), L"Beyonc\u00E9", ID3V2},
        {"UTF-8 cut inside a character", true, Cut(Utf8(utf8Long), 30), utf8Long, ID3V2},
        {"UTF-8 cut before a character", true, Cut(Utf8(utf8Long), 29), utf8Long, ID3V2},
        {"a real question mark", true, "Why?", L"Why?", RECORD},
        {"question marks that are no lost characters", true, "???", L"Album", RECORD},
        {"Hangul by a Latin-1 writer, cut", true, std::string(30, '?'),
         L"\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00"
         L"\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00\uAC00",
         ID3V2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CMP3Info v1 = c.record ? RecordWithAlbum(c.v1) : CMP3Info();
        CID3v2Fields v2;
        v2.nVersion = 3;
        v2.strAlbum = c.v2;
        const CSongFields got = ChooseSongFields(v1, v2);
        const CSongText& album = got.texts[SONG_ALBUM];
        switch (c.holds) {
        case RECORD:
            EXPECT_EQ(c.v1, album.bytes);
            EXPECT_EQ(L"", album.whole);
            break;
        case ID3V2:
            EXPECT_EQ(c.v2, Shown(album));
            EXPECT_EQ(TextFromWide(c.v2), album.bytes);
            break;
        case SAME_TEXT:
            EXPECT_EQ(TrimmedEnd(c.v2), TrimmedEnd(Shown(album)));
            break;
        }
    }
}

TEST(SongFields, NumbersFollowTheTagThatHolds)
{
    CID3v2Fields v2;
    v2.nVersion = 4;
    v2.strArtist = L"Sigur R\u00F3s";
    v2.nTrack = 7;
    v2.nGenre = 255;
    v2.strGenre = L"Post-rock";
    const CSongFields alone = ChooseSongFields(CMP3Info(), v2);
    EXPECT_EQ(7, alone.nTrack);
    EXPECT_EQ(255, alone.nGenre);
    EXPECT_EQ(L"Post-rock", Shown(alone.genreText));
    EXPECT_EQ(L"Sigur R\u00F3s", alone.texts[SONG_ARTIST].whole) << "CP949 cannot spell it";

    CMP3Info v1 = RecordWithAlbum("Takk");
    v1.m_nTrack = 2;
    v1.m_nGenre = 20;
    const CSongFields both = ChooseSongFields(v1, v2);
    EXPECT_EQ(2, both.nTrack);
    EXPECT_EQ(20, both.nGenre);
    EXPECT_EQ("", both.genreText.bytes);
    EXPECT_EQ(L"Sigur R\u00F3s", both.texts[SONG_ARTIST].whole) << "an empty record field takes the ID3v2 text";

    // A record's track 0 and a genre the list does not name hold none.
    struct Case
    {
        const char* label;
        int v1Track, v1Genre;
        int v2Track, v2Genre;
        std::wstring v2GenreText;
        int track, genre;
        std::wstring genreText;
    };
    const Case cases[] = {
        {"the record's numbers hold", 2, 20, 7, 17, L"", 2, 20, L""},
        {"no track in the record: the ID3v2 track", 0, 20, 7, 17, L"", 7, 20, L""},
        {"no genre in the record: the ID3v2 genre", 2, 255, 7, 17, L"", 2, 17, L""},
        {"no genre in the record: the ID3v2 genre's text", 2, 255, 7, 255, L"Post-rock", 2, 255, L"Post-rock"},
        {"a record genre past the list counts as none", 2, 200, 7, 17, L"", 2, 17, L""},
        {"neither tag has a track or a genre", 0, 255, 0, 255, L"", 0, 255, L""},
        {"a record genre past the list, none in ID3v2: kept", 2, 200, 7, 255, L"", 2, 200, L""},
        {"a blank ID3v2 genre's text names none", 2, 255, 7, 255, L"  ", 2, 255, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CMP3Info rec = RecordWithAlbum("Takk");
        rec.m_nTrack = c.v1Track;
        rec.m_nGenre = c.v1Genre;
        CID3v2Fields tag;
        tag.nVersion = 3;
        tag.nTrack = c.v2Track;
        tag.nGenre = c.v2Genre;
        tag.strGenre = c.v2GenreText;
        const CSongFields got = ChooseSongFields(rec, tag);
        EXPECT_EQ(c.track, got.nTrack);
        EXPECT_EQ(c.genre, got.nGenre);
        EXPECT_EQ(c.genreText, Shown(got.genreText));
    }
}

// A record text as its writer meant it: CP949 where its bytes are CP949,
// else UTF-8 or Latin-1, then listed whole; a lossy copy of the ID3v2 text
// still gives way to it.
TEST(SongFields, RecordTextAsWritten)
{
    const std::wstring isora = L"\uC774\uC18C\uB77C";   // 이소라
    const std::wstring utf8Long = L"Album \uC774\uC18C\uB77C \uB208\uBB3C \uBC14\uB78C\uC774 \uBD84\uB2E4";
    const std::wstring odd = L"A\uAC00\uB098\uB2E4\uB77C\uB9C8\uBC14\uC0AC\uC544\uC790\uCC28\uCE74\uD0C0\uD30C\uD558\uAC70";
    struct Case
    {
        const char* label;
        std::string v1;      // the record's album
        std::wstring v2;     // the ID3v2 album; empty: no ID3v2 tag
        bool asBytes;        // listed as the record's bytes, as they are
        std::wstring shown;  // else what is listed
    };
    const Case cases[] = {
        {"Hangul in CP949", Cut(Cp949(L"\uBD80\uD65C"), 30), L"", true, L""},
        {"Latin-1 accents CP949 cannot read", "Bj\xF6rk", L"", false, L"Bj\u00F6rk"},
        {"a Latin-1 accent last", "Beyonc\xE9", L"", false, L"Beyonc\u00E9"},
        {"Hangul in UTF-8", Cut(Utf8(isora), 30), L"", false, isora},
        {"UTF-8 of a dash CP949 cannot read", Cut(Utf8(L"Caf\u00E9 del Mar \u2013 Vol. 1"), 30), L"", false,
         L"Caf\u00E9 del Mar \u2013 Vol. 1"},
        {"UTF-8 cut inside a character at the field's end: the whole characters", Cut(Utf8(utf8Long), 30), L"", false,
         L"Album \uC774\uC18C\uB77C \uB208\uBB3C \uBC14\uB78C"},
        {"CP949 cut inside a pair at the field's end", Cut(Cp949(odd), 30), L"", true, L""},
        {"ambiguous: Latin-1 that CP949's extension pairs read stays CP949", "Die \xC4rzte", L"", true, L""},
        {"ambiguous: UTF-8 that is valid CP949 stays CP949", Cut(Utf8(L"Sigur R\u00F3s"), 30), L"", true, L""},
        {"ambiguous: UTF-8 Hangul that is valid CP949 stays CP949", Cut(Utf8(L"\uC88B\uC544"), 30), L"", true, L""},
        {"Latin-1 beside an ID3v2 text it is no copy of", "Bj\xF6rk", L"Homogenic", false, L"Bj\u00F6rk"},
        {"Latin-1 that CP949 reads, a copy of the ID3v2 text: ID3v2", "Die \xC4rzte", L"Die \u00C4rzte", false,
         L"Die \u00C4rzte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CID3v2Fields v2;
        v2.nVersion = c.v2.empty() ? 0 : 3;
        v2.strAlbum = c.v2;
        const CSongText got = ChooseSongFields(RecordWithAlbum(c.v1), v2).texts[SONG_ALBUM];
        if (c.asBytes) {
            EXPECT_EQ(c.v1, got.bytes);
            EXPECT_EQ(L"", got.whole);
        } else {
            EXPECT_EQ(c.shown, Shown(got));
            EXPECT_EQ(WideFromText(got.bytes) != c.shown, !got.whole.empty()) << "whole only where the bytes cannot spell it";
        }
    }
}

TEST(SongFields, RecordMayBeLossy)
{
    struct Case
    {
        const char* label;
        TagFields fields;
        bool may;
    };
    const Case cases[] = {
        {"short texts", Tagged("Artist", "Album", "Title"), false},
        {"a question mark", Tagged("???", "Album"), true},
        {"a field filled", Tagged("Artist", std::string(30, 'a')), true},
        {"a field one byte short of full (a split pair left out)", Tagged(std::string(29, 'a'), "Album"), true},
        {"a comment of 28 bytes beside a track", [] { TagFields f = Tagged("A", "B"); f.comment = std::string(28, 'c'); f.track = 1; return f; }(), true},
        {"a year of four digits", [] { TagFields f = Tagged("A", "B"); f.year = "1999"; return f; }(), false},
        {"Hangul in CP949", Tagged("\xC0\xCC\xBC\xD2\xB6\xF3", "\xB4\xAB\xB9\xB0"), false},
        {"accents of a Latin-1 writer", Tagged("Beyonc\xE9", "Lemonade"), true},
        {"accents of a Latin-1 writer that pass for a pair", Tagged("Bj\xF6rk", "Post"), true},
        {"UTF-8", Tagged("\xEC\x9D\xB4\xEC\x86\x8C\xEB\x9D\xBC", "Album"), true},
        {"accents of a Latin-1 writer that CP949's extension pairs read", Tagged("Die \xC4rzte", "Album"), true},
        {"a syllable outside KS X 1001 alone, which Latin-1 could have made", Tagged("\x8C\x63", "Album"), true},
        {"CP949 of a syllable outside KS X 1001 among ones inside it", Tagged("\x8C\x63\xB9\xE6", "Album"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        WriteFile(dir / "s.mp3", MakeTagRecord(c.fields));
        CMP3Info v1;
        ASSERT_TRUE(v1.ReadTag(dir / "s.mp3"));
        EXPECT_EQ(c.may, RecordMayBeLossy(v1));
    }
}

// A record that lacks a field (empty, blank, no track, a genre the list does
// not name) is read beside the ID3v2 tag, which may hold it.
TEST(SongFields, RecordLacksField)
{
    struct Case
    {
        const char* label;
        TagFields fields;
        bool lacks;
    };
    auto with = [](auto change) {
        TagFields f = Full("Artist", "Album");
        change(f);
        return f;
    };
    const Case cases[] = {
        {"every field", Full("Artist", "Album"), false},
        {"no title", with([](TagFields& f) { f.title.clear(); }), true},
        {"an artist of blanks", with([](TagFields& f) { f.artist = "   "; }), true},
        {"no year", with([](TagFields& f) { f.year.clear(); }), true},
        {"a comment of blanks", with([](TagFields& f) { f.comment = " "; }), true},
        {"track 0", with([](TagFields& f) { f.track = 0; }), true},
        {"genre 255", with([](TagFields& f) { f.genre = 255; }), true},
        {"a genre past the list", with([](TagFields& f) { f.genre = 200; }), true},
        {"genre 0, Blues", with([](TagFields& f) { f.genre = 0; }), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        WriteFile(dir / "s.mp3", MakeTagRecord(c.fields));
        CMP3Info v1;
        ASSERT_TRUE(v1.ReadTag(dir / "s.mp3"));
        EXPECT_EQ(c.lacks, RecordLacksField(v1));
    }
}

namespace {

struct FileState
{
    Bytes bytes;
    FILETIME written{};
};

FileState StateOf(const std::wstring& path)
{
    FileState s;
    s.bytes = ReadFile(path);
    HANDLE h = ::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ::GetFileTime(h, nullptr, nullptr, &s.written);
    ::CloseHandle(h);
    return s;
}

void ExpectUnchanged(const FileState& before, const std::wstring& path)
{
    const FileState after = StateOf(path);
    EXPECT_TRUE(before.bytes == after.bytes) << "the reader wrote to the file";
    EXPECT_EQ(before.written.dwLowDateTime, after.written.dwLowDateTime);
    EXPECT_EQ(before.written.dwHighDateTime, after.written.dwHighDateTime);
}

Bytes Audio(size_t n = 400) { return Bytes(n, 0xAB); }

Bytes V2Song(int version, const std::wstring& artist, const std::wstring& album)
{
    const char* a = version == 2 ? "TP1" : "TPE1";
    const char* b = version == 2 ? "TAL" : "TALB";
    return Frame(version, a, Text(UTF16, Utf16LE(artist))) + Frame(version, b, Text(UTF16, Utf16LE(album)));
}

} // namespace

// A file's tags as the scan reads them: where each tag lies, and which one
// is read at all.
TEST(SongFields, ReadFromFiles)
{
    const std::wstring lift = L"Lift Your Skinny Fists Like Antennas to Heaven";
    const Bytes cutRecord = MakeTagRecord(Tagged("GY!BE", "Lift Your Skinny Fists Like An"));
    const Bytes fineRecord = MakeTagRecord(Full("Record Artist", "Record Album"));
    const Bytes noAlbumRecord = MakeTagRecord(Full("Record Artist", ""));
    const Bytes tag4 = Tag(4, V2Song(4, L"GY!BE", lift), 0, 64);
    const Bytes footed = Tag(4, V2Song(4, L"GY!BE", lift), FOOTER);
    struct Case
    {
        const char* label;
        Bytes file;
        int version;   // of the ID3v2 tag read; 0: none read
        std::wstring artist, album;
    };
    const Case cases[] = {
        {"ID3v2 only", tag4 + Audio(), 4, L"GY!BE", lift},
        {"a record that loses nothing: the ID3v2 tag is not read", tag4 + Audio() + fineRecord, 0, L"Record Artist", L"Record Album"},
        {"a record cut at 30 bytes: the ID3v2 album", tag4 + Audio() + cutRecord, 4, L"GY!BE", lift},
        {"broken ID3v2 header, fine record", [&] { Bytes f = tag4 + Audio() + cutRecord; f[7] = 0xFF; return f; }(), 0, L"GY!BE",
         L"Lift Your Skinny Fists Like An"},
        {"broken ID3v2 header, no record", [&] { Bytes f = tag4 + Audio(); f[3] = 9; return f; }(), 0, L"", L""},
        {"appended v2.4 with a footer", Audio() + footed, 4, L"GY!BE", lift},
        {"appended v2.4 with a footer, then a record", Audio() + footed + cutRecord, 4, L"GY!BE", lift},
        {"appended v2.4 with a footer, then a record that loses nothing", Audio() + footed + fineRecord, 0, L"Record Artist",
         L"Record Album"},
        {"a tag at the start reaching into the record is broken",
         [&] { Bytes t = Tag(3, V2Song(3, L"GY!BE", lift), 0, 500); t.resize(t.size() - 100); return t + cutRecord; }(), 0, L"GY!BE",
         L"Lift Your Skinny Fists Like An"},
        {"a footer whose tag starts before the file", [&] { Bytes f = footed; f[0] = 'X'; return Bytes(f.begin() + 20, f.end()); }(), 0,
         L"", L""},
        {"v2.2 beside a record that lost its Hangul", Tag(2, V2Song(2, L"\uC774\uC18C\uB77C", L"\uB208\uBB3C")) + Audio() + MakeTagRecord(Tagged("???", "??")),
         2, L"\uC774\uC18C\uB77C", L"\uB208\uBB3C"},
        {"a record without an album: the ID3v2 album", tag4 + Audio() + noAlbumRecord, 4, L"Record Artist", lift},
        {"appended v2.4 with a footer, then a record without an album", Audio() + footed + noAlbumRecord, 4, L"Record Artist",
         lift},
        {"a record without an album, no ID3v2 tag", Audio() + noAlbumRecord, 0, L"Record Artist", L""},
        {"a record of Latin-1 accents, no ID3v2 tag", Audio() + MakeTagRecord(Full("Bj\xF6rk", "Homogenic")), 0, L"Bj\u00F6rk",
         L"Homogenic"},
        {"a file of only a header", Tag(4, Bytes()), 4, L"", L""},
        {"an empty file", Bytes(), 0, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::wstring path = LongPath(dir / "song.mp3");
        WriteFile(path, c.file);
        const FileState before = StateOf(path);
        CMP3Info v1;
        CID3v2Fields v2;
        CSongFields fields;
        ASSERT_TRUE(ReadSongFields(path, v1, v2, fields));
        EXPECT_EQ(c.version, v2.nVersion);
        EXPECT_EQ(c.artist, Shown(fields.texts[SONG_ARTIST]));
        EXPECT_EQ(c.album, Shown(fields.texts[SONG_ALBUM]));
        ExpectUnchanged(before, path);
    }
    CMP3Info v1;
    CID3v2Fields v2;
    CSongFields fields;
    EXPECT_FALSE(ReadSongFields(L"C:\\no such folder\\song.mp3", v1, v2, fields));
}

namespace {

// A file of size bytes, a hole but for the given pieces.
void WriteSparse(const std::wstring& path, uint64_t size, const std::vector<std::pair<uint64_t, Bytes>>& pieces)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    for (const auto& [at, bytes] : pieces) {
        LARGE_INTEGER pos;
        pos.QuadPart = LONGLONG(at);
        ::SetFilePointerEx(h, pos, nullptr, FILE_BEGIN);
        DWORD n = 0;
        ::WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    }
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(size);
    ::SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    ::SetEndOfFile(h);
    ::CloseHandle(h);
}

SIZE_T PeakMemory()
{
    PROCESS_MEMORY_COUNTERS pmc{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize;
}

Bytes Header(int version, uint32_t size, unsigned char flags = 0)
{
    return B("ID3") + Bytes{static_cast<unsigned char>(version), 0, flags} + Synchsafe(size);
}

} // namespace

// Tags of hundreds of megabytes: the scan reads three at a time on a 32-bit
// build, so a tag's size must not decide what the reader holds in memory.
TEST(SongFields, HugeTagsInBoundedMemory)
{
    const uint32_t big = 250u << 20;
    const Bytes title = Frame(4, "TIT2", Text(LATIN1, B("Big")));
    const Bytes record = MakeTagRecord(Tagged("???", "Album"));
    struct Case
    {
        const char* label;
        uint64_t size;
        std::vector<std::pair<uint64_t, Bytes>> pieces;
        int version;
        std::wstring title;
    };
    const Case cases[] = {
        {"claims 250 MB, the file is short", 4096, {{0, Header(4, big) + title}}, 0, L""},
        {"250 MB, the title first, then padding", 10 + uint64_t(big) + 1000, {{0, Header(4, big) + title}}, 4, L"Big"},
        {"250 MB, a picture of 200 MB before the title", 10 + uint64_t(big) + 1000,
         {{0, Header(4, big) + B("APIC") + Synchsafe(200u << 20) + Bytes{0, 0}}, {10 + 10 + (200u << 20), title}}, 4, L"Big"},
        {"250 MB v2.3 unsynchronised, the title first", 10 + uint64_t(big) + 1000,
         {{0, Header(3, big, UNSYNC) + Frame(3, "TIT2", Text(LATIN1, B("Big")))}}, 3, L"Big"},
        {"250 MB beside a record that may be lossy", 10 + uint64_t(big) + 128,
         {{0, Header(4, big) + title}, {10 + uint64_t(big), record}}, 4, L"Big"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::wstring path = LongPath(dir / "huge.mp3");
        WriteSparse(path, c.size, c.pieces);
        FILETIME before{};
        {
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            ::GetFileTime(h, nullptr, nullptr, &before);
            ::CloseHandle(h);
        }
        const SIZE_T peakBefore = PeakMemory();
        CMP3Info v1;
        CID3v2Fields v2;
        CSongFields fields;
        ASSERT_TRUE(ReadSongFields(path, v1, v2, fields));
        EXPECT_EQ(c.version, v2.nVersion);
        EXPECT_EQ(c.title, v2.strTitle);
        EXPECT_LT(PeakMemory() - peakBefore, SIZE_T(32) << 20) << "the reader's memory grew with the tag";
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME after{};
        ::GetFileTime(h, nullptr, nullptr, &after);
        LARGE_INTEGER size{};
        ::GetFileSizeEx(h, &size);
        ::CloseHandle(h);
        EXPECT_EQ(LONGLONG(c.size), size.QuadPart);
        EXPECT_EQ(0, ::CompareFileTime(&before, &after)) << "the reader wrote to the file";
    }
}
