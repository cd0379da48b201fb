#include "tests/collect/JobHarness.h"

#include "afx/WidePath.h"
#include "res/Texts.h"

using namespace collect_test;
using namespace testing_support;

namespace {

const char* const kSourceTitle = TEXT_SOURCE_TITLE;
const char* const kConfirm = TEXT_CONFIRM_ORGANISE;

std::string ClosingReport(const std::string& chosen, int total)
{
    return "파일 조회 완료 : [" + chosen + "]\r\n파일 총 갯수 : " + std::to_string(total) +
           " 개\r\n가수와 제목 태그가 없을 경우 작업 진행이 안됩니다.\r\n필히 설정해주시길 바랍니다.";
}

} // namespace

using Scan = JobTest;

// Depth first, in the platform's order (Wine's is sorted by name); only an
// extension of exactly ".mp3" counts; hidden and system files are included; a
// folder named like an MP3 file is walked.
TEST_F(Scan, WalksDepthFirstAndTakesExactlyDotMp3)
{
    const Bytes song = MakeMp3(Tagged("Band", "Disc"));
    for (const char* rel : {".mp3", "a.mp3", "b.MP3", "c.mp3.bak", "h.mp3", "m\\d.mp3", "m\\n\\e.mp3", "m\\z.txt",
                            "x.mp3\\f.mp3", "z.mp3", "가수\\노래.mp3"})
        WriteFile(Src(rel), song);
    ::SetFileAttributesA(Src("h.mp3").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    m_ui.Folder(m_src).No();

    EXPECT_EQ(1, RunCollect(MODE_COPY));

    const char* expected[] = {".mp3", "a.mp3", "h.mp3", "m\\d.mp3", "m\\n\\e.mp3", "x.mp3\\f.mp3", "z.mp3", "가수\\노래.mp3"};
    ASSERT_EQ(8, Rows());
    for (int r = 0; r < 8; ++r) {
        SCOPED_TRACE(expected[r]);
        const std::vector<std::string> row = Row(r);
        EXPECT_EQ(std::to_string(r + 1), row[0]);
        EXPECT_EQ(Src(expected[r]), row[1]);
        EXPECT_EQ(r, Entry(r)->nIndex);
    }
    EXPECT_EQ(".mp3", Entry(0)->FileName());
    EXPECT_EQ("노래.mp3", Entry(7)->FileName());
    EXPECT_EQ(8, m_job.Total());
    EXPECT_EQ(ClosingReport(m_src, 8), Status());
}

// Every status text of a scan of one chosen file, the path line, and the
// screen as the user sees it when the organise question comes.
TEST_F(Scan, SingleChosenFileStatusTextsAndQuestion)
{
    const std::string file = Src("곡 하나.mp3");
    WriteFile(file, MakeMp3(Tagged("Band", "Disc")));
    m_ui.Folder(file).No();

    EXPECT_EQ(1, RunCollect(MODE_MOVE));

    const std::vector<std::string> expected = {
        "경로 : [" + file + "] 를 선택하였습니다.",
        "디렉토리 : [" + file + "]",
        "파일 분석 중 : [" + file + "]",
        "파일 식별 값 선정 중 : [" + file + "]",
        "파일 넣기 완료 : [" + file + "]",
        ClosingReport(file, 1),
    };
    EXPECT_EQ(expected, m_dlg.m_status.Texts());
    EXPECT_EQ(ClosingReport(file, 1), m_job.StatusText());
    EXPECT_EQ("mp3 가 존재하는 경로 : " + file + "\r\n이동 및 복사를 할 경로 : ", PathLine());
    EXPECT_EQ(file, m_job.SourceText());
    EXPECT_EQ(1, Rows());

    const std::vector<Question> asked = m_ui.Asked();
    ASSERT_EQ(2u, asked.size());
    EXPECT_EQ(Question::FOLDER, asked[0].kind);
    EXPECT_EQ(kSourceTitle, asked[0].text);
    EXPECT_EQ(Question::YESNO, asked[1].kind);
    EXPECT_EQ(kConfirm, asked[1].text);
    EXPECT_EQ(ClosingReport(file, 1), asked[1].statusOnScreen);
    EXPECT_EQ(1, asked[1].rowsOnScreen);
}

TEST_F(Scan, EntryTextsTable)
{
    struct Case
    {
        const char* label;
        Bytes bytes;
        // artist, album, track, title, genre, year, comment
        std::vector<std::string> texts;
        int genre;
    };
    TagFields full = Tagged("Band", "Disc", "Song");
    full.year = "1999";
    full.comment = "hi";
    full.track = 7;
    full.genre = 17;
    TagFields blanks = Tagged("  Band \t", " Disc", "Song  ");
    blanks.comment = "\r\nnote\r\n";
    TagFields unnamedGenre = Tagged("Band", "Disc");
    unnamedGenre.genre = 200;
    const std::vector<std::string> placeholders = {"no artist", "no album", "0", "no title", "no genre", "no year", "no comment"};
    const Case cases[] = {
        {"no tag", Bytes(300, 0x55), placeholders, 255},
        {"tag with empty fields", MakeMp3(TagFields()), placeholders, 255},
        {"every field", MakeMp3(full), {"Band", "Disc", "7", "Song", "Rock", "1999", "hi"}, 17},
        {"blanks around are trimmed", MakeMp3(blanks), {"Band", "Disc", "0", "Song", "no genre", "no year", "note"}, 255},
        {"blanks alone become empty", MakeMp3(Tagged("   ", "\t", " ")), {"", "", "0", "", "no genre", "no year", "no comment"}, 255},
        {"genre number without a name", MakeMp3(unnamedGenre), {"Band", "Disc", "0", "no title", "no genre", "no year", "no comment"}, 200},
        {"Korean texts", MakeMp3(Tagged("가수", "앨범", "노래")), {"가수", "앨범", "0", "노래", "no genre", "no year", "no comment"}, 255},
    };
    const int n = int(sizeof cases / sizeof cases[0]);
    for (int i = 0; i < n; ++i)
        WriteFile(Src(std::string(1, char('a' + i)) + ".mp3"), cases[i].bytes);
    m_ui.Folder(m_src).No();
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    ASSERT_EQ(n, Rows());

    for (int i = 0; i < n; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.label);
        const MP3FileEntry* e = Entry(i);
        ASSERT_NE(nullptr, e);
        const std::vector<std::string> fields = {e->Artist(), e->Album(), e->Track(), e->Title(), e->Genre(), e->Year(), e->Comment()};
        EXPECT_EQ(c.texts, fields);
        EXPECT_EQ(c.genre, e->nGenre);
        EXPECT_EQ(c.bytes.size(), e->nFileSize);
        EXPECT_FALSE(e->HasTarget());
        // The row shows the entry: number, path, then the texts in their order.
        std::vector<std::string> row = {std::to_string(i + 1), e->Path()};
        row.insert(row.end(), {e->Artist(), e->Album(), e->Track(), e->Title(), e->Genre(), e->Year(), e->Comment()});
        EXPECT_EQ(row, Row(i));
    }
}

// A second scan into a list that was not cleared appends: numbers and
// indexes go on, and the total adds up.
TEST_F(Scan, SecondScanNumbersOnAndAddsToTotal)
{
    WriteFile(Src("a.mp3"), MakeMp3(Tagged("Band", "Disc")));
    WriteFile(Src("b.mp3"), MakeMp3(Tagged("Band", "Disc")));
    m_ui.Folder(m_src).No().Folder(m_src).No();

    EXPECT_EQ(1, RunCollect(MODE_COPY));
    EXPECT_EQ(1, RunCollect(MODE_COPY));

    ASSERT_EQ(4, Rows());
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(std::to_string(r + 1), Row(r)[0]);
        EXPECT_EQ(r, Entry(r)->nIndex);
    }
    EXPECT_EQ(Row(0)[1], Row(2)[1]);
    EXPECT_EQ(4, m_job.Total());
    EXPECT_EQ(ClosingReport(m_src, 4), Status());
}

TEST_F(Scan, CancelledSourceChangesNothing)
{
    WriteFile(Src("s.mp3"), MakeMp3(Tagged("Band", "Disc")));
    m_ui.Folder(m_src).No();
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    m_dlg.m_status.ClearTexts();
    m_dlg.m_paths.ClearTexts();
    const size_t asked = m_ui.Asked().size();
    m_ui.CancelFolder();

    EXPECT_EQ(0, RunCollect(MODE_COPY));

    EXPECT_EQ(m_src, m_job.SourceText());
    EXPECT_EQ(1, m_job.Total());
    EXPECT_TRUE(m_dlg.m_status.Texts().empty());
    EXPECT_TRUE(m_dlg.m_paths.Texts().empty());
    EXPECT_EQ(asked + 1, m_ui.Asked().size());
}

// Files found but not listed count in the total and as failed; nothing is
// cut to fit an entry.
TEST_F(Scan, UnlistableFilesAreCountedNotListed)
{
    WriteFile(Src("a.mp3"), MakeMp3(Tagged("Band", "Disc")));
    WriteFile(Src("locked.mp3"), MakeMp3(Tagged("Band", "Disc")));
    HANDLE lock = ::CreateFileA(Src("locked.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    m_ui.Folder(m_src).No();

    EXPECT_EQ(1, RunCollect(MODE_COPY));
    ::CloseHandle(lock);

    EXPECT_EQ(1, Rows());
    EXPECT_EQ(2, m_job.Total());
    EXPECT_EQ(1, m_job.Failed());
    EXPECT_EQ(ClosingReport(m_src, 2), Status());

    // What the tag readers are given that is no song gives no entry.
    struct Case
    {
        const char* label;
        std::string path;
    } cases[] = {
        {"vanished", Src("gone.mp3")},
        {"a folder", m_src},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(nullptr, ReadFileEntry(LongPath(c.path), 0));
    }
}

// A folder link back into the tree, and a second link to a folder already
// walked, lead nowhere new.
TEST_F(Scan, FolderReachedTwiceThroughLinksIsWalkedOnce)
{
    WriteFile(Src("a.mp3"), MakeMp3(Tagged("Band", "Disc")));
    WriteFile(Src("other\\c.mp3"), MakeMp3(Tagged("Band", "Disc")));
    WriteFile(Src("sub\\b.mp3"), MakeMp3(Tagged("Band", "Disc")));
    ASSERT_TRUE(MakeFolderLink(Src("sub\\back"), m_src));
    ASSERT_TRUE(MakeFolderLink(Src("sub\\again"), Src("other")));
    m_ui.Folder(m_src).No();

    EXPECT_EQ(1, RunCollect(MODE_COPY));

    ASSERT_EQ(3, Rows());
    EXPECT_EQ(Src("a.mp3"), Row(0)[1]);
    EXPECT_EQ(Src("other\\c.mp3"), Row(1)[1]);
    EXPECT_EQ(Src("sub\\b.mp3"), Row(2)[1]);
    EXPECT_EQ(3, m_job.Total());
}
