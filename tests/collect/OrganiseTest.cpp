#include "tests/collect/JobHarness.h"

#include <atomic>
#include <map>
#include <random>
#include <thread>

#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "res/Texts.h"

using namespace collect_test;
using namespace testing_support;

namespace {

const char* const kConfirm = TEXT_CONFIRM_ORGANISE;
const char* const kDestTitle = TEXT_DEST_TITLE;

std::string Summary(int total, int ok, int dup, int failed)
{
    return std::string(kOpening) + "\r\n작업완료\r\n총 파일 수 : " + std::to_string(total) + " 개, 성공 : " +
           std::to_string(ok) + " 개, 중복파일 : " + std::to_string(dup) + "개, 실패 : " + std::to_string(failed) + " 개";
}

std::string Transfer(const char* what, const std::string& from, const std::string& to)
{
    return std::string(kOpening) + "\r\n[" + from + "] 에서\r\n[" + to + "] 으로 " + what;
}

std::vector<std::string> Tail(const std::vector<std::string>& v, size_t n)
{
    return std::vector<std::string>(v.end() - std::min(n, v.size()), v.end());
}

} // namespace

using Organise = JobTest;

TEST_F(Organise, CopyPassTextsCountsAndFiles)
{
    const Bytes one = MakeMp3(Tagged("Band", "Disc", "One"), 400, 0x01);
    const Bytes two = MakeMp3(Tagged("가수", "앨범"), 500, 0x02);
    WriteFile(Src("a\\1.mp3"), one);
    WriteFile(Src("b\\2.mp3"), two);
    WriteFile(Src("c\\3.mp3"), Bytes(300, 0x03));
    m_ui.Folder(m_src).Yes().Folder(m_dst);

    EXPECT_EQ(1, RunCollect(MODE_COPY));

    const std::string t1 = Dst("Band\\Disc\\1.mp3"), t2 = Dst("가수\\앨범\\2.mp3");
    EXPECT_EQ(one, ReadFile(t1));
    EXPECT_EQ(two, ReadFile(t2));
    EXPECT_EQ(std::vector<std::string>({"Band\\Disc\\1.mp3", "가수\\앨범\\2.mp3"}), FilesUnder(m_dst));
    EXPECT_EQ(3u, FilesUnder(m_src).size());

    EXPECT_EQ(3, m_job.Total());
    EXPECT_EQ(2, m_job.Succeeded());
    EXPECT_EQ(0, m_job.Duplicates());
    EXPECT_EQ(1, m_job.Failed());
    const std::vector<std::string> expected = {
        Transfer("복사 중입니다.", Src("a\\1.mp3"), t1), Transfer("복사 완료 하였습니다.", Src("a\\1.mp3"), t1),
        Transfer("복사 중입니다.", Src("b\\2.mp3"), t2), Transfer("복사 완료 하였습니다.", Src("b\\2.mp3"), t2),
        Summary(3, 2, 0, 1),
    };
    EXPECT_EQ(expected, Tail(m_dlg.m_status.Texts(), expected.size()));
    EXPECT_EQ(Summary(3, 2, 0, 1), Status());
    EXPECT_EQ("mp3 가 존재하는 경로 : " + m_src + "\r\n이동 및 복사를 할 경로 : " + m_dst, PathLine());
    EXPECT_EQ(std::vector<std::string>({"33 %", "66 %", "100 %"}), m_dlg.m_progressText.Texts());
    EXPECT_EQ(500, ProgressPos());
    EXPECT_EQ(t1, Entry(0)->TargetPath());
    EXPECT_EQ(LongPath(t1), Entry(0)->WideTargetPath());
    EXPECT_EQ("", Entry(2)->TargetPath());
    EXPECT_EQ(L"", Entry(2)->WideTargetPath());

    const std::vector<Question> asked = m_ui.Asked();
    ASSERT_EQ(3u, asked.size());
    EXPECT_EQ(kConfirm, asked[1].text);
    EXPECT_EQ(kDestTitle, asked[2].text);
}

// A move on one drive: the files go, the rows keep naming where they were.
TEST_F(Organise, MovePassOnOneDrive)
{
    const Bytes one = MakeMp3(Tagged("Band", "Disc"), 400, 0x01);
    WriteFile(Src("1.mp3"), one);
    m_ui.Folder(m_src).Yes().Folder(m_dst);

    EXPECT_EQ(1, RunCollect(MODE_MOVE));

    const std::string t1 = Dst("Band\\Disc\\1.mp3");
    EXPECT_FALSE(Exists(Src("1.mp3")));
    EXPECT_EQ(one, ReadFile(t1));
    EXPECT_EQ(Src("1.mp3"), Entry(0)->Path());
    EXPECT_EQ(Src("1.mp3"), Row(0)[1]);
    EXPECT_EQ(t1, Entry(0)->TargetPath());
    const std::vector<std::string> expected = {
        Transfer("이동 중입니다.", Src("1.mp3"), t1),
        Transfer("이동 하였습니다.", Src("1.mp3"), t1),
        Summary(1, 1, 0, 0),
    };
    EXPECT_EQ(expected, Tail(m_dlg.m_status.Texts(), expected.size()));
}

// What becomes of one row, by its tag and what lies in the destination.
// Nothing may appear anywhere but at the row's own target.
TEST_F(Organise, RowOutcomesTable)
{
    struct Case
    {
        const char* label;
        TagFields tag;
        std::string blocker;  // a file put in the destination first
        std::string target;   // relative to the destination; empty: none
    } cases[] = {
        {"no title is fine", Tagged("Band", "Disc"), "", "Band\\Disc\\s.mp3"},
        {"no artist", Tagged("", "Disc"), "", ""},
        {"no album", Tagged("Band", ""), "", ""},
        {"artist of blanks alone", Tagged("   ", "Disc"), "", ""},
        {"album of blanks alone", Tagged("Band", "  "), "", ""},
        {"slash makes a level", Tagged("AC/DC", "Live"), "", "AC\\DC\\Live\\s.mp3"},
        {"backslash makes a level", Tagged("A\\B", "Live"), "", "A\\B\\Live\\s.mp3"},
        {"a slash alone names nothing", Tagged("/", "Live"), "", ""},
        {"dots lead out of the destination", Tagged("..", "Disc"), "", ""},
        {"a dot level", Tagged("Band/.", "Disc"), "", ""},
        {"refused character in artist", Tagged("A*B", "Disc"), "", "A_B\\Disc\\s.mp3"},
        {"refused character in album", Tagged("Band", "Why?"), "", "Band\\Why_\\s.mp3"},
        {"device name", Tagged("Con", "Aux.mp3"), "", "Con_\\Aux_.mp3\\s.mp3"},
        {"question marks alone", Tagged("Band", "??"), "", ""},
        {"a file in the way", Tagged("Band", "Disc"), "Band", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir root;
        const std::string src = root / "src", dst = root / "d\\dst";
        const Bytes song = MakeMp3(c.tag, 200, 0x7E);
        WriteFile(src + "\\s.mp3", song);
        ::CreateDirectoryA((root / "d").c_str(), nullptr);
        ::CreateDirectoryA(dst.c_str(), nullptr);
        if (!c.blocker.empty())
            WriteFile(dst + "\\" + c.blocker, "in the way");
        ClearList();
        m_ui.Folder(src).Yes().Folder(dst);

        EXPECT_EQ(1, RunCollect(MODE_COPY));

        const bool ok = !c.target.empty();
        EXPECT_EQ(ok ? 1 : 0, m_job.Succeeded());
        EXPECT_EQ(ok ? 0 : 1, m_job.Failed());
        std::vector<std::string> files = {"d\\dst\\" + (ok ? c.target : c.blocker), "src\\s.mp3"};
        if (!ok && c.blocker.empty())
            files.erase(files.begin());
        EXPECT_EQ(files, FilesUnder(root.Path()));
        if (ok) {
            EXPECT_EQ(song, ReadFile(dst + "\\" + c.target));
        }
    }
}

// Equal size only points at a possible duplicate; the bytes decide. A copy
// never replaces a file.
TEST_F(Organise, DuplicatesTable)
{
    struct File
    {
        std::string rel;
        unsigned char fill;
        size_t audio;
    };
    struct Case
    {
        const char* label;
        std::vector<File> files;
        bool noTag;            // 0-byte files: tags are given through the entries, as an edit does
        std::string existing;  // bytes already at the target Band\Disc\s.mp3
        int ok, dup, failed;
        std::vector<std::string> targets;
    } cases[] = {
        {"same song in two folders", {{"a\\s.mp3", 1, 300}, {"b\\s.mp3", 1, 300}}, false, "", 1, 1, 0, {"s.mp3"}},
        {"same song under two names", {{"a\\s.mp3", 1, 300}, {"b\\t.mp3", 1, 300}}, false, "", 1, 1, 0, {"s.mp3"}},
        {"equal size, other songs", {{"a\\s.mp3", 1, 300}, {"b\\t.mp3", 2, 300}}, false, "", 2, 0, 0, {"s.mp3", "t.mp3"}},
        {"equal size, other song, same name", {{"a\\s.mp3", 1, 300}, {"b\\s.mp3", 2, 300}}, false, "", 1, 0, 1, {"s.mp3"}},
        {"own target exists", {{"a\\s.mp3", 1, 300}}, false, "older", 0, 0, 1, {"s.mp3"}},
        {"0 bytes are never duplicates", {{"a\\s.mp3", 0, 0}, {"b\\t.mp3", 0, 0}}, true, "", 2, 0, 0, {"s.mp3", "t.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir root;
        const std::string src = root / "src", dst = root / "dst";
        std::vector<Bytes> contents;
        for (const File& f : c.files) {
            contents.push_back(c.noTag ? Bytes() : MakeMp3(Tagged("Band", "Disc"), f.audio, f.fill));
            WriteFile(src + "\\" + f.rel, contents.back());
        }
        ::CreateDirectoryA(dst.c_str(), nullptr);
        if (!c.existing.empty())
            WriteFile(dst + "\\Band\\Disc\\s.mp3", c.existing);
        ClearList();
        m_ui.Folder(src).No();
        ASSERT_EQ(1, RunCollect(MODE_COPY));
        for (int r = 0; c.noTag && r < Rows(); ++r) {
            Entry(r)->SetArtist("Band");
            Entry(r)->SetAlbum("Disc");
        }
        m_ui.Yes().Folder(dst);

        EXPECT_EQ(1, RunOrganise(MODE_COPY));

        EXPECT_EQ(c.ok, m_job.Succeeded());
        EXPECT_EQ(c.dup, m_job.Duplicates());
        EXPECT_EQ(c.failed, m_job.Failed());
        std::vector<std::string> expected;
        for (const std::string& t : c.targets)
            expected.push_back("Band\\Disc\\" + t);
        EXPECT_EQ(expected, FilesUnder(dst));
        // The first file of a name is the one in place (or what was there).
        const Bytes first = c.existing.empty() ? contents[0] : Bytes(c.existing.begin(), c.existing.end());
        EXPECT_EQ(first, ReadFile(dst + "\\Band\\Disc\\s.mp3"));
        EXPECT_EQ(c.files.size(), FilesUnder(src).size());
    }
}

// A row's target from an earlier pass is looked at by the rows before it;
// when the pass reaches the row its target moves (its album was edited), and
// what stands at the new place is what counts for the rows after it.
TEST_F(Organise, DuplicateOfWhatStandsAtARowsNewTarget)
{
    const Bytes p = MakeMp3(Tagged("Band", "Disc", "p"), 300, 2);
    const Bytes o = MakeMp3(Tagged("Band", "Disc", "o"), 300, 1);
    const Bytes q = MakeMp3(Tagged("Band", "Disc", "q"), 300, 3);
    WriteFile(Src("1\\p.mp3"), p);
    WriteFile(Src("2\\o.mp3"), o);
    WriteFile(Src("3\\q.mp3"), q);
    m_ui.Folder(m_src).No();
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    ASSERT_EQ(3, Rows());
    ASSERT_EQ(Src("2\\o.mp3"), Entry(1)->Path());
    // o stands at its old target from an earlier pass; its new one holds q's bytes.
    WriteFile(Dst("Band\\Disc\\o.mp3"), o);
    Entry(1)->SetTarget(
        std::make_shared<const CTargetFolder>(CTargetFolder{Dst("Band\\Disc"), LongPath(Dst("Band\\Disc"))}));
    ASSERT_EQ(LongPath(Dst("Band\\Disc\\o.mp3")), Entry(1)->WideTargetPath());
    Entry(1)->SetAlbum("Other");
    WriteFile(Dst("Band\\Other\\o.mp3"), q);
    m_ui.Yes().Folder(m_dst);

    EXPECT_EQ(1, RunOrganise(MODE_COPY));

    EXPECT_EQ(1, m_job.Succeeded()) << "p";
    EXPECT_EQ(1, m_job.Failed()) << "o: its new target is taken";
    EXPECT_EQ(1, m_job.Duplicates()) << "q: the same bytes stand at o's new target";
    EXPECT_FALSE(Exists(Dst("Band\\Disc\\q.mp3")));
}

// A second pass over the same rows: what is in place is never overwritten;
// a row whose twin is in place is a duplicate.
TEST_F(Organise, SecondPassNeverOverwrites)
{
    const Bytes song = MakeMp3(Tagged("Band", "Disc"), 300, 1);
    WriteFile(Src("a\\s.mp3"), song);
    WriteFile(Src("b\\t.mp3"), song);
    m_ui.Folder(m_src).Yes().Folder(m_dst).Yes().Folder(m_dst);

    EXPECT_EQ(1, RunCollect(MODE_COPY));
    EXPECT_EQ(Summary(2, 1, 1, 0), Status());
    EXPECT_EQ(1, RunOrganise(MODE_COPY));

    EXPECT_EQ(Summary(2, 0, 1, 1), Status());
    EXPECT_EQ(std::vector<std::string>({"Band\\Disc\\s.mp3"}), FilesUnder(m_dst));
}

// A target path that does not fit its 512-byte field is refused whole; one
// that fits but is beyond the platform's folder limits fails at its folders.
TEST_F(Organise, TargetPathLengthTable)
{
    const std::string tail = "\\Band\\Disc\\s.mp3";
    struct Case
    {
        const char* label;
        size_t length;
        bool stored;
    } cases[] = {
        {"511 bytes are kept", 511, true},
        {"512 bytes are refused", 512, false},
    };
    WriteFile(Src("s.mp3"), MakeMp3(Tagged("Band", "Disc")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string dest = m_tmp / std::string(c.length - tail.size() - m_tmp.Path().size() - 1, 'd');
        ClearList();
        m_ui.Folder(m_src).Yes().Folder(dest);

        EXPECT_EQ(1, RunCollect(MODE_COPY));

        EXPECT_EQ(1, m_job.Failed());
        EXPECT_EQ(c.stored ? dest + tail : "", Entry(0)->TargetPath());
        EXPECT_EQ(std::vector<std::string>({"src\\s.mp3"}), FilesUnder(m_tmp.Path()));
    }
}

// A destination item without a file-system path, chosen twice: nothing is
// put anywhere, least of all at the root of the current drive.
TEST_F(Organise, DestinationWithoutPathFailsTheRows)
{
    WriteFile(Src("s.mp3"), MakeMp3(Tagged("Band", "Disc")));
    m_ui.Folder(m_src).Yes().Folder("").Folder("");

    EXPECT_EQ(1, RunCollect(MODE_COPY));

    EXPECT_EQ(4u, m_ui.Asked().size());
    EXPECT_EQ(kDestTitle, m_ui.Asked()[3].text);
    EXPECT_EQ(Summary(1, 0, 0, 1), Status());
    EXPECT_FALSE(Entry(0)->HasTarget());
    EXPECT_EQ("", Entry(0)->TargetPath());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA("\\Band"));
    EXPECT_EQ(std::vector<std::string>({"src\\s.mp3"}), FilesUnder(m_tmp.Path()));
    EXPECT_EQ("mp3 가 존재하는 경로 : " + m_src + "\r\n이동 및 복사를 할 경로 : ", PathLine());
}

TEST_F(Organise, ProgressTable)
{
    struct Case
    {
        int done, count, pos;
        const char* label;
    } cases[] = {
        {1, 3, 166, "33 %"}, {2, 3, 333, "66 %"}, {3, 3, 500, "100 %"},
        // In double precision 3/10 x 500 is 149.999..., in single 150.
        {3, 10, 150, "30 %"}, {1, 7, 71, "14 %"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_job.SetProgress(c.done, c.count);
        EXPECT_EQ(c.pos, ProgressPos());
        EXPECT_EQ(c.label, ProgressLabel());
    }

    // The label is written only when its number changes.
    m_dlg.m_progressText.ClearTexts();
    for (int done : {1, 2, 9, 10, 11})
        m_job.SetProgress(done, 1000);
    EXPECT_EQ(std::vector<std::string>({"0 %", "1 %"}), m_dlg.m_progressText.Texts());
    EXPECT_EQ(5, ProgressPos());
}

TEST_F(Organise, EmptyListReportsTotalAndZeros)
{
    // Found but never listed: files nobody may open while the scan reads them.
    std::vector<CHandle> held;
    for (const char* name : {"a.mp3", "b.mp3"}) {
        WriteFile(Src(name), MakeMp3(Tagged("Band", "Disc")));
        held.emplace_back(::CreateFileA(Src(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.back().IsValid());
    }
    m_ui.Folder(m_src).Yes().Folder(m_dst);

    EXPECT_EQ(1, RunCollect(MODE_COPY));

    ASSERT_EQ(0, Rows());
    EXPECT_EQ(Summary(2, 0, 0, 0), Status());
    EXPECT_TRUE(m_dlg.m_progressText.Texts().empty());
    EXPECT_EQ(0, ProgressPos());
}

TEST_F(Organise, DeclinedOrCancelledPassChangesNothing)
{
    WriteFile(Src("s.mp3"), MakeMp3(Tagged("Band", "Disc")));
    m_ui.Folder(m_src).Yes().Folder(m_dst);
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    ASSERT_EQ(1, m_job.Succeeded());
    const std::vector<std::string> placed = FilesUnder(m_dst);
    const size_t texts = m_dlg.m_status.Texts().size();

    struct Case
    {
        const char* label;
        bool yes;
        int result;
    } cases[] = {{"declined", false, 1}, {"destination cancelled", true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.yes)
            m_ui.Yes().CancelFolder();
        else
            m_ui.No();
        EXPECT_EQ(c.result, RunOrganise(MODE_COPY));
        EXPECT_EQ(m_dst, m_job.DestText());
        EXPECT_EQ(1, m_job.Succeeded());
        EXPECT_EQ(texts, m_dlg.m_status.Texts().size());
    }
    EXPECT_EQ(placed, FilesUnder(m_dst));
}

TEST(CreateFolderPath, Table)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    struct Case
    {
        const char* label;
        std::string path;
        int result;
        std::string folder;  // must exist as a folder afterwards
    } cases[] = {
        {"existing", dir.Path(), 1, dir.Path()},
        {"nested new", dir / "a\\b\\c", 1, dir / "a\\b\\c"},
        {"trailing backslash", dir / "d\\e\\", 1, dir / "d\\e"},
        {"forward slashes", dir / "f/g", 1, dir / "f\\g"},
        {"Korean names", dir / "가수\\앨범", 1, dir / "가수\\앨범"},
        {"empty", "", 0, ""},
        {"deeper than MAX_PATH", dir / (std::string(200, 'l') + "\\" + std::string(200, 'm')), 1,
         dir / (std::string(200, 'l') + "\\" + std::string(200, 'm'))},
        {"file in the way", dir / "file\\sub", 0, ""},
        {"file as the last level", dir / "file", 0, ""},
        {"refused character", dir / "a*b", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.result, CreateFolderPath(LongPath(c.path)));
        if (!c.folder.empty()) {
            EXPECT_TRUE(IsFolderAttributes(::GetFileAttributesW(LongPath(c.folder).c_str())));
        }
    }
    EXPECT_EQ(Bytes({'x'}), ReadFile(dir / "file"));
}

// Edits committed while a pass runs: the pass sees each row's texts either
// before or after an edit, never half of each, so every folder it makes is
// one somebody typed.
TEST_F(Organise, EditsRacingThePassNeverMakeAFolderNobodyTyped)
{
    const int kRows = 300;
    for (int i = 0; i < kRows; ++i)
        WriteFile(Src(std::to_string(i) + ".mp3"), MakeMp3(Tagged("Band", "Disc"), 300, static_cast<unsigned char>(i)));
    m_ui.Folder(m_src).No();
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    ASSERT_EQ(kRows, Rows());

    const std::string a(100, 'a'), b(100, 'b');
    std::atomic<bool> done{false};
    std::thread editor([&] {
        MP3FileEntry edit = {};
        for (int round = 0; !done; ++round) {
            const std::string& text = round % 2 ? a : b;
            edit.SetArtist(text.c_str());
            edit.SetAlbum(text.c_str());
            for (int row = 0; row < kRows && !done; ++row)
                m_job.CommitEdit(*Entry(row), edit);
        }
    });
    m_ui.Yes().Folder(m_dst);
    const int result = RunOrganise(MODE_COPY);
    done = true;
    editor.join();

    EXPECT_EQ(1, result);
    EXPECT_EQ(kRows, m_job.Succeeded() + m_job.Failed() + m_job.Duplicates());
    for (const std::string& file : FilesUnder(m_dst)) {
        const std::string folder = file.substr(0, file.rfind('\\'));
        EXPECT_TRUE(folder == a + "\\" + a || folder == b + "\\" + b || folder == "Band\\Disc") << folder;
    }
}

// Many rows of equal sizes, twins and names taken by other songs, in an order
// no one chose: each outcome is the one a pass taking the rows one by one
// makes, whichever file work runs alongside which.
TEST_F(Organise, CrowdedPassEndsAsOneByOne)
{
    struct Song
    {
        std::string target;   // under the destination
        Bytes bytes;
    };
    for (int nMode : {MODE_COPY, MODE_MOVE}) {
        SCOPED_TRACE(nMode == MODE_COPY ? "copy" : "move");
        ClearList();
        TempDir root;
        const std::string src = root / "src", dst = root / "dst";
        ::CreateDirectoryA(dst.c_str(), nullptr);
        std::mt19937 pick(7);
        std::map<std::string, Song> songs;   // by source path
        for (int i = 0; i < 160; ++i) {
            const std::string artist = pick() % 2 ? "A" : "B";
            const std::string name = "s" + std::to_string(pick() % 6) + ".mp3";
            Song song{artist + "\\X\\" + name, MakeMp3(Tagged(artist, "X"), 300 + pick() % 2, 1 + pick() % 3)};
            // The file's own name is part of its target: folders keep names apart.
            const std::string file = src + "\\d" + std::to_string(i % 12) + "-" + std::to_string(i) + "\\" + name;
            WriteFile(file, song.bytes);
            songs[file] = song;
        }
        m_ui.Folder(src).No();
        ASSERT_EQ(1, RunCollect(MODE_COPY));
        ASSERT_EQ(160, Rows());

        // One by one, in row order: a song whose bytes stand somewhere already
        // is a duplicate; a target taken by another song fails.
        std::map<std::string, Bytes> placed;
        int ok = 0, dup = 0, failed = 0;
        for (int r = 0; r < Rows(); ++r) {
            const Song& song = songs.at(Entry(r)->Path());
            bool bTwin = false;
            for (const auto& p : placed)
                bTwin = bTwin || p.second == song.bytes;
            if (bTwin)
                ++dup;
            else if (placed.count(song.target))
                ++failed;
            else
                placed[song.target] = song.bytes, ++ok;
        }
        ASSERT_GT(dup, 0);
        ASSERT_GT(failed, 0);

        m_ui.Yes().Folder(dst);
        ASSERT_EQ(1, RunOrganise(nMode));
        EXPECT_EQ(ok, m_job.Succeeded());
        EXPECT_EQ(dup, m_job.Duplicates());
        EXPECT_EQ(failed, m_job.Failed());
        std::vector<std::string> expected;
        for (const auto& p : placed) {
            expected.push_back(p.first);
            EXPECT_EQ(p.second, ReadFile(dst + "\\" + p.first)) << p.first;
        }
        EXPECT_EQ(expected, FilesUnder(dst));
        if (nMode == MODE_MOVE) {
            EXPECT_EQ(size_t(160 - ok), FilesUnder(src).size());
        }
    }
}
