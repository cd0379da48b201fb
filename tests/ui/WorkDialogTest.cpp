#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "afx/Handle.h"
#include "res/resource.h"
#include "tests/support/TestFiles.h"
#include "tests/ui/UiTestSupport.h"
#include "res/Texts.h"

using namespace testing_support;
using namespace ui_test;

namespace {

const char* const kDone = TEXT_JOB_DONE;
const char* const kCancelled = TEXT_JOB_CANCELLED;

// Two tagged songs of different sizes in a small tree.
void MakeSongs(const TempDir& src)
{
    WriteFile(src / "a.mp3", MakeMp3({"Song A", "Artist", "Album", "2001", "", 1, 17}, 300));
    WriteFile(src / "sub\\b.mp3", MakeMp3({"Song B", "Artist", "Album", "2002", "", 2, 17}, 500));
    WriteFile(src / "notes.txt", "not a song");
}

// A thread handle the test keeps after the worker object is gone.
CHandle ThreadOf(const CWorkDialog& dlg)
{
    HANDLE h = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), dlg.m_runner.ThreadHandle(), ::GetCurrentProcess(), &h,
                      SYNCHRONIZE, FALSE, 0);
    return CHandle(h);
}

bool Ended(HANDLE h) { return ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

} // namespace

TEST_F(WorkDialogTest, OpensWithItsTextsColumnsAndRangeAndOnlyAddAndExitUsable)
{
    EXPECT_EQ("MP3 Sorvane", m_dlg->GetWindowText());
    EXPECT_EQ(TEXT_OPENING, Text(IDC_STATIC_STATUS));
    EXPECT_EQ(PromptPaths(), Text(IDC_STATIC_PATHS));
    EXPECT_EQ("진행률", Text(IDC_STATIC_PROGRESS));
    // move, copy, stop, open-folder, add-to-list, exit
    EXPECT_EQ("000011", Buttons());
    EXPECT_FALSE(m_dlg->m_runner.HasJob());
    EXPECT_EQ(MODE_COPY, m_dlg->m_nTransferMode);

    HWND list = m_dlg->GetDlgItem(IDC_FILE_LIST);
    const struct { const char* caption; int width; } columns[] = {
        {"번호", 40}, {"파일경로", 280}, {"가수", 80}, {"앨범", 100}, {"트랙", 50},
        {"제목", 100}, {"장르", 80}, {"연도", 80}, {"Comment", 210},
    };
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(columns[i].caption);
        char caption[64] = "";
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.pszText = caption;
        col.cchTextMax = sizeof caption;
        ASSERT_TRUE(::SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col)));
        EXPECT_STREQ(columns[i].caption, caption);
        EXPECT_EQ(columns[i].width, col.cx);
        EXPECT_EQ(LVCFMT_LEFT, col.fmt & LVCFMT_JUSTIFYMASK);
        EXPECT_EQ(i, col.iSubItem);
    }
    LVCOLUMNA extra = {};
    extra.mask = LVCF_WIDTH;
    EXPECT_FALSE(::SendMessageA(list, LVM_GETCOLUMNA, 9, reinterpret_cast<LPARAM>(&extra)));

    const DWORD ext = DWORD(::SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(0x421u, ext & 0x421u);
    const LONG style = ::GetWindowLongA(list, GWL_STYLE);
    EXPECT_TRUE(style & LVS_OWNERDATA);
    EXPECT_FALSE(style & LVS_SHOWSELALWAYS);

    PBRANGE range = {};
    ::SendMessageA(m_dlg->GetDlgItem(IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(500, range.iHigh);
}

// However a job ends, the worker reports it (or not) and sets the buttons as
// the phase table says, with the screen brought up to date first.
TEST_F(WorkDialogTest, EachWayAJobEndsGivesItsReportAndButtons)
{
    TempDir src;
    MakeSongs(src);
    const std::string summary = std::string(TEXT_OPENING) +
        "\r\n작업완료\r\n총 파일 수 : 2 개, 성공 : 2 개, 중복파일 : 0개, 실패 : 0 개";

    struct Case
    {
        const char* label;
        bool prescan;              // the list already has the two rows
        int button;
        std::vector<int> answers;
        int folders;               // how many folder answers after the source: 0 cancel, 1 destination
        bool cancelSource;
        const char* message;       // nullptr: none
        const char* buttons;
        bool transferred;
    };
    const Case cases[] = {
        {"scan, source cancelled", false, IDC_BTN_ADD_LIST, {}, 0, true, nullptr, "000011", false},
        {"scan, pass declined", false, IDC_BTN_ADD_LIST, {IDNO}, 0, false, kDone, "110011", false},
        {"scan, destination cancelled", false, IDC_BTN_ADD_LIST, {IDYES}, 0, false, kDone, "110011", false},
        {"scan and copy pass", false, IDC_BTN_ADD_LIST, {IDYES}, 1, false, kDone, "110111", true},
        {"copy on an empty list scans first", false, IDC_BTN_COPY_START, {IDYES}, 1, false, kDone, "110111", true},
        {"organise job, destination cancelled", true, IDC_BTN_COPY_START, {IDYES}, 0, false, kCancelled, "110011", false},
        {"organise job, pass declined", true, IDC_BTN_MOVE_START, {IDNO}, 0, false, kDone, "110011", false},
        {"organise job, copy pass", true, IDC_BTN_COPY_START, {IDYES}, 1, false, kDone, "110111", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        TempDir dst;
        if (c.prescan)
            ScanDeclined(src.Path());

        const bool scans = !c.prescan;
        if (scans)
            m_ui.Folder(c.cancelSource ? ScriptedUser::Cancel() : ScriptedUser::Pick(src.Path()));
        if (!c.cancelSource) {
            for (int a : c.answers)
                m_ui.Answer(a);
            if (c.answers[0] == IDYES)
                m_ui.Folder(c.folders ? ScriptedUser::Pick(dst.Path()) : ScriptedUser::Cancel());
        }
        // What the window shows at the moment the report appears.
        std::string statusAtReport;
        int rowsShownAtReport = -1;
        HWND status = m_dlg->GetDlgItem(IDC_STATIC_STATUS);
        HWND list = m_dlg->GetDlgItem(IDC_FILE_LIST);
        m_ui.OnTell([&](const std::string&) {
            char buf[2048] = "";
            ::GetWindowTextA(status, buf, sizeof buf);
            statusAtReport = buf;
            rowsShownAtReport = int(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        });

        Click(c.button);
        ASSERT_TRUE(WaitJobEnd());
        Flush();

        if (c.message) {
            EXPECT_EQ(std::vector<std::string>{c.message}, m_ui.Messages());
            EXPECT_EQ(Text(IDC_STATIC_STATUS), statusAtReport);
            EXPECT_EQ(Rows(), rowsShownAtReport);
        } else {
            EXPECT_TRUE(m_ui.Messages().empty());
        }
        EXPECT_EQ(c.buttons, Buttons());
        EXPECT_TRUE(m_dlg->m_runner.HasJob()) << "the finished worker stays in the slot";
        EXPECT_EQ(c.cancelSource ? 0 : 2, Rows());
        EXPECT_EQ(c.transferred, Exists(dst / "Artist\\Album\\a.mp3"));
        EXPECT_EQ(c.transferred, Exists(dst / "Artist\\Album\\b.mp3"));
        if (c.transferred) {
            EXPECT_EQ(summary, Text(IDC_STATIC_STATUS));
        }
    }
}

TEST_F(WorkDialogTest, MoveOnAnEmptyListScansAndMovesWithTheButtonsMode)
{
    TempDir src, dst;
    MakeSongs(src);
    m_ui.Folder(src.Path());
    m_ui.Yes();
    m_ui.Folder(dst.Path());

    Click(IDC_BTN_MOVE_START);
    ASSERT_TRUE(WaitJobEnd());

    EXPECT_EQ(MODE_MOVE, m_dlg->m_nTransferMode);
    EXPECT_TRUE(Exists(dst / "Artist\\Album\\a.mp3"));
    EXPECT_FALSE(Exists(src / "a.mp3"));
    EXPECT_EQ((std::vector<std::string>{"folder:mp3 파일이나 폴더 가 있는 곳을 선택하여 주세요",
                                        "ask:원본 파일을 복사 또는 이동 시키겠습니까?",
                                        "folder:복사 또는 이동시킬 폴더를 선택하여 주세요", "tell:작업완료"}),
              m_ui.Log());
}

TEST_F(WorkDialogTest, AnsweringYesToAddToListAppendsRows)
{
    TempDir src;
    MakeSongs(src);
    Click(IDC_BTN_ADD_LIST);   // an empty list: no question, straight to the chooser
    m_ui.Folder(src.Path());
    m_ui.No();
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_EQ(0, m_ui.Count("ask:목록에 추가하시겠습니까?"));
    m_ui.Reset();

    m_ui.Yes();
    m_ui.Folder(src.Path());
    m_ui.No();
    Click(IDC_BTN_ADD_LIST);
    ASSERT_TRUE(WaitJobEnd());

    EXPECT_EQ(1, m_ui.Count("ask:목록에 추가하시겠습니까?"));
    ASSERT_EQ(4, Rows());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(i, Row(i)->nIndex);
    EXPECT_EQ(4, m_dlg->Job().Total());
}

TEST_F(WorkDialogTest, AnsweringNoEmptiesTheListBeforeTheSourceIsChosen)
{
    TempDir src, dst;
    MakeSongs(src);
    // A list with rows and a destination, from a full copy pass.
    m_ui.Folder(src.Path());
    m_ui.Yes();
    m_ui.Folder(dst.Path());
    Click(IDC_BTN_ADD_LIST);
    ASSERT_TRUE(WaitJobEnd());
    Flush();
    ASSERT_EQ("110111", Buttons());
    m_ui.Reset();

    int rowsAtChooser = -1;
    std::string buttonsAtChooser;
    m_ui.No();
    m_ui.CancelFolder().Then([&] {
        rowsAtChooser = Rows();
        buttonsAtChooser = m_dlg->Job().DestText();   // the context is reset too
    });
    Click(IDC_BTN_ADD_LIST);
    ASSERT_TRUE(WaitJobEnd());
    Flush();

    EXPECT_EQ(0, rowsAtChooser);
    EXPECT_EQ("", buttonsAtChooser);
    EXPECT_EQ(0, Rows());
    EXPECT_EQ(0, m_dlg->Job().Total());
    EXPECT_EQ("000011", Buttons());
    EXPECT_EQ(TEXT_OPENING, Text(IDC_STATIC_STATUS));
    EXPECT_EQ(PromptPaths(), Text(IDC_STATIC_PATHS));
    EXPECT_TRUE(m_ui.Messages().empty());
}

// A job waiting in its chooser, and a worker that writes to the window while
// it ends: every way of stopping it ends it well inside the limit, and the
// slot and the list end as each route says.
TEST_F(WorkDialogTest, EveryStopRouteEndsTheWorkerPromptly)
{
    TempDir src;
    MakeSongs(src);
    struct Route
    {
        const char* label;
        std::function<void()> stop;
        int rows;
        const char* buttons;
        bool slotEmpty;
    };
    const Route routes[] = {
        {"stop button", [&] { m_dlg->OnBnClickedStop(); }, 0, "110011", true},
        {"a new job replaces it",
         [&] {
             m_ui.Yes();
             m_ui.CancelFolder();
             Click(IDC_BTN_COPY_START);
         },
         2, nullptr, false},
        {"No to the add-to-list question",
         [&] {
             m_ui.No();
             m_ui.CancelFolder();
             Click(IDC_BTN_ADD_LIST);
         },
         0, "000011", false},
        {"closing, Yes to the question",
         [&] {
             m_ui.Yes();
             m_dlg->DestroyWindow();
         },
         0, nullptr, true},
        {"closing, No to the question",
         [&] {
             m_ui.No();
             m_dlg->DestroyWindow();
         },
         0, nullptr, true},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(r.label);
        Reopen();
        ScanDeclined(src.Path());

        // The worker answers the stop with window calls of its own, which
        // need the window's thread while that thread waits for it.
        m_ui.Yes();
        m_ui.Folder(ScriptedUser::BlockUntilStop([this] { return m_dlg->Job().IsStopRequested(); }, [this] {
            m_dlg->UpdateButtons(FALSE);
            ::SendMessageA(m_dlg->GetSafeHwnd(), WM_NULL, 0, 0);
        }));
        Click(IDC_BTN_COPY_START);
        ASSERT_TRUE(PumpUntil([this] { return m_ui.InChooser(); }));
        CHandle oldThread = ThreadOf(*m_dlg);

        r.stop();

        EXPECT_TRUE(Ended(oldThread)) << "the stopped worker is gone when the stop returns";
        EXPECT_EQ(r.slotEmpty, !m_dlg->m_runner.HasJob());
        EXPECT_EQ(r.rows, Rows());
        if (r.buttons) {
            ASSERT_TRUE(!m_dlg->m_runner.HasJob() || WaitJobEnd(5000));
            Flush();
            EXPECT_EQ(r.buttons, Buttons());
        }
        if (m_dlg->m_runner.HasJob()) {
            ASSERT_TRUE(WaitJobEnd());
        }
        // The stopped job reports nothing.
        for (const std::string& m : m_ui.Messages())
            EXPECT_NE(kDone, m);
    }
}

TEST_F(WorkDialogTest, StopButtonKeepsTheTextsButForgetsThePaths)
{
    TempDir src;
    MakeSongs(src);
    ScanDeclined(src.Path());
    const std::string status = Text(IDC_STATIC_STATUS);
    const std::string paths = Text(IDC_STATIC_PATHS);
    ASSERT_NE(TEXT_OPENING, status);

    m_dlg->OnBnClickedStop();

    EXPECT_FALSE(m_dlg->m_runner.HasJob());
    EXPECT_EQ(0, Rows());
    EXPECT_EQ(status, Text(IDC_STATIC_STATUS));
    EXPECT_EQ(paths, Text(IDC_STATIC_PATHS));
    EXPECT_STREQ("", m_dlg->Job().SourceText());
    EXPECT_EQ(0, m_dlg->Job().Total());
    EXPECT_EQ("110011", Buttons());

    // With the slot empty the stop does nothing.
    m_dlg->OnBnClickedStop();
    EXPECT_EQ("110011", Buttons());
}

// The stop lands while a large file is being copied: no file appears under
// its final name, no temporary file stays behind, the source is untouched.
TEST_F(WorkDialogTest, StopInTheMiddleOfALongCopyLosesNothing)
{
    TempDir src, dst;
    const std::string big = src / "big.mp3";
    const Bytes tag = MakeTagRecord({"Long", "Artist", "Album", "2003", "", 1, 17});
    WriteSparseMp3(big, (768ull << 20) + tag.size(), {"Long", "Artist", "Album", "2003", "", 1, 17});
    const uint64_t size = FileSize(big);
    const std::string album = dst / "Artist\\Album";

    m_ui.Folder(src.Path());
    m_ui.Yes();
    m_ui.Folder(dst.Path());
    Click(IDC_BTN_ADD_LIST);
    auto copying = [&] {
        WIN32_FIND_DATAA fd;
        HANDLE f = ::FindFirstFileA((album + "\\~*").c_str(), &fd);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        ::FindClose(f);
        return fd.nFileSizeLow > 0 || fd.nFileSizeHigh > 0;
    };
    ASSERT_TRUE(PumpUntil(copying));

    CHandle worker = ThreadOf(*m_dlg);
    m_dlg->OnBnClickedStop();
    EXPECT_TRUE(Ended(worker)) << "the copy answered the stop: it was not left behind";

    EXPECT_FALSE(Exists(album + "\\big.mp3")) << "the copy ran to its end before the stop";
    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA((album + "\\*").c_str(), &fd);
    std::vector<std::string> left;
    if (f != INVALID_HANDLE_VALUE) {
        do {
            if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..")
                left.push_back(fd.cFileName);
        } while (::FindNextFileA(f, &fd));
        ::FindClose(f);
    }
    EXPECT_TRUE(left.empty()) << left.size() << " file(s) left, first " << (left.empty() ? "" : left[0]);
    EXPECT_EQ(size, FileSize(big));
    const Bytes all = ReadFile(big);
    EXPECT_TRUE(std::equal(tag.begin(), tag.end(), all.end() - 128));
    EXPECT_EQ(0, Rows());
    EXPECT_FALSE(m_dlg->m_runner.HasJob());
    EXPECT_EQ("110011", Buttons());
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(WorkDialogTest, ClosingAsksOnlyWithAWorkerInTheSlot)
{
    TempDir src;
    MakeSongs(src);
    const std::string question = "ask:작업을 종료 하시겠습니까?";
    struct Case
    {
        const char* label;
        bool worker;
        std::vector<int> answers;
        std::function<void()> close;
        int questions;
    };
    const Case cases[] = {
        {"empty slot, exit button", false, {}, [&] { m_dlg->OnBnClickedExit(); }, 0},
        {"empty slot, Esc", false, {}, [&] { Click(IDCANCEL); }, 0},
        {"finished worker, exit answered Yes", true, {IDYES}, [&] { m_dlg->OnBnClickedExit(); }, 1},
        {"finished worker, exit answered No asks again", true, {IDNO, IDNO}, [&] { m_dlg->OnBnClickedExit(); }, 2},
        {"finished worker, No then Yes", true, {IDNO, IDYES}, [&] { m_dlg->OnBnClickedExit(); }, 2},
        {"finished worker, Esc answered No", true, {IDNO}, [&] { Click(IDCANCEL); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        if (c.worker)
            ScanDeclined(src.Path());
        for (int a : c.answers)
            m_ui.Answer(a);
        HWND hWnd = m_dlg->GetSafeHwnd();

        c.close();

        EXPECT_FALSE(::IsWindow(hWnd)) << "the window closes whatever the answer";
        EXPECT_EQ(c.questions, m_ui.Count(question));
        EXPECT_FALSE(m_dlg->m_runner.HasJob());
        EXPECT_EQ(0, Rows()) << "the entries go with the window";
    }
}

TEST(ExplorerParameters, QuotesThePathSoBlanksAndCommasStayInIt)
{
    const struct { const wchar_t* folder; const wchar_t* params; } cases[] = {
        {L"C:\\Music\\Out", L"\"C:\\Music\\Out\""},
        {L"C:\\My Music\\a, b", L"\"C:\\My Music\\a, b\""},
        {L"D:\\", L"\"D:\\\""},
        {L"C:\\Caf\u00e9 del Mar", L"\"C:\\Caf\u00e9 del Mar\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)));
        EXPECT_EQ(c.params, ExplorerParameters(c.folder));
    }
}
