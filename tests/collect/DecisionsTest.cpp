// The job's decisions as plain functions, without a window or a file.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "afx/WidePath.h"
#include "collect/Duplicate.h"
#include "collect/EntryTexts.h"
#include "collect/PassOrder.h"
#include "collect/TargetPath.h"
#include "collect/VisitedFolders.h"
#include "res/Texts.h"
#include "tag/MP3Info.h"

TEST(EntryTexts, TrimCutAndPlaceholdersTable)
{
    struct Case
    {
        const char* label;
        std::string title, artist, album, year, comment;
        int track, genre;
        // artist, album, track, title, genre, year, comment
        std::vector<std::string> texts;
    } cases[] = {
        {"empty fields are placeholders", "", "", "", "", "", 0, 255,
         {PLACEHOLDER_ARTIST, PLACEHOLDER_ALBUM, "0", PLACEHOLDER_TITLE, PLACEHOLDER_GENRE, PLACEHOLDER_YEAR,
          PLACEHOLDER_COMMENT}},
        {"blanks around are trimmed, blanks alone become empty", " Song\t", "  ", "\r\nDisc\r\n", "1999", "\v", 7, 17,
         {"", "Disc", "7", "Song", "Rock", "1999", ""}},
        {"a genre number without a name", "T", "A", "B", "", "", 0, 200,
         {"A", "B", "0", "T", PLACEHOLDER_GENRE, PLACEHOLDER_YEAR, PLACEHOLDER_COMMENT}},
        {"cut by bytes to the buffers", std::string(300, 't'), "A", "B", std::string(70, '9'), std::string(600, 'c'), 0,
         0, {"A", "B", "0", std::string(255, 't'), "Blues", std::string(63, '9'), std::string(511, 'c')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CMP3Info info;
        info.SetTitle(c.title);
        info.SetArtist(c.artist);
        info.SetAlbum(c.album);
        info.SetYear(c.year);
        info.SetComment(c.comment);
        info.m_nTrack = c.track;
        info.m_nGenre = c.genre;
        MP3FileEntry e = {};
        PutEntryTexts(e, info);
        EXPECT_EQ(c.texts, std::vector<std::string>({e.Artist(), e.Album(), e.Track(), e.Title(), e.Genre(), e.Year(),
                                                     e.Comment()}));
        EXPECT_EQ(c.genre, e.nGenre);
    }
}

// Each tag text is cut to its field's bytes exactly as lstrcpynA cut it into
// a buffer of that size: by bytes, so a double-byte character at the cut
// keeps its first byte; setting one text leaves the others as they were.
TEST(EntryTexts, FieldsCutToTheirBytesTable)
{
    const struct
    {
        EntryField field;
        size_t bytes;
    } fields[] = {
        {FIELD_ARTIST, 256}, {FIELD_ALBUM, 256}, {FIELD_TRACK, 256}, {FIELD_TITLE, 256},
        {FIELD_GENRE, 128},  {FIELD_YEAR, 64},   {FIELD_COMMENT, 512},
    };
    const char* const others[FIELD_COUNT] = {"a", "b", "c", "d", "e", "f", "g"};
    for (const auto& f : fields) {
        const size_t n = f.bytes;
        std::string korean;
        while (korean.size() <= n)
            korean += "가";
        const struct
        {
            const char* label;
            std::string text;
            size_t kept;
        } cases[] = {
            {"empty", "", 0},
            {"one byte under the size", std::string(n - 1, 'x'), n - 1},
            {"the size", std::string(n, 'x'), n - 1},
            {"twice the size", std::string(2 * n, 'x'), n - 1},
            {"double-byte characters", korean, n - 1},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(f.field) + ": " + c.label);
            EXPECT_EQ(n, kFieldBytes[f.field]);
            MP3FileEntry e;
            e.SetTexts(others);
            e.SetText(f.field, c.text.c_str());
            EXPECT_EQ(c.text.substr(0, c.kept), e.Text(f.field));
            std::vector<char> buffer(n);
            lstrcpynA(buffer.data(), c.text.c_str(), int(n));
            EXPECT_STREQ(buffer.data(), e.Text(f.field)) << "as into a buffer of the size";
            for (int other = 0; other < FIELD_COUNT; ++other) {
                if (other != f.field) {
                    EXPECT_STREQ(others[other], e.Text(EntryField(other)));
                }
            }
        }
    }
    MP3FileEntry e;
    EXPECT_STREQ("", e.Artist()) << "an entry starts with empty texts";
    e.SetArtist("Band");
    e.SetArtist(nullptr);
    EXPECT_STREQ("", e.Artist()) << "no text is an empty one";
    e.SetTitle("Song");
    e.SetArtist(e.Title());
    EXPECT_STREQ("Song", e.Artist()) << "a text from the entry itself";
}

// An edit's values reach an entry whole; what the entry lists and where it
// goes stay.
TEST(EntryTexts, CopyTagTextsTakesTheTagValuesOnly)
{
    MP3FileEntry from, to;
    const char* const texts[FIELD_COUNT] = {"Band", "Disc", "7", "Song", "Rock", "1999", "hi"};
    from.SetTexts(texts);
    from.nGenre = 17;
    from.nTailSum = 5;
    from.SetWidePath(L"\\\\?\\C:\\from.mp3");
    to.SetWidePath(L"\\\\?\\C:\\to.mp3");
    to.nTailSum = 9;
    to.SetTarget(std::make_shared<const CTargetFolder>(CTargetFolder{"D:\\Band\\Disc", L"\\\\?\\D:\\Band\\Disc"}));

    CopyTagTexts(to, from);

    for (int f = 0; f < FIELD_COUNT; ++f)
        EXPECT_STREQ(texts[f], to.Text(EntryField(f)));
    EXPECT_EQ(17, to.nGenre);
    EXPECT_EQ(9u, to.nTailSum);
    EXPECT_EQ(L"\\\\?\\C:\\to.mp3", to.WidePath());
    EXPECT_EQ("D:\\Band\\Disc\\to.mp3", to.TargetPath());
}

// The texts a row shows of its path and name are made from its exact wide
// path, with '?' for what the code page cannot spell.
TEST(EntryPath, TextsFromTheWidePathTable)
{
    const struct
    {
        const char* label;
        std::wstring wide;
        std::string path, name;
    } cases[] = {
        {"Korean", L"\\\\?\\C:\\\uc74c\uc545\\\ub178\ub798.mp3", "C:\\음악\\노래.mp3", "노래.mp3"},
        {"network share", L"\\\\?\\UNC\\server\\share\\a.mp3", "\\\\server\\share\\a.mp3", "a.mp3"},
        {"outside the code page", L"\\\\?\\C:\\Caf\u00e9\\D\u00e9j\u00e0.mp3", "C:\\Caf?\\D?j?.mp3", "D?j?.mp3"},
        {"none yet", L"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MP3FileEntry e;
        e.SetWidePath(c.wide);
        EXPECT_EQ(c.wide, e.WidePath());
        EXPECT_EQ(c.path, e.Path());
        EXPECT_EQ(c.name, e.FileName());
        EXPECT_FALSE(e.HasTarget());
        EXPECT_EQ("", e.TargetPath());
        EXPECT_EQ(L"", e.WideTargetPath());
    }
}

// A row keeps its target as its album folder and its own name: both make
// again exactly the target the decision gave, text and path.
TEST(EntryPath, TargetFromItsFolderAndNameTable)
{
    const std::wstring dest = L"\\\\?\\C:\\Out";
    const struct
    {
        const char* artist;
        const char* album;
        std::wstring name;
    } cases[] = {
        {"Band", "Disc", L"s.mp3"},
        {"가수", "앨범", L"\ub178\ub798.mp3"},
        {"AC/DC", "Live\\1991", L"s.mp3"},
        {"Mr.", "Vol. 2.", L"s.mp3"},
        {"Band", "Disc", L"Caf\u00e9.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.artist);
        MP3FileEntry e;
        e.SetWidePath(L"\\\\?\\C:\\In\\" + c.name);
        CTargetPath t;
        ASSERT_EQ(TARGET_OK, MakeTargetPath("C:\\Out", dest, c.artist, c.album, e.FileName().c_str(),
                                            NameOfPath(e.WidePath()), t));
        e.SetTarget(std::make_shared<const CTargetFolder>(CTargetFolder{t.folderText, t.folder}));
        EXPECT_TRUE(e.HasTarget());
        EXPECT_EQ(t.text, e.TargetPath());
        EXPECT_EQ(t.path, e.WideTargetPath());
    }
}

TEST(NamesFolderLevels, Table)
{
    const struct
    {
        const char* text;
        bool names;
    } cases[] = {
        {"Band", true},          {"AC/DC", true},       {"a\\b", true},     {" x ", true},
        {"no artist", false},    {"", false},           {"   ", false},     {".", false},
        {"..", false},           {"a\\..\\b", false},   {". .", false},     {"\\\\", false},
        {"..a", true},           {"Mr.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.names, NamesFolderLevels(c.text, PLACEHOLDER_ARTIST));
    }
}

namespace {

// A target as the table describes it; records what the decision asked.
class CFakeStanding : public IStandingFile
{
public:
    uint32_t known = 0, there = 0;
    bool exists = true, same = true;
    std::string asked;

    uint32_t KnownSum(const std::wstring&) override { asked += "k"; return known; }
    bool Exists(const std::wstring&) override { asked += "e"; return exists; }
    uint32_t ReadSum(const std::wstring&) override { asked += "r"; return there; }
    bool SameBytes(const std::wstring&, const std::wstring&) override { asked += "b"; return same; }
};

} // namespace

// The bytes decide; size and fingerprints only rule pairs out, and the
// cheapest question that settles it is the last one asked.
TEST(Duplicate, DecisionTable)
{
    struct Case
    {
        const char* label;
        uint64_t size, otherSize;
        bool targetSet;
        uint32_t sum, known, there;
        bool exists, same;
        bool duplicate;
        const char* asked;
    } cases[] = {
        {"same bytes at the target", 300, 300, true, 5, 0, 5, true, true, true, "kerb"},
        {"other bytes at the target", 300, 300, true, 5, 0, 5, true, false, false, "kerb"},
        {"a known other fingerprint spares the disk", 300, 300, true, 5, 6, 0, true, true, false, "k"},
        {"a known equal fingerprint spares the read", 300, 300, true, 5, 5, 0, true, true, true, "keb"},
        {"a fingerprint read and other", 300, 300, true, 5, 0, 6, true, true, false, "ker"},
        {"an unreadable fingerprint leaves it to the bytes", 300, 300, true, 5, 0, 0, true, true, true, "kerb"},
        {"no fingerprint of the row: the bytes", 300, 300, true, 0, 0, 0, true, true, true, "eb"},
        {"nothing at the target", 300, 300, true, 5, 0, 5, false, true, false, "ke"},
        {"other sizes", 300, 301, true, 5, 5, 5, true, true, false, ""},
        {"empty files are never duplicates", 0, 0, true, 5, 5, 5, true, true, false, ""},
        {"a row without a target", 300, 300, false, 5, 5, 5, true, true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MP3FileEntry row = {}, other = {};
        row.nIndex = 1;
        row.nFileSize = c.size;
        row.SetWidePath(L"\\\\?\\C:\\in\\s.mp3");
        other.nIndex = 0;
        other.nFileSize = c.otherSize;
        other.SetWidePath(L"\\\\?\\C:\\in2\\t.mp3");
        if (c.targetSet)
            other.SetTarget(
                std::make_shared<const CTargetFolder>(CTargetFolder{"C:\\out\\Band\\Disc", L"\\\\?\\C:\\out\\Band\\Disc"}));
        CFakeStanding standing;
        standing.known = c.known;
        standing.there = c.there;
        standing.exists = c.exists;
        standing.same = c.same;
        EXPECT_EQ(c.duplicate, IsDuplicateOfRow(row, c.sum, other, standing));
        EXPECT_EQ(c.asked, standing.asked);
        EXPECT_FALSE(IsDuplicateOfRow(row, c.sum, row, standing)) << "a row is no duplicate of itself";
    }
}

// A folder is known by its file id; volumes are asked only when ids meet,
// and only the same id on the same volume is the same folder.
TEST(VisitedFolders, EnteredOnceTable)
{
    struct Visit
    {
        const wchar_t* path;
        uint64_t id;       // as the walk reads it
        FolderIdentity whole;
        bool entered;
    };
    const FolderIdentity unknown;
    const auto on = [](DWORD volume, uint64_t id) { return FolderIdentity{true, volume, id}; };
    struct Case
    {
        const char* label;
        std::vector<Visit> visits;
        int asked;
    } cases[] = {
        {"different ids: different folders, no volume asked",
         {{L"A", 1, on(1, 1), true}, {L"B", 2, on(1, 2), true}}, 0},
        {"a folder reached again through a link",
         {{L"A", 7, on(1, 7), true}, {L"A\\link", 7, on(1, 7), false}}, 2},
        {"the same id on another volume is another folder",
         {{L"A", 7, on(1, 7), true}, {L"B", 7, on(2, 7), true}}, 2},
        {"the id 0 names no folder",
         {{L"A", 0, on(1, 0), true}, {L"B", 0, on(1, 0), true}}, 0},
        {"a volume that cannot be asked is walked",
         {{L"A", 7, on(1, 7), true}, {L"B", 7, unknown, true}}, 2},
        {"each folder's volume is asked once",
         {{L"A", 7, on(1, 7), true}, {L"B", 7, on(2, 7), true}, {L"C", 7, on(3, 7), true},
          {L"C\\back to B", 7, on(2, 7), false}},
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        int asked = 0;
        CVisitedFolders visited([&](const std::wstring& path) {
            ++asked;
            for (const Visit& v : c.visits) {
                if (path == v.path)
                    return v.whole;
            }
            ADD_FAILURE() << "asked of a folder never entered";
            return FolderIdentity();
        });
        for (const Visit& v : c.visits)
            EXPECT_EQ(v.entered, visited.Enter(v.path, v.id)) << "entering " << std::string(v.path, v.path + std::wcslen(v.path));
        EXPECT_EQ(c.asked, asked);
    }
}

// A row is decided only once every transfer it could see is final: one of its
// size (its duplicate by the bytes), one writing where it writes or reads, or
// reading (a move: removing) where it writes. Paths compare whatever their
// letter case, as the file system does.
TEST(PassOrder, WhichTransfersARowMustSeeTable)
{
    struct Case
    {
        const char* label;
        std::wstring sourceA, targetA;
        uint64_t sizeA;
        std::wstring sourceB, targetB;
        uint64_t sizeB;
        bool sees;
    } cases[] = {
        {"unrelated", L"C:\\s\\1.mp3", L"D:\\A\\X\\1.mp3", 100, L"C:\\s\\2.mp3", L"D:\\A\\X\\2.mp3", 200, false},
        {"the same size", L"C:\\s\\1.mp3", L"D:\\A\\X\\1.mp3", 100, L"C:\\s\\2.mp3", L"D:\\B\\Y\\2.mp3", 100, true},
        {"size 0 is no size", L"C:\\s\\1.mp3", L"D:\\A\\X\\1.mp3", 0, L"C:\\s\\2.mp3", L"D:\\A\\X\\2.mp3", 0, false},
        {"the same target", L"C:\\s\\1.mp3", L"D:\\A\\X\\1.mp3", 100, L"C:\\t\\1.mp3", L"D:\\A\\X\\1.mp3", 200, true},
        {"the same target in another case", L"C:\\s\\1.mp3", L"D:\\A\\X\\Song.mp3", 100, L"C:\\t\\2.mp3",
         L"D:\\a\\x\\SONG.MP3", 200, true},
        {"the same target, letters beyond ASCII in another case", L"C:\\s\\1.mp3", L"D:\\A\\\u00C4\\1.mp3", 100,
         L"C:\\t\\1.mp3", L"D:\\A\\\u00E4\\1.mp3", 200, true},
        {"its target is the row's source", L"C:\\s\\1.mp3", L"C:\\s\\2.mp3", 100, L"C:\\s\\2.mp3",
         L"D:\\A\\X\\2.mp3", 200, true},
        {"its source is the row's target", L"C:\\s\\1.mp3", L"D:\\A\\X\\1.mp3", 100, L"C:\\t\\9.mp3",
         L"c:\\S\\1.MP3", 200, true},
        {"Korean names alike", L"C:\\s\\\uace1.mp3", L"D:\\\uac00\\X\\\uace1.mp3", 100, L"C:\\t\\\uace1.mp3",
         L"D:\\\uac00\\X\\\uace1.mp3", 200, true},
        {"Korean names differing", L"C:\\s\\\uace1.mp3", L"D:\\\uac00\\X\\\uace1.mp3", 100, L"C:\\t\\\uace1.mp3",
         L"D:\\\uac01\\X\\\uace1.mp3", 200, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const CTransferKeys a{TargetKey(c.sourceA), TargetKey(c.targetA), c.sizeA};
        const CTransferKeys b{TargetKey(c.sourceB), TargetKey(c.targetB), c.sizeB};
        EXPECT_EQ(c.sees, Sees(a, b));
        // Either way round: the rule is about what both touch.
        EXPECT_EQ(c.sees, Sees(b, a));
    }
}
