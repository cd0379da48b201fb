#include "tag/MP3Info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tag/Genre.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Record(std::initializer_list<std::pair<int, Bytes>> patches)
{
    Bytes r(128, 0);
    r[0] = 'T'; r[1] = 'A'; r[2] = 'G';
    for (const auto& [ofs, bytes] : patches)
        std::copy(bytes.begin(), bytes.end(), r.begin() + ofs);
    return r;
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Fill(size_t n, unsigned char c) { return Bytes(n, c); }

struct ReadCase
{
    const char* label;
    Bytes file;
    bool hasTag;
    TagFields want;
};

} // namespace

TEST(MP3InfoRead, RecordsAndNonRecords)
{
    const ReadCase cases[] = {
        {"127 bytes: too short to hold a tag", Fill(127, 'T'), false, {}},
        {"exactly 128 bytes holding only a record",
         Record({{3, Str("Title")}, {33, Str("Artist")}, {63, Str("Album")}, {93, Str("1999")}, {127, {17}}}),
         true, {"Title", "Artist", "Album", "1999", "", 0, 17}},
        {"lower-case magic is no tag", Concat(Fill(10, 1), [] { Bytes r = Record({{33, Str("X")}}); r[0] = 't'; r[1] = 'a'; r[2] = 'g'; return r; }()),
         false, {}},
        {"byte 125 and 126 zero: 28-byte comment, no track",
         Concat(Fill(50, 0), Record({{97, Str("comment")}, {127, {3}}})), true, {"", "", "", "", "comment", 0, 3}},
        {"byte 125 not zero: 30-byte comment, track 0, genre kept",
         Record({{97, Fill(30, 'c')}, {127, {200}}}), true, {"", "", "", "", std::string(30, 'c'), 0, 200}},
        {"zero marker and a track: 28 comment bytes without a zero",
         Record({{97, Fill(28, 'd')}, {126, {7}}, {127, {255}}}), true, {"", "", "", "", std::string(28, 'd'), 7, 255}},
        {"fields filled to the brim have no terminator",
         Record({{3, Fill(30, 'a')}, {33, Fill(30, 'b')}, {63, Fill(30, 'e')}, {93, Str("2024")}, {97, Fill(28, 'f')}, {125, Str("gh")}}),
         true, {std::string(30, 'a'), std::string(30, 'b'), std::string(30, 'e'), "2024", std::string(28, 'f') + "gh", 0, 0}},
        {"blanks are part of the text; CP949 bytes pass through",
         Record({{33, Str("  \xB0\xA1\xBC\xF6 ")}, {63, Str("\x80\xFF")}}), true, {"", "  \xB0\xA1\xBC\xF6 ", "\x80\xFF", "", "", 0, 0}},
        {"only the last 128 bytes count",
         Concat(Record({{3, Str("old")}}), Record({{3, Str("new")}})), true, {"new", "", "", "", "", 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dir / "song.mp3";
        WriteFile(path, c.file);

        CMP3Info info;
        ASSERT_TRUE(info.ReadTag(path));
        EXPECT_EQ(c.hasTag, (info.m_dwFlags & CMP3Info::FLAG_HAS_TAG) != 0);
        EXPECT_EQ(path, info.m_strPath);
        const TagFields want = c.hasTag ? c.want : TagFields{};
        EXPECT_EQ(want.title, info.GetTitle());
        EXPECT_EQ(want.artist, info.GetArtist());
        EXPECT_EQ(want.album, info.GetAlbum());
        EXPECT_EQ(want.year, info.GetYear());
        EXPECT_EQ(want.comment, info.GetComment());
        EXPECT_EQ(want.track, info.m_nTrack);
        EXPECT_EQ(want.genre, info.m_nGenre);
    }
}

TEST(MP3InfoRead, FailsWhenTheFileCannotBeOpened)
{
    TempDir dir;
    CMP3Info info;
    info.m_nTrack = 9;
    EXPECT_FALSE(info.ReadTag(dir / "missing.mp3"));
    EXPECT_TRUE(info.m_strPath.empty());
    EXPECT_EQ(0, info.m_nTrack);
    EXPECT_EQ(GENRE_NONE, info.m_nGenre);

    // A writer that denies read sharing locks the file against the reader.
    const std::string path = dir / "locked.mp3";
    WriteFile(path, MakeMp3({"t", "a", "b"}));
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(info.ReadTag(path));
    ::CloseHandle(h);
    EXPECT_TRUE(info.ReadTag(path));
    EXPECT_EQ("a", info.GetArtist());
}

namespace {

struct WriteCase
{
    const char* label;
    Bytes before;          // empty with missing = true: no file
    bool missing;
    TagFields fields;
    size_t wantSize;       // the file's length afterwards
    Bytes wantRecord;      // the last 128 bytes afterwards
};

} // namespace

TEST(MP3InfoWrite, PlacesAndEncodesTheRecord)
{
    const Bytes audio = Fill(200, 0x5A);
    const WriteCase cases[] = {
        {"missing file: created holding only the record", {}, true, {"T"}, 128, Record({{3, Str("T")}, {127, {255}}})},
        {"127-byte file: the record is appended", Fill(127, 1), false, {"T"}, 255, Record({{3, Str("T")}, {127, {255}}})},
        {"lower-case magic: a second block is appended",
         Concat(audio, [] { Bytes r = Record({}); r[0] = 't'; r[1] = 'a'; r[2] = 'g'; return r; }()), false, {"T"},
         200 + 256, Record({{3, Str("T")}, {127, {255}}})},
        {"an old record is overwritten in place, nothing of it survives",
         Concat(audio, Record({{3, Fill(30, 'o')}, {97, Fill(30, 'o')}, {127, {9}}})), false, {"new", "", "", "", "", 0, 9},
         328, Record({{3, Str("new")}, {127, {9}}})},
        {"track 0 and a 30-byte comment: bytes 125 and 126 carry the comment", {}, true,
         {"", "", "", "", std::string(28, 'c') + "yz", 0, 1}, 128, Record({{97, Fill(28, 'c')}, {125, Str("yz")}, {127, {1}}})},
        {"track 300 is stored as 255", {}, true, {"", "", "", "", "", 300, 2}, 128, Record({{126, {255}}, {127, {2}}})},
        {"track -5: byte 126 zero, marker zero, comment cut to 28", {}, true,
         {"", "", "", "", std::string(30, 'c'), -5, 2}, 128, Record({{97, Fill(28, 'c')}, {127, {2}}})},
        {"genre -1 is written as 255", {}, true, {"", "", "", "", "", 0, -1}, 128, Record({{127, {255}}})},
        {"texts are cut by bytes to their fields", {}, true,
         {std::string(31, 'a'), std::string(40, 'b'), "\xB0\xA1" + std::string(29, 'e'), "2024-12-10", "", 3, 0}, 128,
         Record({{3, Fill(30, 'a')}, {33, Fill(30, 'b')}, {63, Str("\xB0\xA1" + std::string(28, 'e'))}, {93, Str("2024")}, {126, {3}}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dir / "song.mp3";
        if (!c.missing)
            WriteFile(path, c.before);

        {
            CMP3Info info;
            info.SetTitle(c.fields.title);
            info.SetArtist(c.fields.artist);
            info.SetAlbum(c.fields.album);
            info.SetYear(c.fields.year);
            info.SetComment(c.fields.comment);
            info.m_nTrack = c.fields.track;
            info.m_nGenre = c.fields.genre;
            ASSERT_TRUE(info.WriteTag(path, false));
        }

        const Bytes after = ReadFile(path);
        ASSERT_EQ(c.wantSize, after.size());
        EXPECT_EQ(c.wantRecord, Bytes(after.end() - 128, after.end()));
        // No byte before the record's place changes.
        const size_t keep = std::min(c.before.size(), c.wantSize - 128);
        EXPECT_TRUE(std::equal(c.before.begin(), c.before.begin() + keep, after.begin()));
    }
}

TEST(MP3InfoWrite, RoundTripGivesBackTheFieldsCutToSize)
{
    TempDir dir;
    const std::string path = dir / "\xB0\xA1\xBC\xF6.mp3";
    WriteFile(path, MakeMp3({"x", "y", "z"}, 4000));
    {
        CMP3Info info;
        ASSERT_TRUE(info.ReadTag(path));
        info.SetTitle(std::string(35, 't'));
        info.SetArtist("\xB0\xA1\xBC\xF6 ");
        info.SetAlbum("album");
        info.SetYear("19999");
        info.SetComment(std::string(29, 'm'));
        info.m_nTrack = 12;
        info.m_nGenre = 147;
        ASSERT_TRUE(info.WriteTag("", false)); // the path of the last read
    }
    CMP3Info info;
    ASSERT_TRUE(info.ReadTag(path));
    EXPECT_EQ(std::string(30, 't'), info.GetTitle());
    EXPECT_EQ("\xB0\xA1\xBC\xF6 ", info.GetArtist());
    EXPECT_EQ("album", info.GetAlbum());
    EXPECT_EQ("1999", info.GetYear());
    EXPECT_EQ(std::string(28, 'm'), info.GetComment());
    EXPECT_EQ(12, info.m_nTrack);
    EXPECT_EQ(147, info.m_nGenre);
    EXPECT_EQ(4000u + 128u, FileSize(path));
}

TEST(MP3InfoWrite, FailuresLeaveTheFileUntouched)
{
    TempDir dir;
    const std::string path = dir / "song.mp3";
    const Bytes original = MakeMp3({"keep", "me"});
    WriteFile(path, original);

    CMP3Info info;
    info.SetTitle("changed");

    // Any other handle on the file, even one that shares everything, makes the
    // exclusive open fail.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(info.WriteTag(path, false));
    ::CloseHandle(h);
    EXPECT_EQ(original, ReadFile(path));

    // An empty path after a reset names no file.
    info.Reset();
    EXPECT_FALSE(info.WriteTag("", false));

    // The handle is closed on the way out: the file can be opened exclusively.
    EXPECT_TRUE(info.WriteTag(path, false));
    h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    ::CloseHandle(h);
}

TEST(MP3InfoWrite, RemoveCutsOnlyTheRecord)
{
    TempDir dir;
    const std::string tagged = dir / "tagged.mp3";
    const std::string plain = dir / "plain.mp3";
    WriteFile(tagged, MakeMp3({"t"}, 500));
    WriteFile(plain, Fill(500, 3));

    CMP3Info info;
    EXPECT_TRUE(info.WriteTag(tagged, true));
    EXPECT_EQ(Fill(500, 0xAB), ReadFile(tagged));
    EXPECT_TRUE(info.WriteTag(plain, true));
    EXPECT_EQ(Fill(500, 3), ReadFile(plain));
}

TEST(GenreList, NamesByNumber)
{
    const struct { int number; const char* name; } cases[] = {
        {0, "Blues"}, {67, "Psychadelic"}, {118, "Rhytmic Soul"}, {144, "Trash Metal"},
        {147, "SynthPop"}, {148, ""}, {254, ""}, {GENRE_NONE, ""}, {-1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_STREQ(c.name, GetGenreName(c.number));
    }
    for (int i = 0; i < GENRE_COUNT; ++i)
        EXPECT_STRNE("", g_GenreNames[i]) << i;
}
