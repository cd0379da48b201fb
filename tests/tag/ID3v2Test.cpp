#include "tag/ID3v2.h"

#include <gtest/gtest.h>

#include "tests/support/ID3v2Bytes.h"

using namespace tag_bytes;

namespace {

struct Want
{
    int version = 0;
    std::wstring title, artist, album, year, comment;
    int track = 0;
    int genre = 255;
    std::wstring genreText;
};

void ExpectFields(const Want& want, const CID3v2Fields& got)
{
    EXPECT_EQ(want.version, got.nVersion);
    EXPECT_EQ(want.title, got.strTitle);
    EXPECT_EQ(want.artist, got.strArtist);
    EXPECT_EQ(want.album, got.strAlbum);
    EXPECT_EQ(want.year, got.strYear);
    EXPECT_EQ(want.comment, got.strComment);
    EXPECT_EQ(want.track, got.nTrack);
    EXPECT_EQ(want.genre, got.nGenre);
    EXPECT_EQ(want.genreText, got.strGenre);
}

CID3v2Fields Parse(const Bytes& tag, bool* ok = nullptr)
{
    CID3v2Fields out;
    const bool parsed = ParseID3v2(tag.data(), tag.size(), out);
    if (ok)
        *ok = parsed;
    return out;
}

// The ids of each version for title, artist, album, track, year, genre and
// comment.
struct Ids
{
    const char *title, *artist, *album, *track, *year, *genre, *comment;
};
Ids IdsOf(int version)
{
    if (version == 2)
        return {"TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM"};
    return {"TIT2", "TPE1", "TALB", "TRCK", version == 3 ? "TYER" : "TDRC", "TCON", "COMM"};
}

// Every field a song is listed by, Latin-1, frame flags as given; the
// artist second, or last where a case is about the last frame.
Bytes AllFrames(int version, uint16_t flags = 0, bool artistLast = false)
{
    const Ids id = IdsOf(version);
    const Bytes artist = Frame(version, id.artist, Text(LATIN1, B("Artist")), flags);
    return Frame(version, id.title, Text(LATIN1, B("Title")), flags) + (artistLast ? Bytes() : artist) +
           Frame(version, id.album, Text(LATIN1, B("Album")), flags) +
           Frame(version, id.track, Text(LATIN1, B("3/12")), flags) +
           Frame(version, id.year, Text(LATIN1, B(version == 4 ? "2004-05-01" : "2004")), flags) +
           Frame(version, id.genre, Text(LATIN1, B("(17)")), flags) +
           Frame(version, id.comment, Comment(LATIN1, B(""), B("Note")), flags) + (artistLast ? artist : Bytes());
}

Want AllWant(int version)
{
    Want w;
    w.version = version;
    w.title = L"Title";
    w.artist = L"Artist";
    w.album = L"Album";
    w.year = L"2004";
    w.comment = L"Note";
    w.track = 3;
    w.genre = 17;
    return w;
}

} // namespace

// Each version's layout, and each way a tag may wrap its frames.
TEST(ID3v2Parse, VersionsAndLayouts)
{
    // A title in UTF-16 whose byte order mark holds 0xFF, so that an
    // unsynchronised tag really has zeros to drop.
    const Bytes ffTitle = Text(UTF16, Utf16LE(L"\u00FF\u00E0 Title"));
    const Want ffWant = [] { Want w; w.title = L"\u00FF\u00E0 Title"; return w; }();
    struct Case
    {
        const char* label;
        Bytes tag;
        Want want;
    };
    Want v3ff = ffWant, v4ff = ffWant, v2ff = ffWant;
    v2ff.version = 2;
    v3ff.version = 3;
    v4ff.version = 4;
    const Case cases[] = {
        {"v2.2: three-letter frames", Tag(2, AllFrames(2), 0, 100), AllWant(2)},
        {"v2.3", Tag(3, AllFrames(3), 0, 100), AllWant(3)},
        {"v2.4", Tag(4, AllFrames(4), 0, 100), AllWant(4)},
        {"v2.4, no padding", Tag(4, AllFrames(4)), AllWant(4)},
        {"v2.2 unsynchronised", Tag(2, Unsynchronised(Frame(2, "TT2", ffTitle)), UNSYNC), v2ff},
        {"v2.3 unsynchronised as a whole", Tag(3, Unsynchronised(Frame(3, "TIT2", ffTitle)), UNSYNC, 20), v3ff},
        {"v2.4 unsynchronised per frame",
         Tag(4, B("TIT2") + Synchsafe(uint32_t(Unsynchronised(ffTitle).size())) + Bytes{0, 0x02} + Unsynchronised(ffTitle)),
         v4ff},
        {"v2.4, the tag's flag unsynchronises every frame",
         Tag(4, B("TIT2") + Synchsafe(uint32_t(Unsynchronised(ffTitle).size())) + Bytes{0, 0} + Unsynchronised(ffTitle), UNSYNC),
         v4ff},
        {"v2.4 data length indicator",
         Tag(4, B("TIT2") + Synchsafe(uint32_t(ffTitle.size() + 4)) + Bytes{0, 0x01} + Synchsafe(uint32_t(ffTitle.size())) + ffTitle),
         v4ff},
        {"v2.3 extended header, no CRC",
         Tag(3, BigEndian(6, 4) + Bytes{0, 0} + BigEndian(0, 4) + AllFrames(3), EXTENDED, 30), AllWant(3)},
        {"v2.3 extended header with a CRC",
         Tag(3, BigEndian(10, 4) + Bytes{0x80, 0} + BigEndian(0, 4) + BigEndian(0x12345678, 4) + AllFrames(3), EXTENDED), AllWant(3)},
        {"v2.4 extended header", Tag(4, Synchsafe(6) + Bytes{1, 0} + AllFrames(4), EXTENDED, 30), AllWant(4)},
        {"v2.4 extended header with a CRC",
         Tag(4, Synchsafe(12) + Bytes{1, 0x20, 5, 0, 0, 0, 0, 0} + AllFrames(4), EXTENDED), AllWant(4)},
        {"v2.4 with a footer: the last frame is small",
         Tag(4, AllFrames(4, 0, true), FOOTER), AllWant(4)},
        {"v2.4 with a footer, a one-frame tag", Tag(4, Frame(4, "TIT2", Text(LATIN1, B("Solo"))), FOOTER),
         [] { Want w; w.version = 4; w.title = L"Solo"; return w; }()},
        {"v2.3 with a CRC in the extended header and unsynchronised",
         Tag(3, Unsynchronised(BigEndian(10, 4) + Bytes{0x80, 0} + BigEndian(0, 4) + Bytes{0xFF, 0xFF, 0xFF, 0xFF} + Frame(3, "TIT2", ffTitle)),
             UNSYNC | EXTENDED),
         v3ff},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bool ok = false;
        const CID3v2Fields got = Parse(c.tag, &ok);
        EXPECT_TRUE(ok);
        ExpectFields(c.want, got);
    }
}

// Track, year, genre and comment as the tools spell them.
TEST(ID3v2Parse, FieldForms)
{
    struct Case
    {
        const char* label;
        int version;
        Bytes frames;
        int track;
        std::wstring year;
        int genre;
        std::wstring genreText;
        std::wstring comment;
    };
    auto T = [](int v, const char* id, const char* text) { return Frame(v, id, Text(LATIN1, B(text))); };
    const Case cases[] = {
        {"track of a count", 3, T(3, "TRCK", "3/12"), 3, L"", 255, L"", L""},
        {"track with a leading zero", 4, T(4, "TRCK", "03"), 3, L"", 255, L"", L""},
        {"track that is no number", 4, T(4, "TRCK", "A1"), 0, L"", 255, L"", L""},
        {"TYER", 3, T(3, "TYER", "1998"), 0, L"1998", 255, L"", L""},
        {"TDRC, a full date", 4, T(4, "TDRC", "2004-05-01"), 0, L"2004", 255, L"", L""},
        {"TDRC, date and time", 4, T(4, "TDRC", "2004-05-01T12:30"), 0, L"2004", 255, L"", L""},
        {"v2.2 TYE", 2, T(2, "TYE", "1987"), 0, L"1987", 255, L"", L""},
        {"genre (17)", 3, T(3, "TCON", "(17)"), 0, L"", 17, L"", L""},
        {"genre 17", 4, T(4, "TCON", "17"), 0, L"", 17, L"", L""},
        {"genre Rock", 4, T(4, "TCON", "Rock"), 0, L"", 17, L"", L""},
        {"genre rock, any case", 4, T(4, "TCON", "rock"), 0, L"", 17, L"", L""},
        {"genre (17)Rock", 3, T(3, "TCON", "(17)Rock"), 0, L"", 17, L"", L""},
        {"genre by its other spelling, with the number", 3, T(3, "TCON", "(67)Psychedelic"), 0, L"", 67, L"", L""},
        {"genre by its other spelling alone", 4, T(4, "TCON", "Psychedelic"), 0, L"", 67, L"", L""},
        {"genre outside the list", 4, T(4, "TCON", "K-Pop"), 0, L"", 255, L"K-Pop", L""},
        {"genre number outside the list names nothing", 3, T(3, "TCON", "(200)"), 0, L"", 255, L"", L""},
        {"genre number outside the list, then a text", 3, T(3, "TCON", "(200)K-Pop"), 0, L"", 255, L"K-Pop", L""},
        {"v2.4 genre list: the first that names one", 4, Frame(4, "TCON", Text(LATIN1, B(std::string("K-Pop\0" "17", 8)))), 0, L"", 17, L"", L""},
        {"v2.2 TCO", 2, T(2, "TCO", "(8)"), 0, L"", 8, L"", L""},
        {"comment: one with a description is passed over", 3,
         Frame(3, "COMM", Comment(LATIN1, B("iTunNORM"), B(" 0000 0001"))) + Frame(3, "COMM", Comment(LATIN1, B(""), B("Mine"))),
         0, L"", 255, L"", L"Mine"},
        {"comment: only ones with a description", 4, Frame(4, "COMM", Comment(UTF8, B("ID3v1 Comment"), B("x"))), 0, L"", 255, L"", L""},
        {"comment in UTF-16", 3, Frame(3, "COMM", Comment(UTF16, Utf16LE(L""), Utf16LE(L"\uC88B\uC544"))), 0, L"", 255, L"", L"\uC88B\uC544"},
        {"comment in UTF-16 with a description", 3,
         Frame(3, "COMM", Comment(UTF16, Utf16LE(L"d"), Utf16LE(L"no"))) + Frame(3, "COMM", Comment(UTF16, Utf16BE(L""), Utf16BE(L"yes"))),
         0, L"", 255, L"", L"yes"},
        {"v2.2 COM", 2, Frame(2, "COM", Comment(LATIN1, B(""), B("Old"))), 0, L"", 255, L"", L"Old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Want want;
        want.version = c.version;
        want.track = c.track;
        want.year = c.year;
        want.genre = c.genre;
        want.genreText = c.genreText;
        want.comment = c.comment;
        ExpectFields(want, Parse(Tag(c.version, c.frames, 0, 16)));
    }
}

// Every encoding a frame may declare, and Latin-1 frames that hold CP949.
TEST(ID3v2Parse, TextEncodings)
{
    const std::wstring hangul = L"\uBD80\uD65C";   // 부활
    const std::wstring mixed = L"Seo Taiji \uC640 \uC544\uC774\uB4E4";   // 서태지와 아이들
    struct Case
    {
        const char* label;
        int version;
        Bytes body;   // of a title frame
        std::wstring want;
    };
    const Case cases[] = {
        {"UTF-16, little-endian mark", 3, Text(UTF16, Utf16LE(hangul)), hangul},
        {"UTF-16, big-endian mark", 3, Text(UTF16, Utf16BE(hangul)), hangul},
        {"UTF-16 with a terminator", 3, Text(UTF16, Utf16LE(L"Abc") + Bytes{0, 0}), L"Abc"},
        {"UTF-16 without a mark, little-endian", 3, Text(UTF16, Utf16LE(L"Sigur R\u00F3s", false)), L"Sigur R\u00F3s"},
        {"UTF-16 without a mark, Hangul little-endian", 3, Text(UTF16, Utf16LE(mixed, false)), mixed},
        {"UTF-16 without a mark, big-endian", 3, Text(UTF16, Utf16BE(L"Beyonc\u00E9", false)), L"Beyonc\u00E9"},
        {"UTF-16 without a mark, Hangul big-endian", 3, Text(UTF16, Utf16BE(hangul, false)), hangul},
        {"UTF-16BE (v2.4)", 4, Text(UTF16BE, Utf16BE(mixed, false)), mixed},
        {"UTF-8 (v2.4)", 4, Text(UTF8, Utf8(mixed)), mixed},
        {"UTF-8 with a terminator", 4, Text(UTF8, Utf8(L"\u00C9t\u00E9") + Bytes{0}), L"\u00C9t\u00E9"},
        {"Latin-1 holding CP949", 3, Text(LATIN1, Cp949(hangul)), hangul},
        {"Latin-1 holding CP949 and ASCII", 4, Text(LATIN1, Cp949(mixed)), mixed},
        {"v2.2 Latin-1 holding CP949", 2, Text(LATIN1, Cp949(hangul)), hangul},
        {"Latin-1 holding CP949 of the extended rows", 3, Text(LATIN1, Cp949(L"\uB620\uBC29")), L"\uB620\uBC29"},   // 똠방
        {"real Latin-1: Beyonc\xE9", 3, Text(LATIN1, B("Beyonc\xE9")), L"Beyonc\u00E9"},
        {"real Latin-1: Sigur R\xF3s", 3, Text(LATIN1, B("Sigur R\xF3s")), L"Sigur R\u00F3s"},
        {"real Latin-1: Bj\xF6rk", 4, Text(LATIN1, B("Bj\xF6rk")), L"Bj\u00F6rk"},
        {"real Latin-1: Mot\xF6rhead", 4, Text(LATIN1, B("Mot\xF6rhead")), L"Mot\u00F6rhead"},
        {"high bytes that are no CP949: a lead without its trail", 3, Text(LATIN1, B("Caf\xE9 \xB8")), L"Caf\u00E9 \u00B8"},
        {"high bytes that are no CP949: a pair outside the code page", 3, Text(LATIN1, B("\xC9\x41\xC9\x41")), L"\u00C9A\u00C9A"},
        {"ASCII only", 3, Text(LATIN1, B("Plain")), L"Plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CID3v2Fields got = Parse(Tag(c.version, Frame(c.version, c.version == 2 ? "TT2" : "TIT2", c.body), 0, 8));
        EXPECT_EQ(c.version, got.nVersion);
        EXPECT_EQ(c.want, got.strTitle);
    }
}

// Frames declared Latin-1: CP949 only where a Korean writer of old could
// have made the bytes, a pair of KS X 1001 among them; Latin-1 otherwise,
// though CP949's extension pairs read an accented capital before a letter.
TEST(ID3v2Parse, Latin1OrCP949)
{
    struct Case
    {
        const char* label;
        std::string bytes;
        std::wstring want;
    };
    const Case cases[] = {
        {"Die \xC4rzte: \\xC4 r is an extension pair", "Die \xC4rzte", L"Die \u00C4rzte"},
        {"\xC1sgeir: \\xC1 s is an extension pair", "\xC1sgeir", L"\u00C1sgeir"},
        {"\xC5ge: \\xC5 g is an extension pair", "\xC5ge", L"\u00C5ge"},
        {"\xC6gir: past the last extension pair of \\xC6", "\xC6gir", L"\u00C6gir"},
        {"Bj\xF6rk: no pair at all", "Bj\xF6rk", L"Bj\u00F6rk"},
        {"Mot\xF6rhead", "Mot\xF6rhead", L"Mot\u00F6rhead"},
        {"two accents, each an extension pair", "\xC4r \xC5g", L"\u00C4r \u00C5g"},
        {"Hangul of KS X 1001 (\uBD80\uD65C)", "\xBA\xCE\xC8\xB0", L"\uBD80\uD65C"},
        {"Hangul and ASCII", "\xBC\xAD\xC5\xC2\xC1\xF6\xBF\xCD \xBE\xC6\xC0\xCC\xB5\xE9",
         L"\uC11C\uD0DC\uC9C0\uC640 \uC544\uC774\uB4E4"},
        {"a syllable outside KS X 1001 among ones inside it", "\x8C\x63\xB9\xE6\xB0\xA2\xC7\xCF",
         L"\uB620\uBC29\uAC01\uD558"},
        {"Hanja of KS X 1001", "\xD1\xD1\xD7\xDD", L"\u91D1\u674E"},
        {"ambiguous: a syllable outside KS X 1001 alone reads as Latin-1", "\x8C\x63", L"\u008C\u0063"},
        {"ambiguous: accents that pair inside KS X 1001 read as CP949", "Cora\xE7\xE3o", L"Cora\u8C6Bo"},
        {"an extension pair beside a KS X 1001 one: CP949", "\xC4r\xBA\xCE", L"\uD6E3\uBD80"},
        {"a pair of KS X 1001, then a lone lead: Latin-1", "\xBA\xCE\xB8", L"\u00BA\u00CE\u00B8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CID3v2Fields got = Parse(Tag(3, Frame(3, "TIT2", Text(LATIN1, B(c.bytes))), 0, 8));
        EXPECT_EQ(c.want, got.strTitle);
    }
}

// UTF-16 without a byte order mark, in either order: the order whose reading
// is plausible wins, and ASCII never leaves it in doubt.
TEST(ID3v2Parse, Utf16WithoutMark)
{
    struct Case
    {
        const char* label;
        std::wstring text;
    };
    const Case cases[] = {
        {"ASCII whose bytes swapped are ideographs", L"abc"},
        {"ASCII with a capital N (\\u4E00 swapped)", L"Nirvana"},
        {"one digit", L"1"},
        {"ASCII with blanks and punctuation", L"AC/DC - Back In Black"},
        {"Hangul", L"\uBD80\uD65C"},
        {"a syllable whose bytes swapped are a rare syllable (\uC0AC)", L"\uC0AC"},
        {"Hangul ending in a zero byte (\uAC00)", L"\uAC00"},
        {"Hangul and ASCII", L"Seo Taiji \uC640 \uC544\uC774\uB4E4"},
        {"Latin-1", L"Bj\u00F6rk"},
        {"Latin-1 with a blank", L"Sigur R\u00F3s"},
        {"Latin-1 capital first", L"\u00D3lafur Arnalds"},
        {"Latin-1 capital alone", L"\u00C0"},
        {"Japanese kana and kanji", L"\u3042\u3086\u307F \u6D5C\u5D0E"},
        {"an emoji beside ASCII", L"Love \U0001F600"},
    };
    for (const auto& c : cases) {
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(std::string(c.label) + (bigEndian ? ", big-endian" : ", little-endian"));
            const Bytes text = bigEndian ? Utf16BE(c.text, false) : Utf16LE(c.text, false);
            EXPECT_EQ(c.text, Parse(Tag(3, Frame(3, "TIT2", Text(UTF16, text)), 0, 8)).strTitle);
        }
    }
}

// Tags no writer should make: never a crash, a broken tag reads as none,
// and a frame the reader cannot read is passed over.
TEST(ID3v2Parse, HostileTags)
{
    const Bytes title = Frame(3, "TIT2", Text(LATIN1, B("Kept")));
    const Bytes title4 = Frame(4, "TIT2", Text(LATIN1, B("Kept")));
    const Bytes artist4 = Frame(4, "TPE1", Text(LATIN1, B("After")));
    struct Case
    {
        const char* label;
        Bytes tag;
        int version;           // 0: read as none
        std::wstring title;    // where version is not 0
        std::wstring artist;
    };
    const Case cases[] = {
        {"shorter than a header", B("ID3\x03"), 0},
        {"size past the end of the bytes", [&] { Bytes t = Tag(3, title); t[9] += 40; return t; }(), 0},
        {"size no synchsafe integer", [&] { Bytes t = Tag(3, title); t[8] = 0x80; return t; }(), 0},
        {"version 5", [&] { Bytes t = Tag(3, title); t[3] = 5; return t; }(), 0},
        {"v2.2 compressed as a whole: unreadable", Tag(2, Frame(2, "TT2", Text(LATIN1, B("Kept"))), 0x40), 0},
        {"extended header larger than the tag", Tag(3, BigEndian(1000, 4) + Bytes{0, 0} + title, EXTENDED), 0},
        {"v2.4 extended header of size 0", Tag(4, Synchsafe(0) + Bytes{1, 0} + title4, EXTENDED), 0},
        {"v2.4 extended header size no synchsafe integer", Tag(4, Bytes{0, 0, 0, 0x86} + Bytes{1, 0} + title4, EXTENDED), 0},
        {"empty tag", Tag(4, Bytes()), 4},
        {"only padding", Tag(3, Bytes(), 0, 500), 3},
        {"a frame of size 0 is passed over", Tag(4, B("TXXX") + Synchsafe(0) + Bytes{0, 0} + title4 + artist4), 4, L"Kept", L"After"},
        {"a frame larger than the tag ends the frames", Tag(4, title4 + B("TPE1") + Synchsafe(5000) + Bytes{0, 0} + Text(LATIN1, B("X"))), 4, L"Kept"},
        {"a frame header cut by the end", Tag(3, title + B("TPE1\x00")), 3, L"Kept"},
        // Other readers pass over a frame of an id no version defines (a writer's
        // "Date") by its size.
        {"a frame id that is no id is passed over", Tag(3, title + B("t\x01!?") + BigEndian(1, 4) + Bytes{0, 0, 0} + Frame(3, "TPE1", Text(LATIN1, B("X")))), 3, L"Kept", L"X"},
        {"a writer's Date frame before the names", Tag(4, B("Date") + Synchsafe(5) + Bytes{0, 0} + Text(LATIN1, B("2004")) + title4 + artist4), 4, L"Kept", L"After"},
        {"v2.4 frame size no synchsafe integer", Tag(4, B("TIT2") + Bytes{0, 0, 0, 0x85} + Bytes{0, 0} + Text(LATIN1, B("Kept")) + artist4), 4, L"", L""},
        {"v2.3 compressed frame passed over",
         Tag(3, Frame(3, "TIT2", BigEndian(100, 4) + Bytes{0x78, 0x9C, 1, 2, 3, 4}, 0x0080) + Frame(3, "TPE1", Text(LATIN1, B("After")))), 3, L"", L"After"},
        {"v2.4 compressed frame passed over",
         Tag(4, Frame(4, "TIT2", Synchsafe(100) + Bytes{0x78, 0x9C, 1, 2, 3, 4}, 0x0009) + artist4), 4, L"", L"After"},
        {"v2.3 encrypted frame passed over",
         Tag(3, Frame(3, "TIT2", Bytes{0x80} + Text(LATIN1, B("Secret")), 0x0040) + Frame(3, "TPE1", Text(LATIN1, B("After")))), 3, L"", L"After"},
        {"v2.4 encrypted frame passed over", Tag(4, Frame(4, "TIT2", Bytes{0x80} + Text(LATIN1, B("Secret")), 0x0004) + artist4), 4, L"", L"After"},
        {"v2.4 data length indicator but no room for it", Tag(4, Frame(4, "TIT2", Bytes{0, 0}, 0x0001) + artist4), 4, L"", L"After"},
        {"unsynchronised UTF-16 of odd length",
         Tag(3, Unsynchronised(Frame(3, "TIT2", Text(UTF16, Utf16LE(L"\u00FFA") + Bytes{0xFF}))) + Frame(3, "TPE1", Text(LATIN1, B("After"))), UNSYNC),
         3, L"\u00FFA", L"After"},
        {"v2.4 unsynchronised UTF-16 of odd length",
         Tag(4, Frame(4, "TIT2", Unsynchronised(Text(UTF16, Utf16LE(L"\u00FF") + Bytes{0xFF})), 0x0002) + artist4), 4, L"\u00FF", L"After"},
        {"UTF-16 of a single byte", Tag(3, Frame(3, "TIT2", Text(UTF16, Bytes{0x41})) + Frame(3, "TPE1", Text(LATIN1, B("After")))), 3, L"", L"After"},
        {"UTF-16 of only a mark", Tag(3, Frame(3, "TIT2", Text(UTF16, Bytes{0xFF, 0xFE}))), 3, L""},
        {"text frame of only its encoding", Tag(3, Frame(3, "TIT2", Bytes{UTF8}) + Frame(3, "TPE1", Text(LATIN1, B("After")))), 3, L"", L"After"},
        {"encoding byte out of range", Tag(4, Frame(4, "TIT2", Text(9, B("What"))) + artist4), 4, L"", L"After"},
        {"comment frame shorter than its language", Tag(3, Frame(3, "COMM", Bytes{0, 'e'}) + Frame(3, "TPE1", Text(LATIN1, B("After")))), 3, L"", L"After"},
        {"a thousand titles: the first holds", [] {
             Bytes frames;
             for (int i = 0; i < 1000; ++i)
                 frames = frames + Frame(4, "TIT2", Text(LATIN1, B(i ? "Later" : "First")));
             return Tag(4, frames);
         }(), 4, L"First"},
        {"footer flag on a v2.3 tag means nothing", Tag(3, title, FOOTER), 3, L"Kept"},
        {"v2.2 frames in a v2.3 tag, as a player once wrote them",
         Tag(3, Frame(3, std::string("TCP\0", 4), Text(LATIN1, B("1"))) + Frame(3, std::string("TT2\0", 4), Text(LATIN1, B("Kept"))) +
                    Frame(3, "TPE1", Text(LATIN1, B("After")))),
         3, L"Kept", L"After"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bool ok = true;
        const CID3v2Fields got = Parse(c.tag, &ok);
        EXPECT_EQ(c.version != 0, ok);
        EXPECT_EQ(c.version, got.nVersion);
        EXPECT_EQ(c.title, got.strTitle);
        EXPECT_EQ(c.artist, got.strArtist);
    }
}

TEST(ID3v2Parse, TagSizeFromHeaderAndFooter)
{
    const Bytes tag4 = Tag(4, Frame(4, "TIT2", Text(LATIN1, B("x"))), FOOTER);
    const Bytes footer(tag4.end() - 10, tag4.end());
    EXPECT_EQ(tag4.size(), ID3v2TagSize(tag4.data(), false));
    EXPECT_EQ(tag4.size(), ID3v2TagSize(footer.data(), true));
    EXPECT_EQ(0u, ID3v2TagSize(tag4.data(), true)) << "a header is no footer";
    EXPECT_EQ(0u, ID3v2TagSize(footer.data(), false)) << "a footer is no header";
    const Bytes tag3 = Tag(3, Bytes(), FOOTER, 4);
    EXPECT_EQ(14u, ID3v2TagSize(tag3.data(), false)) << "only v2.4 has a footer";
    const Bytes huge = B("ID3") + Bytes{4, 0, 0} + Bytes{0x7F, 0x7F, 0x7F, 0x7F};
    EXPECT_EQ(10u + 0x0FFFFFFFu, ID3v2TagSize(huge.data(), false));
}
