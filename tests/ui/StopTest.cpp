#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "afx/Handle.h"
#include "res/Texts.h"
#include "res/resource.h"
#include "tests/support/TestFiles.h"
#include "tests/ui/UiTestSupport.h"

using namespace testing_support;
using namespace ui_test;

// A worker that does not answer a stop in time is left behind, never killed:
// it keeps its own job state until it returns, and the window goes on with a
// fresh one. Nothing the stuck worker holds (the rows' entries, the lock they
// are read under, the screen it wrote to) stands in the way of what follows,
// and what it does once it returns reaches nobody.

namespace {

// Ends the whole run when what it guards has not returned in time: the fault
// looked for is a wait for ever, which no assertion would report.
class CWatchdog
{
public:
    explicit CWatchdog(std::string what)
        : m_hDone(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_thread([this, what] {
              if (::WaitForSingleObject(m_hDone, 120000) != WAIT_OBJECT_0) {
                  std::fprintf(stderr, "\nFAILED: %s never returned\n", what.c_str());
                  std::fflush(stderr);
                  ::TerminateProcess(::GetCurrentProcess(), 3);
              }
          })
    {
    }
    ~CWatchdog()
    {
        ::SetEvent(m_hDone);
        m_thread.join();
        ::CloseHandle(m_hDone);
    }

private:
    HANDLE m_hDone;
    std::thread m_thread;
};

class AbandonTest : public WorkDialogTest
{
protected:
    void SetUp() override
    {
        // Not the ten seconds of the program: the test waits for it.
        m_dwAbandonMs = CJobRunner::s_dwAbandonMs;
        CJobRunner::s_dwAbandonMs = 300;
        WorkDialogTest::SetUp();
    }
    void TearDown() override
    {
        WorkDialogTest::TearDown();
        CJobRunner::s_dwAbandonMs = m_dwAbandonMs;
    }

    DWORD m_dwAbandonMs = 0;
};

} // namespace

TEST_F(AbandonTest, AWorkerStuckInACallThatNeverReturnsIsLeftBehindAndTheWindowGoesOn)
{
    TempDir src;
    WriteFile(src / "a.mp3", MakeMp3({"Song A", "Artist", "Album", "2001", "", 1, 17}, 300));
    WriteFile(src / "b.mp3", MakeMp3({"Song B", "Artist", "Album", "2002", "", 2, 17}, 500));
    ScanDeclined(src.Path());
    ASSERT_EQ(2, Rows());
    const std::string scanned = Text(IDC_STATIC_STATUS);

    // Add to the list; the worker then reads a pipe nobody writes, holding
    // the job's state (its rows among it) and inside the entries' lock.
    HANDLE hRead = nullptr, hWrite = nullptr;
    ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, nullptr, 0));
    CHandle read(hRead), write(hWrite);
    std::atomic<bool> inside{false};
    std::atomic<bool> returned{false};
    CCollectJob* pStuckJob = &m_dlg->Job();
    m_ui.Yes();
    m_ui.Folder([&](std::wstring&, const char*) {
        std::lock_guard<std::mutex> lock(pStuckJob->EntryLock());
        inside = true;
        char c;
        DWORD n = 0;
        ::ReadFile(read, &c, 1, &n, nullptr);
        returned = true;
        return 0;
    });
    Click(IDC_BTN_ADD_LIST);
    ASSERT_TRUE(PumpUntil([&] { return inside.load(); }));
    CHandle stuck;
    {
        HANDLE h = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), m_dlg->m_runner.ThreadHandle(), ::GetCurrentProcess(), &h,
                          SYNCHRONIZE, FALSE, 0);
        stuck = CHandle(h);
    }

    {
        CWatchdog dog("the stop, the clearing of the list, an edit or the next scan");
        m_dlg->OnBnClickedStop();
        EXPECT_FALSE(m_dlg->m_runner.HasJob());
        EXPECT_EQ(0, Rows());
        EXPECT_EQ("110011", Buttons());
        EXPECT_NE(pStuckJob, &m_dlg->Job()) << "the window goes on with a fresh state";
        EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(stuck, 0)) << "the worker is left, not killed";

        // The window scans again and a row's tag edit takes its lock.
        ScanDeclined(src.Path());
        ASSERT_EQ(2, Rows());
        EXPECT_EQ(scanned, Text(IDC_STATIC_STATUS));
        MP3FileEntry edited{};
        edited.SetArtist("Edited");
        m_dlg->Job().CommitEdit(*Row(0), edited);
        EXPECT_STREQ("Edited", Row(0)->Artist());
    }

    // Let the stuck worker go: it ends with its own state, and nothing of it
    // reaches the window.
    DWORD n = 0;
    ASSERT_TRUE(::WriteFile(write, "x", 1, &n, nullptr));
    ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(stuck, 0) == WAIT_OBJECT_0; }));
    PumpPending();
    Flush();
    EXPECT_TRUE(returned);
    EXPECT_EQ(2, Rows());
    EXPECT_EQ(scanned, Text(IDC_STATIC_STATUS));
    EXPECT_TRUE(m_ui.Messages().empty());
}
