// Songs tagged by today's tools: ID3v2 tags of each version and encoding,
// names outside the Korean code page. Each is listed, shown and gathered
// under its whole names; what fits the code page reads as it always has.
#include <algorithm>

#include "afx/ShownText.h"
#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "tag/SongTag.h"
#include "tests/collect/JobHarness.h"
#include "tests/support/ID3v2Bytes.h"

using namespace collect_test;
using namespace testing_support;

namespace {

std::string CP949(const std::wstring& text)
{
    return TextFromWide(text);
}

// Frames of a song's artist, album and title, the one way a version spells them.
std::vector<TagFrame> Names(int version, TextEncoding enc, const std::wstring& artist, const std::wstring& album,
                         const std::wstring& title)
{
    if (version == 2)
        return {{"TP1", TextBody(enc, artist)}, {"TAL", TextBody(enc, album)}, {"TT2", TextBody(enc, title)}};
    return {{"TPE1", TextBody(enc, artist)}, {"TALB", TextBody(enc, album)}, {"TIT2", TextBody(enc, title)}};
}

struct SongCase
{
    const char* label;
    const char* file;
    Bytes song;
    std::wstring folder;   // where it lands under the destination
    std::wstring artist;   // as the list shows it
    std::string artistText;  // its CP949 text
};

std::vector<SongCase> SongCases()
{
    const std::string buhwal = CP949(L"\ubd80\ud65c");   // a Korean band, CP949 in a frame declared Latin-1
    const std::string sarang = CP949(L"\uc0ac\ub791");
    return {
        {"v2.2, Latin-1", "a.mp3", MakeID3v2Mp3(2, Names(2, ENC_LATIN1, L"Beyonc\u00e9", L"Lemonade", L"Hold Up"), 300, 1),
         L"Beyonc\u00e9\\Lemonade", L"Beyonc\u00e9", "Beyonc?"},
        {"v2.3, UTF-16", "b.mp3",
         MakeID3v2Mp3(3, Names(3, ENC_UTF16, L"Sigur R\u00f3s", L"\u00c1g\u00e6tis byrjun", L"Sv\u00edefn-g-englar"), 300, 2),
         L"Sigur R\u00f3s\\\u00c1g\u00e6tis byrjun", L"Sigur R\u00f3s", "Sigur R?s"},
        {"v2.4, UTF-8, blanks around", "c.mp3",
         MakeID3v2Mp3(4, Names(4, ENC_UTF8, L"  M\u1ef9 T\u00e2m ", L"\U0001F600 Hits", L"Song"), 300, 3),
         L"M\u1ef9 T\u00e2m\\\U0001F600 Hits", L"M\u1ef9 T\u00e2m", "M? T?m"},
        {"v2.3, Latin-1 frames holding CP949", "d.mp3",
         MakeID3v2Mp3(3, {{"TPE1", Latin1Body(buhwal)}, {"TALB", Latin1Body(sarang)}}, 300, 4),
         L"\ubd80\ud65c\\\uc0ac\ub791", L"\ubd80\ud65c", buhwal},
        {"v2.4, UTF-16BE, Korean", "e.mp3",
         MakeID3v2Mp3(4, Names(4, ENC_UTF16BE, L"\uc774\uc18c\ub77c", L"\ub208\ub185", L"Song"), 300, 5),
         L"\uc774\uc18c\ub77c\\\ub208\ub185", L"\uc774\uc18c\ub77c", CP949(L"\uc774\uc18c\ub77c")},
    };
}

} // namespace

class WholeNames : public JobTest
{
};

TEST_F(WholeNames, SongsWithOnlyAnID3v2TagAreGatheredUnderTheirWholeNames)
{
    const std::vector<SongCase> cases = SongCases();
    for (const SongCase& c : cases)
        WriteFile(Src(c.file), c.song);
    m_ui.Folder(Src()).Yes().Folder(Dst());

    ASSERT_EQ(1, RunCollect(MODE_COPY));

    ASSERT_EQ(int(cases.size()), Rows());
    std::vector<std::wstring> expected;
    for (int row = 0; row < Rows(); ++row) {
        const MP3FileEntry* e = Entry(row);
        const SongCase* c = nullptr;
        for (const SongCase& k : cases)
            if (e->FileName() == k.file)
                c = &k;
        ASSERT_NE(nullptr, c);
        SCOPED_TRACE(c->label);
        EXPECT_EQ(c->artistText, e->Artist());
        EXPECT_EQ(c->artist, e->WideText(FIELD_ARTIST));
        // The list shows the whole name; its CP949 text is the one of old.
        EXPECT_EQ(c->artistText, Row(row)[2]);
        EXPECT_EQ(c->artist, m_dlg.m_columns.GetCellTextW(row, reinterpret_cast<LPARAM>(e), COLUMN_ARTIST));
        EXPECT_EQ(c->song, ReadFile(LongPath(Dst()) + L"\\" + c->folder + L"\\" + WideFromText(c->file)));
        expected.push_back(c->folder + L"\\" + WideFromText(c->file));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FilesUnder(LongPath(Dst())));
    EXPECT_NE(std::string::npos, Status().find("5 개, 성공 : 5 개"));
}

TEST_F(WholeNames, AnID3v1RecordThatFitsHoldsAndACutOneGivesWay)
{
    // The same album, once cut to the record's 30 bytes: both go to one folder.
    const std::wstring album = L"Lift Your Skinny Fists Like Antennas to Heaven";
    for (int i = 0; i < 2; ++i) {
        Bytes song = MakeID3v2(3, Names(3, ENC_UTF16, L"Godspeed", album, L"Storm"));
        const Bytes record = MakeMp3(Tagged("Godspeed", i ? CP949(album).substr(0, 30) : "Other Album"), 300,
                                     static_cast<unsigned char>(i));
        song.insert(song.end(), record.begin(), record.end());
        WriteFile(Src(i ? "cut.mp3" : "fits.mp3"), song);
    }
    m_ui.Folder(Src()).Yes().Folder(Dst());

    ASSERT_EQ(1, RunCollect(MODE_COPY));

    EXPECT_EQ(std::vector<std::wstring>({L"Godspeed\\" + album + L"\\cut.mp3", L"Godspeed\\Other Album\\fits.mp3"}),
              FilesUnder(LongPath(Dst())));
}

TEST(ShownText, FormatsTheBytesAsEverAndTheWholeTextBeside)
{
    const CShownText plain("C:\\가요\\a.mp3");
    const CShownText accented = CShownText::Of(L"C:\\Caf\u00e9\\a.mp3");
    struct Case
    {
        const char* label;
        const char* format;
        std::vector<CFormatArg> args;
        std::string bytes;
        std::wstring whole;   // empty: the bytes say it all
    } cases[] = {
        {"a path the code page spells", "디렉토리 : [%s]", {plain}, "디렉토리 : [C:\\가요\\a.mp3]", L""},
        {"a path it cannot", "디렉토리 : [%s]", {accented}, "디렉토리 : [C:\\Caf?\\a.mp3]",
         L"\ub514\ub809\ud1a0\ub9ac : [C:\\Caf\u00e9\\a.mp3]"},
        {"numbers and a percent sign", "%s %d %% %d", {accented, 7, -3}, "C:\\Caf?\\a.mp3 7 % -3",
         L"C:\\Caf\u00e9\\a.mp3 7 % -3"},
        {"cut at the buffer, the whole text not", "[%s]", {CShownText::Of(std::wstring(2000, L'\u00e9'))},
         "[" + std::string(1022, '?'), L"[" + std::wstring(2000, L'\u00e9') + L"]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char out[1024];
        std::wstring whole;
        switch (c.args.size()) {
        case 1: FormatShown(out, sizeof out, whole, c.format, {c.args[0]}); break;
        case 3: FormatShown(out, sizeof out, whole, c.format, {c.args[0], c.args[1], c.args[2]}); break;
        }
        EXPECT_EQ(c.bytes, std::string(out));
        EXPECT_EQ(c.whole, whole);
    }
    // The same bytes as the formatting the screen has always had.
    char expected[1024];
    wsprintfA(expected, "디렉토리 : [%s]", "C:\\Caf?\\a.mp3");
    char out[1024];
    std::wstring whole;
    FormatShown(out, sizeof out, whole, "디렉토리 : [%s]", {accented});
    EXPECT_STREQ(expected, out);
}

TEST(EntryWholeTexts, AreKeptThroughEditsAndCopies)
{
    MP3FileEntry e;
    CSongFields song;
    song.texts[SONG_ARTIST] = SongTextOf(L"Sigur R\u00f3s");
    song.texts[SONG_ALBUM] = SongTextOf(L"\uac00\uc694");   // fits: no whole text kept
    song.texts[SONG_TITLE] = SongTextOf(L"  \U0001F600  ");
    PutEntryTexts(e, song);
    EXPECT_STREQ("Sigur R?s", e.Artist());
    EXPECT_TRUE(e.HasWholeText(FIELD_ARTIST));
    EXPECT_FALSE(e.HasWholeText(FIELD_ALBUM));
    EXPECT_EQ(L"\uac00\uc694", e.WideText(FIELD_ALBUM));
    EXPECT_EQ(L"\U0001F600", e.WideText(FIELD_TITLE)) << "trimmed as the CP949 text is";
    EXPECT_STREQ("no comment", e.Comment());

    // Another field edited: the whole artist stays; the artist edited in
    // CP949: its whole form goes.
    e.SetText(FIELD_ALBUM, "Disc");
    EXPECT_EQ(L"Sigur R\u00f3s", e.WideText(FIELD_ARTIST));
    MP3FileEntry copy;
    CopyTagTexts(copy, e);
    EXPECT_EQ(L"Sigur R\u00f3s", copy.WideText(FIELD_ARTIST));
    EXPECT_EQ(L"Disc", copy.WideText(FIELD_ALBUM));
    e.SetText(FIELD_ARTIST, "Band");
    EXPECT_FALSE(e.HasWholeText(FIELD_ARTIST));
    EXPECT_EQ(L"Band", e.WideText(FIELD_ARTIST));
    e.SetText(FIELD_ARTIST, "Sigur R?s", L"Sigur R\u00f3s");
    EXPECT_EQ(L"Sigur R\u00f3s", e.WideText(FIELD_ARTIST));
}
