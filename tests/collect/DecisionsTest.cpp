// The job's decisions as plain functions, without a window or a file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/Duplicate.h"
#include "collect/EntryTexts.h"
#include "collect/TargetPath.h"
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
