#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>

#include "res/resource.h"
#include "tests/support/TestFiles.h"
#include "tests/support/SiteStub.h"
#include "web/UpdateDlg.h"
#include "web/VersionCheck.h"
#include "web/WebAccess.h"

using namespace testing_support;

namespace {

const char SITE[] = "http://127.0.0.1/";
const char PING_LINE[] = "POST /app/qorv/check.php?ver=1.0.0.3 HTTP/1.0";
const char VERSION_LINE[] = "POST /app/qorv/version.php HTTP/1.0";

// Stands in for the browser; called on the notice's thread.
std::vector<std::wstring> g_opened;
void RecordOpen(const wchar_t* url)
{
    g_opened.push_back(url);
}

void DeleteAtom(const char* name)
{
    // Each add counts; delete until it is gone.
    for (ATOM a; (a = ::GlobalFindAtomA(name)) != 0;)
        ::GlobalDeleteAtom(a);
}

bool HasAtom(const char* name)
{
    return ::GlobalFindAtomA(name) != 0;
}

std::string TextOf(HWND hWnd)
{
    char buf[2048] = {};
    ::GetWindowTextA(hWnd, buf, sizeof buf);
    return buf;
}

std::string ClassOf(HWND hWnd)
{
    char buf[64] = {};
    ::GetClassNameA(hWnd, buf, sizeof buf);
    return buf;
}

// How the driver closes the notice.
enum class Close { ExitButton, EscKey, CloseBox, ClickSiteLink, ClickVersionLink };

// Runs on its own thread while the UI thread sits in the notice's modal loop,
// as a user would: finds the notice, reads it and closes it.
class CNoticeDriver
{
public:
    CNoticeDriver(DWORD uiThread, Close how) : m_how(how), m_thread([this, uiThread] { Run(uiThread); }) {}
    ~CNoticeDriver() { Finish(); }

    void Finish()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    bool m_bSeen = false;
    std::string m_strCaption;
    std::string m_strLinkText;
    std::string m_strLinkClasses;

private:
    static BOOL CALLBACK TakeVisibleDialog(HWND h, LPARAM lp)
    {
        if (ClassOf(h) == "#32770" && ::IsWindowVisible(h)) {
            *reinterpret_cast<HWND*>(lp) = h;
            return FALSE;
        }
        return TRUE;
    }

    static HWND FindNotice(DWORD uiThread)
    {
        HWND found = nullptr;
        ::EnumThreadWindows(uiThread, TakeVisibleDialog, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    // A click with the mouse: the link itself tells its parent.
    static void ClickLink(HWND link)
    {
        RECT rc;
        ::GetClientRect(link, &rc);
        const LPARAM at = MAKELPARAM(4, (rc.bottom - rc.top) / 2);
        ::PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(link, WM_LBUTTONUP, 0, at);
    }

    void Run(DWORD uiThread)
    {
        HWND dlg = nullptr;
        while (!m_bStop && !(dlg = FindNotice(uiThread)))
            ::Sleep(20);
        if (!dlg)
            return;
        m_bSeen = true;
        m_strCaption = TextOf(dlg);
        m_strLinkText = TextOf(::GetDlgItem(dlg, IDC_LINK_VERSION));
        m_strLinkClasses = ClassOf(::GetDlgItem(dlg, IDC_LINK_SITE)) + "," +
                           ClassOf(::GetDlgItem(dlg, IDC_LINK_VERSION));
        switch (m_how) {
        case Close::ExitButton:
            ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(::GetDlgItem(dlg, IDOK)));
            break;
        case Close::EscKey:
            ::PostMessageA(::GetDlgItem(dlg, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case Close::CloseBox:
            ::PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case Close::ClickSiteLink:
            ClickLink(::GetDlgItem(dlg, IDC_LINK_SITE));
            break;
        case Close::ClickVersionLink:
            ClickLink(::GetDlgItem(dlg, IDC_LINK_VERSION));
            break;
        }
        // Should the way in not work, do not leave the test hanging.
        for (int i = 0; i < 250 && ::IsWindow(dlg); ++i)
            ::Sleep(20);
        if (::IsWindow(dlg))
            ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }

    Close m_how;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

void InitLinks()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
}

} // namespace

TEST(Version, OwnAndOtherFiles)
{
    EXPECT_EQ("1.0.0.3", GetModuleVersion());

    TempDir dir;
    WriteFile(dir / "plain.txt", std::string("no version here"));
    EXPECT_EQ("", GetFileVersionString((dir / "plain.txt").c_str()));
    EXPECT_EQ("", GetFileVersionString((dir / "missing.exe").c_str()));
}

TEST(Version, AddressesFromTheSiteBase)
{
    EXPECT_EQ("http://127.0.0.1/app/qorv/check.php?ver=1.0.0.3", GetPingUrl(SITE, "1.0.0.3"));
    EXPECT_EQ("http://127.0.0.1/app/qorv/check.php?ver=", GetPingUrl(SITE, ""));
    EXPECT_EQ("http://127.0.0.1/app/qorv/version.php", GetVersionUrl(SITE));
    EXPECT_EQ(L"http://127.0.0.1", GetSiteLink(SITE));
    const std::string base = GetSiteBase();
    ASSERT_FALSE(base.empty());
    EXPECT_EQ('/', base.back());
}

class StartUpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitLinks();
        DeleteAtoms();
        g_opened.clear();
    }
    void TearDown() override { DeleteAtoms(); }

    static void DeleteAtoms()
    {
        DeleteAtom(ATOM_PING);
        DeleteAtom(ATOM_VERSION);
    }

    struct Outcome {
        bool launcher;
        bool pingSent;
        bool checkSent;
        bool noticeSeen;
        std::string caption;
        std::string linkText;
    };

    // Steps 7 and 8 of a start: the ping, then the check.
    Outcome StartOnce(bool listening)
    {
        m_site.ClearRequests();
        CNoticeDriver driver(::GetCurrentThreadId(), Close::ExitButton);
        const CDeadline startUp(WEB_STARTUP_DEADLINE_MS);
        RunUsagePing(SITE, startUp);
        const bool launcher = RunVersionCheck(SITE, RecordOpen, startUp);
        driver.Finish();
        Outcome o{launcher, false, false, driver.m_bSeen, driver.m_strCaption, driver.m_strLinkText};
        if (listening) {
            for (const std::string& line : m_site.RequestLines()) {
                o.pingSent |= line == PING_LINE;
                o.checkSent |= line == VERSION_LINE;
            }
        }
        return o;
    }

    CSiteStub m_site;
};

TEST_F(StartUpTest, StateTable)
{
    const StubAnswer ok = Reply(200, "ok");
    const StubAnswer own = Reply(200, "1.0.0.3");
    const StubAnswer error = Reply(500, "");

    struct Row {
        const char* label;
        bool pingAtom, versionAtom;     // before the start
        bool listening;
        StubAnswer ping, version;
        bool pingSent, checkSent;
        bool pingAtomAfter, versionAtomAfter;
        const char* notice;             // the version link's text, or null for the launcher
    };
    const Row rows[] = {
        {"no atoms, own version", false, false, true, ok, own, true, true, true, true, nullptr},
        {"no atoms, another version", false, false, true, ok, Reply(200, "1.0.0.4"), true, true, true, false,
         "<a>v1.0.0.4</a>"},
        {"no atoms, error status", false, false, true, error, error, true, true, false, false, nullptr},
        {"no atoms, unreachable", false, false, false, ok, own, false, false, false, false, nullptr},
        {"both atoms", true, true, true, ok, Reply(200, "1.0.0.4"), false, false, true, true, nullptr},
        {"ping atom only, own version", true, false, true, ok, own, false, true, true, true, nullptr},
        {"ping atom only, another version", true, false, true, ok, Reply(200, "2.0"), false, true, true, false,
         "<a>v2.0</a>"},
        {"version atom only", false, true, true, ok, Reply(200, "1.0.0.4"), true, false, true, true, nullptr},
        {"ping fails, check finds own version", false, false, true, error, own, true, true, false, true, nullptr},
        {"lower version", false, false, true, ok, Reply(200, "1.0.0.2"), true, true, true, false,
         "<a>v1.0.0.2</a>"},
        {"trailing line end", false, false, true, ok, Reply(200, "1.0.0.3\r\n"), true, true, true, false,
         "<a>v1.0.0.3\r\n</a>"},
        {"empty body", false, false, true, ok, Reply(200, ""), true, true, true, false, "<a>v</a>"},
        {"version over the size limit", false, false, true, ok, Reply(200, std::string(70000, '1')), true, true,
         true, false, nullptr},
        // Compared as zero-terminated texts: what follows a zero byte is not seen.
        {"own version, a zero byte, more", false, false, true, ok, Reply(200, std::string("1.0.0.3\0x", 9)), true,
         true, true, true, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        DeleteAtoms();
        if (row.pingAtom)
            ::GlobalAddAtomA(ATOM_PING);
        if (row.versionAtom)
            ::GlobalAddAtomA(ATOM_VERSION);
        if (row.listening)
            ASSERT_TRUE(m_site.Start());
        else
            m_site.Stop();
        m_site.SetAnswer("/app/qorv/check.php", row.ping);
        m_site.SetAnswer("/app/qorv/version.php", row.version);

        const Outcome first = StartOnce(row.listening);
        EXPECT_EQ(row.pingSent, first.pingSent);
        EXPECT_EQ(row.checkSent, first.checkSent);
        EXPECT_EQ(row.pingAtomAfter, HasAtom(ATOM_PING));
        EXPECT_EQ(row.versionAtomAfter, HasAtom(ATOM_VERSION));
        EXPECT_EQ(row.notice == nullptr, first.launcher);
        EXPECT_EQ(row.notice != nullptr, first.noticeSeen);
        if (row.notice) {
            EXPECT_EQ("알림 - v1.0.0.3", first.caption);
            EXPECT_EQ(row.notice, first.linkText);
        }

        // The next start in the same login session repeats exactly the
        // exchanges that left no atom.
        ASSERT_TRUE(m_site.Start());
        const Outcome next = StartOnce(true);
        EXPECT_EQ(!row.pingAtomAfter, next.pingSent);
        EXPECT_EQ(!row.versionAtomAfter, next.checkSent);
    }
    EXPECT_TRUE(g_opened.empty());
}

// Whatever the site does, the launcher or the notice comes within about ten
// seconds: the ping and the check share that time, and an answer that
// completes within it is used as any other.
TEST_F(StartUpTest, AHostileSiteHoldsTheStartAtMostTenSeconds)
{
    const StubAnswer trickledHead = Trickled(Reply(200, "1.0.0.3"), 1000);
    const StubAnswer endlessHead = Endless("HTTP/1.0 200 OK\r\nX-Pad: ", "a", 500);
    const StubAnswer trickledBody = Endless(Reply(200, "1").bytes, ".", 1000);
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    const StubAnswer endlessChunks = Endless(chunked, "1\r\n1\r\n", 200);
    // A chunk size that never ends: leading zeros, one every half second.
    const StubAnswer endlessChunkSize = Endless(chunked + "1", "0", 500);
    // Slow, but whole well within the time.
    const StubAnswer slowOther = Trickled(Reply(200, "1.0.0.4"), 25);

    const StubAnswer ok = Reply(200, "ok");
    struct Row {
        const char* label;
        StubAnswer ping, version;
        const char* notice;     // the version link's text, or null for the launcher
    };
    const Row rows[] = {
        {"a header trickled a byte a second", trickledHead, trickledHead, nullptr},
        {"a header without end", endlessHead, endlessHead, nullptr},
        {"a body trickled a byte a second", trickledBody, trickledBody, nullptr},
        {"an endless chunked body", endlessChunks, endlessChunks, nullptr},
        {"a chunk size without end", endlessChunkSize, endlessChunkSize, nullptr},
        {"silence", Silent(), Silent(), nullptr},
        {"a hostile ping, then a real answer", trickledHead, Reply(200, "1.0.0.4"), "<a>v1.0.0.4</a>"},
        {"a slow real answer", ok, slowOther, "<a>v1.0.0.4</a>"},
    };
    ASSERT_TRUE(m_site.Start());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        DeleteAtoms();
        m_site.SetAnswer("/app/qorv/check.php", row.ping);
        m_site.SetAnswer("/app/qorv/version.php", row.version);
        const DWORD start = ::GetTickCount();
        const Outcome o = StartOnce(true);
        const DWORD elapsed = ::GetTickCount() - start;
        std::printf("%s: %s after %lu ms\n", row.label, o.launcher ? "launcher" : "notice",
                    static_cast<unsigned long>(elapsed));
        EXPECT_LT(elapsed, 11500u);
        EXPECT_TRUE(o.pingSent);
        EXPECT_TRUE(o.checkSent);
        EXPECT_EQ(row.notice == nullptr, o.launcher);
        if (row.notice) {
            EXPECT_EQ(row.notice, o.linkText);
        }
        // Our own version, had it come in time, would have set it.
        EXPECT_FALSE(HasAtom(ATOM_VERSION));
    }
}

// The platform may read an answer that is not HTTP as an old-style 200 whose
// body is what came; whatever it makes of it, it is never our version.
TEST_F(StartUpTest, GarbageStatusLineIsNeverOurVersion)
{
    ASSERT_TRUE(m_site.Start());
    StubAnswer garbage;
    garbage.bytes = "SPAM SPAM SPAM\r\n\r\n1.0.0.3";
    m_site.SetAnswer("/app/qorv/version.php", garbage);
    StartOnce(true);
    EXPECT_FALSE(HasAtom(ATOM_VERSION));
}

TEST(UpdateNotice, WaysToClose)
{
    InitLinks();
    struct Row {
        const char* label;
        Close how;
        INT_PTR result;
        bool opensSite;
    };
    const Row rows[] = {
        {"exit button", Close::ExitButton, IDOK, false},
        {"Esc", Close::EscKey, IDCANCEL, false},
        {"close box", Close::CloseBox, IDCANCEL, false},
        {"site link", Close::ClickSiteLink, IDCANCEL, true},
        {"version link", Close::ClickVersionLink, IDCANCEL, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        g_opened.clear();
        CUpdateDlg dlg(L"http://127.0.0.1", RecordOpen);
        dlg.m_strNewVersion = "1.0.0.4";
        CNoticeDriver driver(::GetCurrentThreadId(), row.how);
        const INT_PTR result = dlg.DoModal();
        driver.Finish();
        EXPECT_EQ(row.result, result);
        EXPECT_EQ("알림 - v1.0.0.3", driver.m_strCaption);
        EXPECT_EQ("<a>v1.0.0.4</a>", driver.m_strLinkText);
        EXPECT_EQ("SysLink,SysLink", driver.m_strLinkClasses);
        if (row.opensSite) {
            ASSERT_EQ(1u, g_opened.size());
            EXPECT_EQ(L"http://127.0.0.1", g_opened[0]);
        } else {
            EXPECT_TRUE(g_opened.empty());
        }
    }
}
