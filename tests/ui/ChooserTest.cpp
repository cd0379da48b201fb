#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "afx/WidePath.h"
#include "collect/JobUi.h"
#include "tests/support/Pump.h"
#include "tests/support/TestFiles.h"
#include "ui/ShellJobUi.h"
#include "ui/FolderChooser.h"
#include "res/Texts.h"

using namespace testing_support;

namespace {

BOOL CALLBACK FindDialog(HWND h, LPARAM lp)
{
    char cls[16];
    if (::IsWindowVisible(h) && ::GetClassNameA(h, cls, sizeof cls) && !std::strcmp(cls, "#32770")) {
        *reinterpret_cast<HWND*>(lp) = h;
        return FALSE;
    }
    return TRUE;
}

HWND DialogOfThread(DWORD tid)
{
    HWND found = nullptr;
    ::EnumThreadWindows(tid, FindDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct TextSearch
{
    const std::string* text;
    bool found;
};

BOOL CALLBACK MatchText(HWND h, LPARAM lp)
{
    auto* s = reinterpret_cast<TextSearch*>(lp);
    char buf[512] = "";
    ::GetWindowTextA(h, buf, sizeof buf);
    s->found = s->found || *s->text == buf;
    return TRUE;
}

bool HasChildText(HWND parent, const std::string& text)
{
    TextSearch s{&text, false};
    ::EnumChildWindows(parent, MatchText, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::string SelectedTreeText(HWND chooser)
{
    HWND tree = ::FindWindowExA(chooser, nullptr, "SysTreeView32", nullptr);
    auto item = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return std::string();
    char buf[MAX_PATH] = "";
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buf;
    tv.cchTextMax = sizeof buf;
    ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return buf;
}

// Runs a question on a thread of its own while this one plays the user.
class CQuestionThread
{
public:
    explicit CQuestionThread(std::function<void()> ask) : m_thread([this, ask] {
        m_tid = ::GetCurrentThreadId();
        ask();
        m_done = true;
    }) {}
    ~CQuestionThread()
    {
        if (m_thread.joinable()) {
            while (!m_done) {
                CloseThreadModalWindows(m_tid);
                PumpUntil([this] { return m_done.load(); }, 100);
            }
            m_thread.join();
        }
    }
    HWND WaitForDialog()
    {
        HWND h = nullptr;
        PumpUntil([&] { return m_tid && (h = DialogOfThread(m_tid)) != nullptr; }, 20000);
        return h;
    }
    bool WaitDone() { return PumpUntil([this] { return m_done.load(); }, 20000); }
    DWORD Id() const { return m_tid; }

private:
    std::atomic<DWORD> m_tid{0};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

const char* const kTitle = TEXT_SOURCE_TITLE;

} // namespace

// Drives the shell's chooser as a user would: selects the item (Wine ignores
// the selection until its tree is filled, so it is sent until it shows), then
// presses OK. A file can be chosen as well as a folder.
TEST(FolderChooser, ChoosesFolderOrFileTable)
{
    TempDir dir;
    WriteFile(dir / "폴더\\곡.mp3", "x");
    struct Case
    {
        const char* label;
        std::string path;
        std::string shown[2];  // the tree may hide a file's extension
    } cases[] = {
        {"folder", dir / "폴더", {"폴더", "폴더"}},
        {"file", dir / "폴더\\곡.mp3", {"곡.mp3", "곡"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::wstring chosen = L"old";
        int result = -1;
        CQuestionThread question([&] { result = ChooseFolder(chosen, kTitle); });
        HWND chooser = question.WaitForDialog();
        ASSERT_NE(nullptr, chooser);
        EXPECT_TRUE(HasChildText(chooser, kTitle));
        const bool selected = PumpUntil(
            [&] {
                ::SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(c.path.c_str()));
                const std::string shown = SelectedTreeText(chooser);
                return shown == c.shown[0] || shown == c.shown[1];
            },
            20000);
        ASSERT_TRUE(selected);
        ::PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(question.WaitDone());
        EXPECT_EQ(1, result);
        EXPECT_EQ(c.path, TextFromWide(chosen));
    }
}

// Backing out of every modal window the jobs open, by the user or by a
// stopper closing them from another thread: the chooser leaves the buffer as
// it was, a question reads as No.
TEST(FolderChooser, CancelAndClosingFromAnotherThreadTable)
{
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    struct Case
    {
        const char* label;
        int kind;  // 0 chooser, 1 yes/no, 2 message
        bool byStopper;
        int expected;   // the call's result; a message has none
    } cases[] = {
        {"chooser cancelled by the user", 0, false, 0},
        {"chooser closed by a stopper", 0, true, 0},
        {"question closed by a stopper", 1, true, IDNO},
        {"message closed by a stopper", 2, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::wstring chosen = L"kept";
        int result = -1;
        CQuestionThread question([&] {
            switch (c.kind) {
            case 0: result = ShellJobUi().ChooseFolder(chosen, kTitle); break;
            case 1: result = ShellJobUi().AskYesNo(owner, "question?"); break;
            default: ShellJobUi().ShowMessage(owner, "message"); break;
            }
        });
        HWND dlg = question.WaitForDialog();
        ASSERT_NE(nullptr, dlg);
        if (c.kind != 0) {
            char caption[64] = "";
            ::GetWindowTextA(dlg, caption, sizeof caption);
            EXPECT_STREQ("MP3 Sorvane", caption);
            EXPECT_EQ(owner, ::GetWindow(dlg, GW_OWNER));
        }
        if (c.byStopper)
            EXPECT_EQ(1, CloseThreadModalWindows(question.Id()));
        else
            ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ASSERT_TRUE(question.WaitDone());
        EXPECT_FALSE(::IsWindow(dlg)) << "the window is gone when the call returns";
        EXPECT_EQ(c.expected, result);
        EXPECT_EQ(L"kept", chosen);
        EXPECT_TRUE(::IsWindowEnabled(owner));
    }
    ::DestroyWindow(owner);
}
