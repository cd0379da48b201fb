#include "tag/SongSave.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "tag/ID3v2.h"
#include "tests/support/TestFiles.h"
#include "tests/tag/SavedFrames.h"
#include "tests/support/ID3v2Bytes.h"

using namespace tag_bytes;
using namespace testing_support;

namespace {

const Bytes kAudio = [] {
    Bytes a(5000);
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = Bytes::value_type(i * 7 + (i >> 8));
    a[100] = 0xFF; a[101] = 0xFB;   // a frame sync, as audio has
    return a;
}();

// Bytes that unsynchronisation changes: a sync and a zero after 0xFF.
const Bytes kPicture = Bytes{0} + B("image/jpeg") + Bytes{0, 3, 0} +
                       Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0xFF, 0x00, 0xFF};
// A picture whose size reads differently synchsafe and plain.
const Bytes kLargePicture = Bytes{0} + B("image/png") + Bytes{0, 3, 0} + Bytes(300, 0xAB);

Bytes L1(const std::string& s) { return Text(LATIN1, B(s)); }

// The edit a row makes: every field as the row shows it, and what the user
// changed.
CSongEdit RowEdit(const std::string& title, const std::string& artist, const std::string& album,
                  const std::string& year, const std::string& comment, int track, int genre, unsigned changed)
{
    CSongEdit e;
    e.texts[SONG_TITLE].bytes = title;
    e.texts[SONG_ARTIST].bytes = artist;
    e.texts[SONG_ALBUM].bytes = album;
    e.texts[SONG_YEAR].bytes = year;
    e.texts[SONG_COMMENT].bytes = comment;
    e.nTrack = track;
    e.nGenre = genre;
    e.nChanged = changed;
    return e;
}

Bytes Saved(const Bytes& file, const CSongEdit& edit, const std::string& name = "song.mp3")
{
    TempDir dir;
    const std::string path = dir / name;
    WriteFile(path, file);
    EXPECT_TRUE(SaveSongTags(LongPath(path), edit));
    // Nothing beside it: the temporary the new file was made as is gone, and
    // the song is not left hidden as it was made.
    EXPECT_EQ((std::vector<std::string>{name}), FilesUnder(dir.Path()));
    EXPECT_EQ(0u, ::GetFileAttributesW(LongPath(path).c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    return ReadFile(path);
}

// The tag at offset at through the program's own reader.
CID3v2Fields ReadBack(const Bytes& file, size_t at = 0)
{
    CID3v2Fields fields;
    const size_t size = saved_frames::TagSize(file, at);
    EXPECT_TRUE(size && ParseID3v2(file.data() + at, size, fields));
    return fields;
}

} // namespace

// An edit sets the fields the user changed in the ID3v2 tag and nothing
// else: a song with a sparse record (no year, comment or track; genre
// "Other") keeps the year, track, genre and comment of its rich ID3v2 tag
// when only its title is edited. The record is written from the row, as
// ever.
TEST(SongSave, SetsOnlyTheFieldsTheUserChanged)
{
    const Bytes frames = Frame(3, "TIT2", L1("Old title")) + Frame(3, "TPE1", L1("Band")) +
                         Frame(3, "TALB", L1("Disc")) + Frame(3, "TYER", L1("2004")) + Frame(3, "TRCK", L1("3/12")) +
                         Frame(3, "TCON", L1("(17)Rock")) + Frame(3, "APIC", kPicture) +
                         Frame(3, "COMM", Comment(LATIN1, B("iTunNORM"), B("0000 1111"))) +
                         Frame(3, "COMM", Comment(LATIN1, B(""), B("liner notes"))) +
                         Frame(3, "TXXX", Bytes{0} + B("REPLAYGAIN_TRACK_GAIN") + Bytes{0} + B("-6.20 dB")) +
                         Frame(3, "USLT", Comment(LATIN1, B(""), B("la la la")));
    TagFields sparse;
    sparse.title = "Old title";
    sparse.artist = "Band";
    sparse.album = "Disc";
    sparse.genre = 12;
    const Bytes file = Tag(3, frames, 0, 200) + kAudio + MakeTagRecord(sparse);
    const auto before = saved_frames::List(file, 0);

    struct Case
    {
        const char* label;
        CSongEdit edit;
        std::vector<std::string> gone;   // frames (by id and first data bytes) the edit replaces or removes
        std::wstring title, artist, album, year, comment;
        int track, genre;
    };
    // The row shows the record's fields: empty year and comment, no track,
    // genre 12.
    const auto row = [](const std::string& title, const std::string& artist, const std::string& album,
                        const std::string& year, const std::string& comment, int track, int genre, unsigned changed) {
        return RowEdit(title, artist, album, year, comment, track, genre, changed);
    };
    const Case cases[] = {
        {"title changed, the record disagreeing on the rest", row("New title", "Band", "Disc", "", "", 0, 12, EDIT_TITLE),
         {"TIT2"}, L"New title", L"Band", L"Disc", L"2004", L"liner notes", 3, 17},
        {"artist changed", row("Old title", "\xB0\xA1\xBC\xF6", "Disc", "", "", 0, 12, EDIT_ARTIST), {"TPE1"},
         L"Old title", L"\uAC00\uC218", L"Disc", L"2004", L"liner notes", 3, 17},
        {"album cleared", row("Old title", "Band", "", "", "", 0, 12, EDIT_ALBUM), {"TALB"}, L"Old title", L"Band", L"",
         L"2004", L"liner notes", 3, 17},
        {"year changed", row("Old title", "Band", "Disc", "1999", "", 0, 12, EDIT_YEAR), {"TYER"}, L"Old title",
         L"Band", L"Disc", L"1999", L"liner notes", 3, 17},
        {"year cleared", row("Old title", "Band", "Disc", "", "", 0, 12, EDIT_YEAR), {"TYER"}, L"Old title", L"Band",
         L"Disc", L"", L"liner notes", 3, 17},
        {"track changed", row("Old title", "Band", "Disc", "", "", 5, 12, EDIT_TRACK), {"TRCK"}, L"Old title", L"Band",
         L"Disc", L"2004", L"liner notes", 5, 17},
        {"track cleared", row("Old title", "Band", "Disc", "", "", 0, 12, EDIT_TRACK), {"TRCK"}, L"Old title", L"Band",
         L"Disc", L"2004", L"liner notes", 0, 17},
        {"genre chosen", row("Old title", "Band", "Disc", "", "", 0, 13, EDIT_GENRE), {"TCON"}, L"Old title", L"Band",
         L"Disc", L"2004", L"liner notes", 3, 13},
        // The description-less comment is the one the list shows; the
        // player's own comment and the lyrics stay.
        {"comment changed", row("Old title", "Band", "Disc", "", "new notes", 0, 12, EDIT_COMMENT), {"COMM:"},
         L"Old title", L"Band", L"Disc", L"2004", L"new notes", 3, 17},
        {"comment cleared", row("Old title", "Band", "Disc", "", "", 0, 12, EDIT_COMMENT), {"COMM:"}, L"Old title",
         L"Band", L"Disc", L"2004", L"", 3, 17},
        {"changed to what the tag holds already", row("Old title", "Band", "Disc", "2004", "", 3, 12,
                                                      EDIT_TITLE | EDIT_YEAR | EDIT_TRACK),
         {}, L"Old title", L"Band", L"Disc", L"2004", L"liner notes", 3, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Bytes saved = Saved(file, c.edit);
        const CID3v2Fields v2 = ReadBack(saved);
        EXPECT_EQ(3, v2.nVersion);
        EXPECT_EQ(c.title, v2.strTitle);
        EXPECT_EQ(c.artist, v2.strArtist);
        EXPECT_EQ(c.album, v2.strAlbum);
        EXPECT_EQ(c.year, v2.strYear);
        EXPECT_EQ(c.comment, v2.strComment);
        EXPECT_EQ(c.track, v2.nTrack);
        EXPECT_EQ(c.genre, v2.nGenre);
        // Every other frame, byte for byte, in its order.
        EXPECT_EQ(saved_frames::Without(before, c.gone), saved_frames::Without(saved_frames::List(saved, 0), c.gone));
        // The tag keeps its room, the audio its bytes.
        const size_t tagSize = saved_frames::TagSize(saved, 0);
        EXPECT_EQ(saved_frames::TagSize(file, 0), tagSize);
        EXPECT_EQ(kAudio, Bytes(saved.begin() + tagSize, saved.end() - 128));
        // The record from every field of the row.
        CMP3Info v1;
        v1.SetTitle(c.edit.texts[SONG_TITLE].bytes);
        v1.SetArtist(c.edit.texts[SONG_ARTIST].bytes);
        v1.SetAlbum(c.edit.texts[SONG_ALBUM].bytes);
        v1.SetYear(c.edit.texts[SONG_YEAR].bytes);
        v1.SetComment(c.edit.texts[SONG_COMMENT].bytes);
        v1.m_nTrack = c.edit.nTrack;
        v1.m_nGenre = c.edit.nGenre;
        unsigned char record[128];
        v1.RenderRecord(record);
        EXPECT_EQ(Bytes(record, record + 128), Bytes(saved.end() - 128, saved.end()));
    }
}

// A new track number keeps the count of tracks the old one was one of: the
// row shows the number alone, and the user changed nothing else.
TEST(SongSave, ANewTrackNumberKeepsTheCount)
{
    const struct { const char* before; int track; const char* after; } cases[] = {
        {"3/12", 5, "5/12"}, {"03/12", 4, "4/12"}, {"3", 5, "5"}, {"3/", 5, "5"}, {"3/x", 5, "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        const Bytes file = Tag(3, Frame(3, "TIT2", L1("T")) + Frame(3, "TRCK", L1(c.before)), 0, 100) + kAudio;
        const Bytes saved = Saved(file, RowEdit("T", "", "", "", "", c.track, 255, EDIT_TRACK));
        std::vector<std::pair<std::string, Bytes>> frames = saved_frames::Data(saved_frames::List(saved, 0));
        const auto track = std::find_if(frames.begin(), frames.end(), [](const auto& f) { return f.first == "TRCK"; });
        ASSERT_NE(frames.end(), track);
        EXPECT_EQ(L1(c.after), track->second);
    }
}

// The save walks a tag as the reader does, whatever layout its writer chose,
// and writes one every reader reads whole: the title edited, every other
// frame's data the same, the audio byte for byte.
TEST(SongSave, EditsEveryLayoutTheReaderReads)
{
    const Bytes title = Frame(3, "TIT2", L1("Old title"));
    const Bytes rest3 = Frame(3, "TPE1", L1("Band")) + Frame(3, "APIC", kPicture) +
                        Frame(3, "COMM", Comment(LATIN1, B(""), B("notes")));
    const Bytes rest4 = Frame(4, "TPE1", L1("Band")) + Frame(4, "APIC", kPicture) +
                        Frame(4, "COMM", Comment(LATIN1, B(""), B("notes")));
    // A v2.4 frame sized as v2.3 sizes frames.
    const auto plain4 = [](const std::string& id, const Bytes& data) {
        return B(id) + BigEndian(uint32_t(data.size()), 4) + Bytes{0, 0} + data;
    };
    const Bytes record = MakeTagRecord(Tagged("Band", "Disc", "Old title"));
    struct Case
    {
        const char* label;
        Bytes file;
        size_t tagAt;          // where the tag is, before and after
        bool plainSizes;       // the old tag's v2.4 sizes are plain numbers
        unsigned edited;       // EDIT_TITLE, maybe with the comment cleared
        std::vector<std::string> gone;
        unsigned char flagsKept;   // header flags the new tag still has
    };
    const Case cases[] = {
        {"v2.3", Tag(3, title + rest3, 0, 50) + kAudio, 0, false, EDIT_TITLE, {"TIT2"}, 0},
        {"v2.3 unsynchronised as a whole", Tag(3, Unsynchronised(rest3 + title), UNSYNC, 50) + kAudio, 0, false,
         EDIT_TITLE, {"TIT2"}, 0},
        {"v2.3 with an extended header",
         Tag(3, Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 40} + title + rest3, EXTENDED, 50) + kAudio, 0, false, EDIT_TITLE,
         {"TIT2"}, 0},
        {"v2.3 holding v2.2 frames", Tag(3, B("TT2") + Bytes{0} + BigEndian(10, 4) + Bytes{0, 0} + L1("Old title") + rest3, 0, 50) + kAudio,
         0, false, EDIT_TITLE, {"TT2", "TIT2"}, 0},
        // A frame of size 0 is passed over; the comment after it is still
        // the field's, and clearing it takes it away.
        {"v2.3 with a frame of size 0", Tag(3, title + Frame(3, "TCOP", {}) + rest3, 0, 50) + kAudio, 0, false,
         EDIT_TITLE | EDIT_COMMENT, {"TIT2", "COMM:"}, 0},
        {"v2.3, a frame of an id no version knows before the names",
         Tag(3, B("Date") + BigEndian(5, 4) + Bytes{0, 0} + L1("2004") + title + rest3, 0, 50) + kAudio, 0, false,
         EDIT_TITLE, {"TIT2"}, 0},
        {"v2.4", Tag(4, rest4 + Frame(4, "TIT2", L1("Old title")), 0, 50) + kAudio, 0, false, EDIT_TITLE, {"TIT2"},
         0},
        // The title lands after the picture, not in it; the new tag's sizes
        // are synchsafe.
        {"v2.4 sized plainly, a large picture first",
         Tag(4, plain4("APIC", kLargePicture) + plain4("TIT2", L1("Old title")) + plain4("TPE1", L1("Band")) +
                 plain4("COMM", Comment(LATIN1, B(""), B("notes"))),
             0, 50) +
             kAudio,
         0, true, EDIT_TITLE, {"TIT2"}, 0},
        {"v2.4 unsynchronised as a whole",
         Tag(4,
             Frame(4, "TIT2", L1("Old title")) + Frame(4, "APIC", Unsynchronised(kPicture)) +
                 Frame(4, "TPE1", L1("Band")) + Frame(4, "COMM", Unsynchronised(Comment(UTF16, Utf16LE(L""), Utf16LE(L"notes")))),
             UNSYNC, 50) +
             kAudio,
         0, false, EDIT_TITLE, {"TIT2"}, UNSYNC},
        {"v2.4 frames unsynchronised on their own, with a data length",
         Tag(4,
             Frame(4, "APIC", Synchsafe(uint32_t(kPicture.size())) + Unsynchronised(kPicture), 0x0003) +
                 Frame(4, "TIT2", L1("Old title")) + Frame(4, "TPE1", L1("Band")) +
                 Frame(4, "COMM", Unsynchronised(Comment(UTF16, Utf16LE(L""), Utf16LE(L"notes"))), 0x0002),
             0, 50) +
             kAudio,
         0, false, EDIT_TITLE, {"TIT2"}, 0},
        {"v2.4 appended with a footer", kAudio + Tag(4, rest4 + Frame(4, "TIT2", L1("Old title")), FOOTER) + record,
         kAudio.size(), false, EDIT_TITLE, {"TIT2"}, FOOTER},
        {"v2.2 stays v2.2",
         Tag(2,
             Frame(2, "TT2", L1("Old title")) + Frame(2, "TP1", L1("Band")) + Frame(2, "CRM", B("owner")) +
                 Frame(2, "PIC", Bytes{0} + B("JPG") + Bytes{3, 0, 0xFF, 0xD8, 0xFF}) +
                 Frame(2, "COM", Comment(LATIN1, B(""), B("notes"))),
             0, 40) +
             kAudio,
         0, false, EDIT_TITLE | EDIT_COMMENT, {"TT2", "COM:"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const int version = c.file[c.tagAt + 3];
        const CSongEdit edit = RowEdit("New \xC1\xA6\xB8\xF1", "Band", "Disc", "", "", 0, 255, c.edited);
        const Bytes saved = Saved(c.file, edit);
        const CID3v2Fields v2 = ReadBack(saved, c.tagAt);
        EXPECT_EQ(version, v2.nVersion);
        EXPECT_EQ(L"New \uC81C\uBAA9", v2.strTitle);
        EXPECT_EQ(L"Band", v2.strArtist);
        EXPECT_EQ(c.edited & EDIT_COMMENT ? L"" : L"notes", v2.strComment);
        EXPECT_EQ(saved_frames::Data(saved_frames::Without(saved_frames::List(c.file, c.tagAt, c.plainSizes), c.gone)),
                  saved_frames::Data(saved_frames::Without(saved_frames::List(saved, c.tagAt), c.gone)));
        EXPECT_EQ(c.flagsKept, saved[c.tagAt + 5]);
        const size_t oldSize = saved_frames::TagSize(c.file, c.tagAt), newSize = saved_frames::TagSize(saved, c.tagAt);
        EXPECT_EQ(Bytes(c.file.begin(), c.file.begin() + c.tagAt), Bytes(saved.begin(), saved.begin() + c.tagAt));
        EXPECT_EQ(Bytes(c.file.begin() + c.tagAt + oldSize, c.file.end() - (c.tagAt ? 128 : 0)),
                  Bytes(saved.begin() + c.tagAt + newSize, saved.end() - 128));
    }
}

// New texts: Latin-1 for ASCII alone (the reader would take other Latin-1
// bytes for CP949), UTF-16 with a byte order mark in v2.2 and v2.3, UTF-8 in
// v2.4.
TEST(SongSave, NewFramesEncodeAsTheirVersionReadsThemBack)
{
    struct Case
    {
        int version;
        std::wstring title;
        Bytes data;
    } cases[] = {
        {3, L"abc", L1("abc")},
        {4, L"abc", L1("abc")},
        // "ºÎ" would read back as CP949 from Latin-1 bytes.
        {2, L"\u00BA\u00CE", {1, 0xFF, 0xFE, 0xBA, 0x00, 0xCE, 0x00}},
        {3, L"\u00BA\u00CE", {1, 0xFF, 0xFE, 0xBA, 0x00, 0xCE, 0x00}},
        {4, L"\u00BA\u00CE", {3, 0xC2, 0xBA, 0xC3, 0x8E}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const Bytes tag = Tag(c.version, Frame(c.version, c.version == 2 ? "TAL" : "TALB", L1("Disc")), 0, 20);
        CSongEdit edit;
        edit.texts[SONG_TITLE].bytes = "?";
        edit.texts[SONG_TITLE].whole = c.title;
        edit.nChanged = EDIT_TITLE;
        std::vector<unsigned char> out;
        ASSERT_TRUE(EditID3v2(tag.data(), tag.size(), edit, out));
        const auto frames = saved_frames::List(out, 0);
        ASSERT_EQ(2u, frames.size());
        EXPECT_EQ(c.version == 2 ? "TT2" : "TIT2", frames[1].id);
        EXPECT_EQ(c.data, frames[1].data);
        CID3v2Fields back;
        ASSERT_TRUE(ParseID3v2(out.data(), out.size(), back));
        EXPECT_EQ(c.title, back.strTitle);
    }
}

// A file without an ID3v2 tag is written as ever, in place; one that cannot
// be written is left as it was, with nothing beside it.
TEST(SongSave, WithoutID3v2AsEverAndAFailedSaveChangesNothing)
{
    TempDir dir;
    const std::string plain = dir / "plain.mp3";
    WriteFile(plain, kAudio + MakeTagRecord(Tagged("A", "B", "old")));
    const CSongEdit edit = RowEdit("new", "A", "B", "", "", 0, 255, EDIT_TITLE);
    ASSERT_TRUE(SaveSongTags(LongPath(plain), edit));
    EXPECT_EQ(kAudio + MakeTagRecord(Tagged("A", "B", "new")), ReadFile(plain));

    const std::string song = dir / "tagged.mp3";
    const Bytes original = Tag(3, Frame(3, "TIT2", L1("old")), 0, 10) + kAudio;
    WriteFile(song, original);
    {
        SCOPED_TRACE("held open by another program");
        CHandle other(::CreateFileW(LongPath(song).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
        ASSERT_TRUE(other.IsValid());
        EXPECT_FALSE(SaveSongTags(LongPath(song), edit));
    }
    EXPECT_EQ(original, ReadFile(song));
    {
        SCOPED_TRACE("read-only");
        ASSERT_TRUE(::SetFileAttributesW(LongPath(song).c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(SaveSongTags(LongPath(song), edit));
        ::SetFileAttributesW(LongPath(song).c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(original, ReadFile(song));
    }
    {
        SCOPED_TRACE("gone since it was read");
        EXPECT_FALSE(SaveSongTags(LongPath(dir / "gone.mp3"), edit));
        EXPECT_FALSE(Exists(dir / "gone.mp3"));
    }
    EXPECT_EQ((std::vector<std::string>{"plain.mp3", "tagged.mp3"}), FilesUnder(dir.Path()));
}

// A record field another writer put in Latin-1 or UTF-8 is listed whole;
// saved untouched, it keeps its bytes rather than the '?' CP949 has for it.
TEST(SongSave, AnUntouchedRecordFieldOfAnotherCodeKeepsItsBytes)
{
    TagFields old = Tagged("Bj\xF6rk", "Homogenic", "Joga");
    old.comment = "caf\xE9";
    TempDir dir;
    const std::string path = dir / "song.mp3";
    WriteFile(path, kAudio + MakeTagRecord(old));
    CSongEdit edit = RowEdit("J\xF3ga", "Bj?rk", "Homogenic", "", "caf?", 0, 255, EDIT_TITLE);
    edit.texts[SONG_TITLE].whole = L"J\u00F3ga";
    edit.texts[SONG_ARTIST].whole = L"Bj\u00F6rk";
    edit.texts[SONG_COMMENT].whole = L"caf\u00E9";
    ASSERT_TRUE(SaveSongTags(LongPath(path), edit));
    TagFields want = old;
    want.title = "J\xF3ga";   // the changed field: what the row's bytes say
    EXPECT_EQ(kAudio + MakeTagRecord(want), ReadFile(path));
}
