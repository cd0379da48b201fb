#include <windows.h>

#include <cstdio>
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver/Driver.h"
#include "tests/support/SiteStub.h"

using namespace e2e;
using testing_support::CSiteStub;
using testing_support::Reply;

namespace {

const char CAPTION[] = "MP3 Sorvane";
const char PING_LINE[] = "POST /app/qorv/check.php?ver=1.0.0.3 HTTP/1.0";
const char VERSION_LINE[] = "POST /app/qorv/version.php HTTP/1.0";
const char PING_ATOM[] = "QMVRTEOLS-XKAWBEN2-ZKDNSXM";
const char VERSION_ATOM[] = "QMVRTEOLS-XKAWBEN2-QJWJS";

void DeleteAtom(const char* name)
{
    for (ATOM a; (a = ::GlobalFindAtomA(name)) != 0;)
        ::GlobalDeleteAtom(a);
}

class AppTest : public WindowTest
{
protected:
    void SetUp() override
    {
        // The atoms live as long as the login session: every case starts as
        // the first start of a session.
        DeleteAtom(PING_ATOM);
        DeleteAtom(VERSION_ATOM);
        m_site.SetAnswer("/app/qorv/check.php", Reply(200, "ok"));
        m_site.SetAnswer("/app/qorv/version.php", Reply(200, "1.0.0.3"));
        ASSERT_TRUE(m_site.Start());
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        m_site.Stop();
        DeleteAtom(PING_ATOM);
        DeleteAtom(VERSION_ATOM);
    }

    static Process StartProgram() { return Process::Start(HostPath(SORVANE_EXE)); }
    static Window Launcher(const Process& p) { return p.WaitDialog(CAPTION, IDC_STATIC_INFO); }
    static Window WorkWindow(const Process& p) { return p.WaitDialog(CAPTION, IDC_BTN_ADD_LIST); }

    CSiteStub m_site;
};

TEST_F(AppTest, LauncherShowsItsTextsAndEndsByExitOrEsc)
{
    const struct { const char* label; bool escKey; } cases[] = {
        {"exit button", false},
        {"Esc key", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        m_site.ClearRequests();
        Process p = StartProgram();
        ASSERT_TRUE(p) << p.Why();
        Window launcher = Launcher(p);
        ASSERT_TRUE(launcher) << launcher.Why();

        EXPECT_EQ(CAPTION, launcher.Caption());
        EXPECT_EQ(0, launcher.Style() & WS_SYSMENU) << "the launcher has no close box";
        EXPECT_EQ("MP3 Sorvane\r\n흩어져있는 mp3 파일들을 한곳으로 모으는 프로그램입니다.",
                  launcher.Child(IDC_STATIC_INFO).Text());
        EXPECT_EQ("mp3 Sorvane 시작하기", launcher.Child(IDC_BTN_START).Text());
        EXPECT_EQ("mp3 Sorvane 종료하기", launcher.Child(IDC_BTN_EXIT).Text());
        EXPECT_TRUE(launcher.Child(IDC_BTN_START).IsEnabled());
        EXPECT_TRUE(launcher.Child(IDC_BTN_EXIT).IsEnabled());

        if (c.escKey)
            ASSERT_TRUE(launcher.PressKey(VK_ESCAPE));
        else
            ASSERT_TRUE(launcher.Child(IDC_BTN_EXIT).Click());
        EXPECT_TRUE(p.WaitExit());
    }
}

TEST_F(AppTest, StartUpRequestsAreMadeOncePerSessionWhenTheVersionsMatch)
{
    {
        Process p = StartProgram();
        ASSERT_TRUE(Launcher(p));
        EXPECT_EQ((std::vector<std::string>{PING_LINE, VERSION_LINE}), m_site.RequestLines());
        ASSERT_TRUE(Launcher(p).Child(IDC_BTN_EXIT).Click());
        ASSERT_TRUE(p.WaitExit());
    }
    EXPECT_NE(0, ::GlobalFindAtomA(PING_ATOM));
    EXPECT_NE(0, ::GlobalFindAtomA(VERSION_ATOM));

    m_site.ClearRequests();
    Process again = StartProgram();
    ASSERT_TRUE(Launcher(again));
    EXPECT_TRUE(m_site.RequestLines().empty());
}

TEST_F(AppTest, UnreachableSiteStillReachesTheLauncher)
{
    m_site.Stop();
    Process p = StartProgram();
    Window launcher = Launcher(p);
    ASSERT_TRUE(launcher) << launcher.Why();
    EXPECT_EQ(0, ::GlobalFindAtomA(PING_ATOM));
    EXPECT_EQ(0, ::GlobalFindAtomA(VERSION_ATOM));
}

// A site that trickles its answers a byte a second never ends them in time:
// the two start-up requests together give up after about ten seconds, and the
// launcher comes as for a site that cannot be reached.
TEST_F(AppTest, TricklingSiteHoldsTheLauncherAtMostTenSeconds)
{
    const testing_support::StubAnswer trickled = testing_support::Trickled(Reply(200, "1.0.0.3"), 1000);
    m_site.SetAnswer("/app/qorv/check.php", trickled);
    m_site.SetAnswer("/app/qorv/version.php", trickled);
    const DWORD start = ::GetTickCount();
    Process p = StartProgram();
    ASSERT_TRUE(p) << p.Why();
    Window launcher = Launcher(p);
    ASSERT_TRUE(launcher) << launcher.Why();
    const DWORD elapsed = ::GetTickCount() - start;
    std::printf("launcher after %lu ms\n", static_cast<unsigned long>(elapsed));
    // The program's own start under Wine comes on top of the ten seconds.
    EXPECT_LT(elapsed, 12500u);
    EXPECT_EQ((std::vector<std::string>{PING_LINE, VERSION_LINE}), m_site.RequestLines());
    EXPECT_EQ(0, ::GlobalFindAtomA(PING_ATOM));
    EXPECT_EQ(0, ::GlobalFindAtomA(VERSION_ATOM));
    // The requests given up may still be running; they do not hold the end.
    ASSERT_TRUE(launcher.Child(IDC_BTN_EXIT).Click());
    EXPECT_TRUE(p.WaitExit(3000));
}

TEST_F(AppTest, StartHidesTheLauncherAndEachPressOpensAFreshWorkWindow)
{
    Process p = StartProgram();
    Window launcher = Launcher(p);
    ASSERT_TRUE(launcher) << launcher.Why();

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(launcher.Child(IDC_BTN_START).Click());
        Window work = WorkWindow(p);
        ASSERT_TRUE(work) << work.Why();
        EXPECT_TRUE(WaitVisible(launcher, false));
        EXPECT_EQ(0, ListView(work.Child(IDC_FILE_LIST)).RowCount());
        EXPECT_FALSE(work.Child(IDC_BTN_COPY_START).IsEnabled());
        EXPECT_TRUE(work.Child(IDC_BTN_ADD_LIST).IsEnabled());

        ASSERT_TRUE(work.Child(IDC_BTN_WORK_EXIT).Click());
        EXPECT_TRUE(WaitGone(work));
        EXPECT_TRUE(WaitVisible(launcher, true));
        EXPECT_TRUE(p.IsRunning());
    }
    ASSERT_TRUE(launcher.Child(IDC_BTN_EXIT).Click());
    EXPECT_TRUE(p.WaitExit());
}

TEST_F(AppTest, SecondStartEndsSilentlyWhileTheFirstRuns)
{
    Process first = StartProgram();
    ASSERT_TRUE(Launcher(first));
    m_site.ClearRequests();
    DeleteAtom(PING_ATOM);
    DeleteAtom(VERSION_ATOM);

    Process second = StartProgram();
    ASSERT_TRUE(second) << second.Why();
    EXPECT_TRUE(second.WaitExit(10000));
    EXPECT_TRUE(m_site.RequestLines().empty()) << "the second start made a request";
    EXPECT_TRUE(first.IsRunning());
    EXPECT_TRUE(Launcher(first).IsVisible());
}

TEST_F(AppTest, AnotherVersionShowsOnlyTheNoticeAndEnds)
{
    m_site.SetAnswer("/app/qorv/version.php", Reply(200, "9.9.9.9"));
    Process p = StartProgram();
    Window notice = p.WaitDialog("알림 - v1.0.0.3", IDC_LINK_VERSION);
    ASSERT_TRUE(notice) << notice.Why();
    EXPECT_EQ("<a>v9.9.9.9</a>", notice.Child(IDC_LINK_VERSION).Text());
    EXPECT_EQ("<a>최신 버전 확인하기</a>", notice.Child(IDC_LINK_SITE).Text());
    EXPECT_EQ("종료", notice.Child(IDOK).Text());
    EXPECT_FALSE(FindTopWindow({p.Id(), CAPTION, "", true, nullptr, "launcher"})) << "the launcher appeared";

    ASSERT_TRUE(notice.Child(IDOK).Click());
    EXPECT_TRUE(p.WaitExit());
    EXPECT_NE(0, ::GlobalFindAtomA(PING_ATOM));
    EXPECT_EQ(0, ::GlobalFindAtomA(VERSION_ATOM)) << "the check must run again at the next start";
}

} // namespace
