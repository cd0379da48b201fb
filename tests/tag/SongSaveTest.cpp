#include "tag/SongSave.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "tag/ID3v2.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

using Frames = std::vector<std::pair<std::string, Bytes>>;

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Be32(uint32_t v, bool synchsafe)
{
    if (synchsafe)
        return {Bytes::value_type((v >> 21) & 0x7F), Bytes::value_type((v >> 14) & 0x7F),
                Bytes::value_type((v >> 7) & 0x7F), Bytes::value_type(v & 0x7F)};
    return {Bytes::value_type(v >> 24), Bytes::value_type(v >> 16), Bytes::value_type(v >> 8), Bytes::value_type(v)};
}

// A frame as a tag of that version stores it.
Bytes Frame(int version, const std::string& id, const Bytes& body, Bytes flags = {0, 0})
{
    if (version == 2) {
        const auto n = body.size();
        return Cat({Str(id), {Bytes::value_type(n >> 16), Bytes::value_type(n >> 8), Bytes::value_type(n)}, body});
    }
    return Cat({Str(id), Be32(uint32_t(body.size()), version == 4), flags, body});
}

Bytes Latin1Text(const std::string& s) { return Cat({{0}, Str(s)}); }
Bytes Comment(const std::string& lang, const std::string& desc, const std::string& text)
{
    return Cat({{0}, Str(lang), Str(desc), {0}, Str(text)});
}

// In the tag's own unsynchronisation: a zero after every 0xFF that a sync
// or another zero follows.
Bytes Unsynchronise(const Bytes& b)
{
    Bytes out;
    for (size_t i = 0; i < b.size(); ++i) {
        out.push_back(b[i]);
        if (b[i] == 0xFF && (i + 1 == b.size() || b[i + 1] >= 0xE0 || b[i + 1] == 0))
            out.push_back(0);
    }
    return out;
}

Bytes Tag(int version, unsigned char flags, const Bytes& frames, size_t padding)
{
    Bytes body = Cat({frames, Bytes(padding, 0)});
    // In v2.4 each frame is unsynchronised on its own, the flag in the header
    // only says they all are.
    if ((flags & 0x80) && version < 4)
        body = Unsynchronise(body);
    Bytes header = Cat({Str("ID3"), {Bytes::value_type(version), 0, flags}, Be32(uint32_t(body.size()), true)});
    Bytes tag = Cat({header, body});
    if (flags & 0x10) {
        header[0] = '3'; header[1] = 'D'; header[2] = 'I';
        tag = Cat({tag, header});
    }
    return tag;
}

// The frames of the tag at the start of bytes, or of the one whose footer
// ends at footerEnd: read here apart from the code under test.
Frames TagFrames(const Bytes& file, size_t at, int& version, size_t& tagSize)
{
    version = file[at + 3];
    const size_t size = (file[at + 6] << 21) | (file[at + 7] << 14) | (file[at + 8] << 7) | file[at + 9];
    tagSize = 10 + size + ((version == 4 && (file[at + 5] & 0x10)) ? 10 : 0);
    Bytes body(file.begin() + at + 10, file.begin() + at + 10 + size);
    if (version < 4 && (file[at + 5] & 0x80)) {
        Bytes plain;
        for (size_t i = 0; i < body.size(); ++i) {
            plain.push_back(body[i]);
            if (body[i] == 0xFF && i + 1 < body.size() && body[i + 1] == 0)
                ++i;
        }
        body = plain;
    }
    size_t first = 0;
    if (file[at + 5] & 0x40)   // an extended header (v2.3's size leaves itself out)
        first = version == 3 ? 4 + body[3] : body[3];
    Frames frames;
    const size_t idSize = version == 2 ? 3 : 4, headSize = version == 2 ? 6 : 10;
    for (size_t pos = first; pos + headSize <= body.size() && body[pos];) {
        size_t n = 0;
        for (size_t k = idSize; k < idSize + (version == 2 ? 3 : 4); ++k)
            n = (n << (version == 4 ? 7 : 8)) | body[pos + k];
        if (n > body.size() - pos - headSize)
            break;
        frames.emplace_back(std::string(body.begin() + pos, body.begin() + pos + idSize),
                            Bytes(body.begin() + pos, body.begin() + pos + headSize + n));
        pos += headSize + n;
    }
    return frames;
}

// Those a save must keep as they were.
Frames Others(const Frames& frames, const std::set<std::string>& edited)
{
    Frames out;
    for (const auto& f : frames)
        if (!edited.count(f.first))
            out.push_back(f);
    return out;
}

const Bytes kAudio = [] {
    Bytes a(5000);
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = Bytes::value_type(i * 7 + (i >> 8));
    a[100] = 0xFF; a[101] = 0xFB;   // a frame sync, as audio has
    return a;
}();

// Bytes that unsynchronisation changes: a sync and a zero after 0xFF.
const Bytes kPicture = Cat({{0}, Str("image/jpeg"), {0, 3, 0}, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0xFF, 0x00, 0xFF}});

const Bytes kV23Frames = Cat({
    Frame(3, "TIT2", Latin1Text("Old title")),
    Frame(3, "TPE1", Latin1Text("Band")),
    Frame(3, "TALB", Latin1Text("Disc")),
    Frame(3, "TYER", Latin1Text("2004")),
    Frame(3, "TDAT", Latin1Text("0105")),
    Frame(3, "RVAD", {0x03, 0x10, 0x12, 0x34, 0x56, 0x78, 0x00, 0x01, 0x00, 0x02}),
    Frame(3, "TXXX", Cat({{0}, Str("REPLAYGAIN_TRACK_GAIN"), {0}, Str("-6.20 dB")})),
    Frame(3, "APIC", kPicture),
    Frame(3, "USLT", Cat({{0}, Str("eng"), {0}, Str("la la la")})),
    Frame(3, "COMM", Comment("eng", "iTunNORM", "0000 1111")),
    Frame(3, "COMM", Comment("deu", "", "alt")),
    Frame(3, "ZZZ1", {1, 2, 3}),
});

const Bytes kV24Frames = Cat({
    Frame(4, "TIT2", Cat({{3}, Str("Caf\xC3\xA9")})),
    Frame(4, "TPE1", Latin1Text("Band")),
    Frame(4, "TDRC", Latin1Text("2004-05-01")),
    Frame(4, "TRCK", Latin1Text("3/12")),
    Frame(4, "TCON", Latin1Text("(17)Rock")),
    Frame(4, "APIC", kPicture, {0, 0}),
    Frame(4, "TXXX", Cat({{3}, Str("MusicBrainz Album Id"), {0}, Str("abc")})),
    Frame(4, "RVA2", {'t', 'r', 'a', 'c', 'k', 0, 1, 0xFC, 0x00, 0x00}),
});

struct SaveCase
{
    const char* label;
    Bytes file;
    bool appended;          // the tag behind the audio, with a footer
    CSongEdit edit;
    int version;            // what the saved tag is
    std::set<std::string> changed;   // frames the edit may rewrite
    bool sameTagSize;       // the new frames fit the old tag's room
    Bytes keptTail;         // bytes no frame holds, kept behind the frames
};

TagFields V1(const std::string& title)
{
    TagFields f;
    f.title = title;
    return f;
}

std::vector<SaveCase> Cases()
{
    std::vector<SaveCase> cases;
    {
        SaveCase c{"v2.3: Hangul title, album gone, track and genre new, year and artist as they were"};
        c.file = Cat({Tag(3, 0, kV23Frames, 300), kAudio});
        c.edit.strTitle = L"\uC0C8 \uB178\uB798";
        c.edit.strArtist = L"Band";
        c.edit.strYear = L"2004";
        c.edit.nTrack = 7;
        c.edit.nGenre = 17;
        c.edit.strComment = L"new words";
        c.version = 3;
        c.changed = {"TIT2", "TALB", "TRCK", "TCON", "COMM"};
        c.sameTagSize = true;
        cases.push_back(c);
    }
    {
        SaveCase c{"v2.3 unsynchronised, with an ID3v1 record, outgrowing its room"};
        c.file = Cat({Tag(3, 0x80, kV23Frames, 0), kAudio, MakeTagRecord(V1("Old title"))});
        c.edit.strTitle = L"Old title";
        c.edit.strArtist = L"Another band";
        c.edit.strAlbum = L"Disc";
        c.edit.strYear = L"1999";
        c.edit.strComment = L"alt";
        c.version = 3;
        c.changed = {"TPE1", "TYER"};
        cases.push_back(c);
    }
    {
        SaveCase c{"v2.4 appended with a footer: the date, track 3/12 and genre kept as written"};
        c.file = Cat({kAudio, Tag(4, 0x10, kV24Frames, 0), MakeTagRecord(V1("x"))});
        c.appended = true;
        c.edit.strTitle = L"Beyonc\u00E9 \uB178\uB798";
        c.edit.strArtist = L"Band";
        c.edit.strYear = L"2004";
        c.edit.nTrack = 3;
        c.edit.nGenre = 17;
        c.edit.strAlbum = L"Lemonade";
        c.version = 4;
        c.changed = {"TIT2", "TALB"};
        cases.push_back(c);
    }
    {
        SaveCase c{"v2.4 at the start: everything set to none"};
        c.file = Cat({Tag(4, 0, kV24Frames, 64), kAudio});
        c.version = 4;
        c.changed = {"TIT2", "TPE1", "TDRC", "TRCK", "TCON"};
        c.sameTagSize = true;
        cases.push_back(c);
    }
    {
        SaveCase c{"v2.3 with an extended header (dropped) and bytes no frame holds (kept)"};
        const Bytes extended = {0, 0, 0, 6, 0, 0, 0, 0, 0, 40};
        c.keptTail = Cat({{0, 0, 0, 0}, Str("not a frame")});
        c.file = Cat({Tag(3, 0x40, Cat({extended, Frame(3, "TIT2", Latin1Text("Old")), Frame(3, "TLEN", Latin1Text("1000")),
                                        c.keptTail}),
                          40),
                      kAudio});
        c.edit.strTitle = L"New";
        c.version = 3;
        c.changed = {"TIT2"};
        c.sameTagSize = true;
        cases.push_back(c);
    }
    {
        SaveCase c{"v2.4 frames unsynchronised each on its own and with a data length"};
        c.file = Cat({Tag(4, 0x80,
                          Cat({Frame(4, "TIT2", Latin1Text("Old")),
                               Frame(4, "APIC", Cat({{0, 0, 0, 23}, Unsynchronise(kPicture)}), {0, 0x03}),
                               Frame(4, "COMM", Unsynchronise(Cat({{1}, Str("eng"), {0xFF, 0xFE, 0, 0, 0xFF, 0xFE}, Str("h\0i\0")})), {0, 0x02})}),
                          40),
                      kAudio});
        c.edit.strTitle = L"Old";
        c.edit.strComment = L"bye";
        c.version = 4;
        c.changed = {"COMM"};
        c.sameTagSize = true;
        cases.push_back(c);
    }
    {
        SaveCase c{"v2.2 becomes v2.3"};
        c.file = Cat({Tag(2, 0,
                          Cat({Frame(2, "TT2", Latin1Text("Old")), Frame(2, "TP1", Latin1Text("Band")),
                               Frame(2, "TAL", Latin1Text("Disc")), Frame(2, "TYE", Latin1Text("2001")),
                               Frame(2, "COM", Comment("eng", "", "note")),
                               Frame(2, "PIC", Cat({{0}, Str("JPG"), {3, 0}, {0xFF, 0xD8, 0xFF}}))}),
                          100),
                      kAudio});
        c.edit.strTitle = L"New";
        c.edit.strArtist = L"Band";
        c.edit.strAlbum = L"Disc";
        c.edit.strYear = L"2001";
        c.edit.strComment = L"note";
        c.version = 3;
        cases.push_back(c);
    }
    return cases;
}

// The saved tag through the program's own reader.
CID3v2Fields ReadBack(const Bytes& file)
{
    TempDir dir;
    const std::wstring path = LongPath(dir / "back.mp3");
    WriteFile(path, file);
    CHandle h(CMP3Info::OpenForTagRead(path));
    CID3v2Place place;
    CID3v2Fields fields;
    const bool bRecord = file.size() >= 128 && std::string(file.end() - 128, file.end() - 125) == "TAG";
    EXPECT_TRUE(FindID3v2(h, file.size(), bRecord, place));
    EXPECT_TRUE(ReadID3v2(h, place, fields));
    return fields;
}

} // namespace

TEST(SongSave, SetsTheEditedFieldsAndKeepsEveryOtherByte)
{
    for (const SaveCase& c : Cases()) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dir / "song.mp3";
        WriteFile(path, c.file);

        CMP3Info v1;
        ASSERT_TRUE(v1.ReadTag(path));
        v1.SetTitle(TextFromWide(c.edit.strTitle));
        v1.m_nTrack = c.edit.nTrack;
        ASSERT_TRUE(SaveSongTags(LongPath(path), v1, c.edit));
        const Bytes saved = ReadFile(path);
        EXPECT_EQ((std::vector<std::string>{"song.mp3"}), FilesUnder(dir.Path()));
        // The temporary it was made as is hidden; the song is not.
        EXPECT_EQ(0u, ::GetFileAttributesW(LongPath(path).c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));

        const CID3v2Fields v2 = ReadBack(saved);
        EXPECT_EQ(c.version, v2.nVersion);
        // The record as WriteTag writes it.
        unsigned char record[128];
        v1.RenderRecord(record);
        ASSERT_GE(saved.size(), 128u);
        EXPECT_EQ(Bytes(record, record + 128), Bytes(saved.end() - 128, saved.end()));

        // The audio, and every frame the edit did not set.
        int oldVersion = 0, newVersion = 0;
        size_t oldSize = 0, newSize = 0;
        const size_t oldAt = c.appended ? kAudio.size() : 0;
        const Frames before = TagFrames(c.file, oldAt, oldVersion, oldSize);
        ASSERT_EQ(Str("ID3"), Bytes(saved.begin() + oldAt, saved.begin() + oldAt + 3));
        const Frames after = TagFrames(saved, oldAt, newVersion, newSize);
        const size_t audioAt = c.appended ? 0 : newSize;
        ASSERT_LE(audioAt + kAudio.size(), saved.size());
        EXPECT_EQ(kAudio, Bytes(saved.begin() + audioAt, saved.begin() + audioAt + kAudio.size()));
        EXPECT_EQ(saved.size(), (c.appended ? kAudio.size() + newSize : newSize + kAudio.size()) + 128);
        if (c.sameTagSize) {
            EXPECT_EQ(oldSize, newSize);
        }
        if (oldVersion != 2) {
            EXPECT_EQ(Others(before, c.changed), Others(after, c.changed));
        }
        if (!c.keptTail.empty()) {
            EXPECT_NE(std::search(saved.begin(), saved.begin() + newSize, c.keptTail.begin(), c.keptTail.end()),
                      saved.begin() + newSize);
        }
        EXPECT_EQ(oldVersion == 2 ? 3 : oldVersion, newVersion);
        if (oldVersion == 2) {
            // The picture comes over with its bytes.
            bool bPicture = false;
            for (const auto& f : after)
                bPicture = bPicture || (f.first == "APIC" && Bytes(f.second.end() - 3, f.second.end()) ==
                                                                  Bytes{0xFF, 0xD8, 0xFF});
            EXPECT_TRUE(bPicture);
        }
    }
}

// New texts: Latin-1 for ASCII alone (the reader would take other Latin-1
// bytes for CP949), UTF-16 with a byte order mark in v2.3, UTF-8 in v2.4.
TEST(SongSave, NewFramesEncodeAsTheirVersionReadsThemBack)
{
    struct Case
    {
        int version;
        std::wstring title;
        Bytes body;
    } cases[] = {
        {3, L"abc", Latin1Text("abc")},
        {4, L"abc", Latin1Text("abc")},
        // "ºÎ" would read back as CP949 from Latin-1 bytes.
        {3, L"\u00BA\u00CE", {1, 0xFF, 0xFE, 0xBA, 0x00, 0xCE, 0x00}},
        {4, L"\u00BA\u00CE", {3, 0xC2, 0xBA, 0xC3, 0x8E}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const Bytes tag = Tag(c.version, 0, Frame(c.version, "TALB", Latin1Text("Disc")), 20);
        CSongEdit edit;
        edit.strAlbum = L"Disc";
        edit.strTitle = c.title;
        Bytes out;
        ASSERT_TRUE(EditID3v2(tag.data(), tag.size(), edit, out));
        int version = 0;
        size_t size = 0;
        const Frames frames = TagFrames(out, 0, version, size);
        ASSERT_EQ(2u, frames.size());
        EXPECT_EQ("TIT2", frames[1].first);
        EXPECT_EQ(c.body, Bytes(frames[1].second.begin() + 10, frames[1].second.end()));
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
    const std::string plain = dir / "plain.mp3", asEver = dir / "asever.mp3";
    WriteFile(plain, Cat({kAudio, MakeTagRecord(V1("old"))}));
    WriteFile(asEver, Cat({kAudio, MakeTagRecord(V1("old"))}));
    CMP3Info v1;
    ASSERT_TRUE(v1.ReadTag(plain));
    v1.SetTitle("new");
    CSongEdit edit;
    edit.strTitle = L"new";
    ASSERT_TRUE(SaveSongTags(LongPath(plain), v1, edit));
    ASSERT_TRUE(v1.WriteTag(LongPath(asEver), false, false));
    EXPECT_EQ(ReadFile(asEver), ReadFile(plain));

    const std::string song = dir / "tagged.mp3";
    const Bytes original = Cat({Tag(3, 0, kV23Frames, 10), kAudio});
    WriteFile(song, original);
    {
        SCOPED_TRACE("held open by another program");
        CHandle other(::CreateFileW(LongPath(song).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
        ASSERT_TRUE(other.IsValid());
        EXPECT_FALSE(SaveSongTags(LongPath(song), v1, edit));
    }
    EXPECT_EQ(original, ReadFile(song));
    {
        SCOPED_TRACE("read-only");
        ASSERT_TRUE(::SetFileAttributesW(LongPath(song).c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(SaveSongTags(LongPath(song), v1, edit));
        ::SetFileAttributesW(LongPath(song).c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(original, ReadFile(song));
    }
    {
        SCOPED_TRACE("gone since it was read");
        EXPECT_FALSE(SaveSongTags(LongPath(dir / "gone.mp3"), v1, edit));
        EXPECT_FALSE(Exists(dir / "gone.mp3"));
    }
    EXPECT_EQ((std::vector<std::string>{"asever.mp3", "plain.mp3", "tagged.mp3"}), FilesUnder(dir.Path()));
}
