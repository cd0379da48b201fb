#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>

#include "res/resource.h"
#include "tests/support/TestFiles.h"
#include "tests/ui/UiTestSupport.h"

using namespace testing_support;
using namespace ui_test;

// A worker that ignores the stop is ended by force after a while, and may die
// inside the lock of a control it was writing to, with what it wrote half
// written. What follows the forced end (clearing the list, bringing the window
// up to date, the next job) must not wait on that lock.

namespace {

// The one thread whose next allocation never returns, as a call stuck in the
// platform would not. Disarmed as it springs: a dead thread's id is given to
// the next new thread.
std::atomic<DWORD> g_dwTrapThread{0};
std::atomic<bool> g_bTrapped{false};

// Addresses whose release is counted, each once.
std::atomic<void*> g_watched[2];
std::atomic<int> g_nWatchedFreed{0};

void ArmTrapOnThisThread()
{
    g_bTrapped = false;
    g_dwTrapThread = ::GetCurrentThreadId();
}

// Ends the whole run when what it guards has not returned in time: the fault
// looked for is a wait for ever, which no assertion would report.
class CWatchdog
{
public:
    explicit CWatchdog(std::string what)
        : m_hDone(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_thread([this, what] {
              if (::WaitForSingleObject(m_hDone, 30000) != WAIT_OBJECT_0) {
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

// A text no job writes, long enough that taking it allocates.
const char kWorkerText[] = "a status text the worker never finishes writing";

} // namespace

void* operator new(std::size_t n)
{
    if (g_dwTrapThread.load() == ::GetCurrentThreadId()) {
        g_dwTrapThread = 0;
        g_bTrapped = true;
        for (;;)
            ::Sleep(INFINITE);
    }
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

namespace {

void Release(void* p)
{
    for (std::atomic<void*>& w : g_watched) {
        void* expected = p;
        if (p && w.compare_exchange_strong(expected, nullptr))
            ++g_nWatchedFreed;
    }
    std::free(p);
}

} // namespace

void operator delete(void* p) noexcept
{
    Release(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    Release(p);
}

namespace {

class ForcedStopTest : public WorkDialogTest
{
protected:
    void SetUp() override
    {
        // Not the ten seconds of the program: the cases wait for it each.
        m_dwForcedEndMs = CWorkThreadEx::s_dwForcedEndMs;
        CWorkThreadEx::s_dwForcedEndMs = 300;
        WorkDialogTest::SetUp();
    }
    void TearDown() override
    {
        WorkDialogTest::TearDown();
        CWorkThreadEx::s_dwForcedEndMs = m_dwForcedEndMs;
    }

    DWORD m_dwForcedEndMs = 0;
};

} // namespace

TEST_F(ForcedStopTest, NothingAfterTheForcedEndWaitsOnWhatTheKilledWorkerHeld)
{
    TempDir src;
    WriteFile(src / "a.mp3", MakeMp3({"Song A", "Artist", "Album", "2001", "", 1, 17}, 300));
    WriteFile(src / "b.mp3", MakeMp3({"Song B", "Artist", "Album", "2002", "", 2, 17}, 500));

    struct Case
    {
        const char* label;
        std::function<void(CWorkDialog&)> stuck;   // on the worker; never returns
        bool entriesReleased;   // the rows' entries, when the list is cleared
    };
    const Case cases[] = {
        {"stuck outside any lock",
         [](CWorkDialog&) {
             g_bTrapped = true;
             ::Sleep(INFINITE);
         },
         true},
        // Rows go in until one needs the store to grow.
        {"stuck growing the row store",
         [](CWorkDialog& dlg) {
             ArmTrapOnThisThread();
             for (;;)
                 dlg.m_listFiles.InsertItem(dlg.m_listFiles.GetItemCount(), 0);
         },
         false},
        {"stuck leaving a status text",
         [](CWorkDialog& dlg) {
             ArmTrapOnThisThread();
             dlg.m_staticStatus.SetWindowText(kWorkerText);
         },
         true},
        {"stuck reading a row's texts",
         [](CWorkDialog& dlg) {
             dlg.m_job.EntryLock().lock();
             g_bTrapped = true;
             ::Sleep(INFINITE);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        ScanDeclined(src.Path());
        ASSERT_EQ(2, Rows());
        const std::string scanned = Text(IDC_STATIC_STATUS);
        g_bTrapped = false;
        g_nWatchedFreed = 0;
        g_watched[0] = Row(0);
        g_watched[1] = Row(1);

        // Add to the list; the worker gets stuck in its folder question. It
        // waits there for the go first: stuck inside a lock, it would block
        // the window's own updates as well, and the moment a kill can land
        // inside a lock is an instant in which the window takes none.
        std::atomic<bool> inside{false};
        std::atomic<bool> go{false};
        m_ui.Yes();
        m_ui.Folder([&](std::wstring&, const char*) {
            inside = true;
            while (!go)
                ::Sleep(1);
            c.stuck(*m_dlg);
            return 0;
        });
        Click(IDC_BTN_ADD_LIST);
        ASSERT_TRUE(PumpUntil([&] { return inside.load(); }));

        CWatchdog dog(std::string(c.label) + ": the stop, the clearing of the list or the next job");
        go = true;
        for (int i = 0; i < 5000 && !g_bTrapped; ++i)
            ::Sleep(1);
        ASSERT_TRUE(g_bTrapped);

        m_dlg->OnBnClickedStop();
        EXPECT_FALSE(m_dlg->m_pWorkThread);
        EXPECT_EQ(0, Rows());
        Flush();
        PumpPending();
        EXPECT_EQ(c.entriesReleased ? 2 : 0, g_nWatchedFreed.load())
            << "entries a half-grown store may point at are left, the others released";
        g_watched[0] = g_watched[1] = nullptr;
        // A tag edit takes the lock the pass reads the rows' texts under.
        MP3FileEntry entry{}, edited{};
        edited.SetArtist("Edited");
        m_dlg->m_job.CommitEdit(entry, edited);
        EXPECT_STREQ("Edited", entry.Artist());

        // The window works as before.
        ScanDeclined(src.Path());
        EXPECT_EQ(2, Rows());
        EXPECT_EQ(scanned, Text(IDC_STATIC_STATUS));
    }
}
