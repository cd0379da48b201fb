// The file list brought up to date with rows a worker added: what the screen
// shows afterwards is what a full repaint shows, and the refresh repaints no
// more of the list than changed.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "res/resource.h"
#include "tests/ui/UiTestSupport.h"

using namespace ui_test;

namespace {

class ListRefreshTest : public WorkDialogTest
{
protected:
    void SetUp() override
    {
        WorkDialogTest::SetUp();
        m_hList = m_dlg->GetDlgItem(IDC_FILE_LIST);
    }
    void TearDown() override
    {
        // The rows' entries are the test's; the list lets them go first.
        m_dlg->m_listFiles.DeleteAllItems();
        WorkDialogTest::TearDown();
        m_entries.clear();
    }

    // Rows a scan would have added, each with texts of its own.
    void AddRows(int n)
    {
        for (int i = 0; i < n; ++i) {
            const int row = int(m_entries.size());
            std::unique_ptr<MP3FileEntry> e(new MP3FileEntry());
            wchar_t path[128];
            std::swprintf(path, 128, L"\\\\?\\C:\\music\\폴더 %d\\노래 %05d.mp3", row % 7, row);
            e->SetWidePath(path);
            char text[64];
            std::snprintf(text, sizeof text, "가수 %d", row % 13);
            e->SetArtist(text);
            std::snprintf(text, sizeof text, "Album %d", row % 5);
            e->SetAlbum(text);
            std::snprintf(text, sizeof text, "%d", row % 20);
            e->SetTrack(text);
            std::snprintf(text, sizeof text, "제목 %d", row);
            e->SetTitle(text);
            e->SetGenre("Ballad");
            e->SetYear("2004");
            m_dlg->m_listFiles.InsertItem(row, reinterpret_cast<LPARAM>(e.get()));
            m_entries.push_back(std::move(e));
        }
    }
    // Rows added, brought to the window and painted.
    void ShowRows(int n)
    {
        AddRows(n);
        Flush();
        ::UpdateWindow(m_hList);
    }
    int RowHeight() const
    {
        RECT r = {};
        r.left = LVIR_BOUNDS;
        ::SendMessageA(m_hList, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        return r.bottom - r.top;
    }
    std::vector<DWORD> FullyRepainted() const
    {
        ::RedrawWindow(m_hList, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return Pixels(m_hList);
    }

    HWND m_hList = nullptr;
    std::vector<std::unique_ptr<MP3FileEntry>> m_entries;
};

} // namespace

TEST_F(ListRefreshTest, NewRowsShowAsAFullRepaintWouldAndOnlyTheRowsInViewAreRepainted)
{
    struct Case
    {
        const char* label;
        int shown;          // rows on screen before
        int down;           // rows scrolled down, then
        int right;          // pixels scrolled right, then
        int added;
    };
    const Case cases[] = {
        {"rows come into an empty list", 0, 0, 0, 3},
        {"rows fill the view and the scroll bar comes", 3, 0, 0, 200},
        {"rows come below the view: only the thumb changes", 200, 0, 0, 300},
        {"scrolled halfway: the thumb moves", 200, 100, 0, 300},
        {"scrolled to the end: the next row may come in part", 200, 200, 0, 300},
        {"scrolled right", 200, 0, 300, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        if (c.shown)
            ShowRows(c.shown);
        if (c.down || c.right) {
            // Wine's scrolled list differs from its repaint by a line under
            // the header; the refresh starts from the repaint.
            ::SendMessageA(m_hList, LVM_SCROLL, c.right, c.down * RowHeight());
            FullyRepainted();
        }
        const int top = int(::SendMessageA(m_hList, LVM_GETTOPINDEX, 0, 0));

        AddRows(c.added);
        Flush();

        EXPECT_EQ(c.shown + c.added, int(::SendMessageA(m_hList, LVM_GETITEMCOUNT, 0, 0)));
        EXPECT_TRUE(::IsWindowVisible(m_hList));
        EXPECT_EQ(top, int(::SendMessageA(m_hList, LVM_GETTOPINDEX, 0, 0))) << "the view stays where it was";
        // What the refresh left to repaint: the new rows in view, nothing above.
        RECT first = {}, client, pending;
        first.left = LVIR_BOUNDS;
        ::SendMessageA(m_hList, LVM_GETITEMRECT, c.shown, reinterpret_cast<LPARAM>(&first));
        ::GetClientRect(m_hList, &client);
        const bool newRowsInView = first.top < client.bottom;
        EXPECT_EQ(newRowsInView, ::GetUpdateRect(m_hList, &pending, FALSE) != FALSE);
        if (newRowsInView) {
            EXPECT_GE(pending.top, first.top);
        }

        ::UpdateWindow(m_hList);
        const std::vector<DWORD> refreshed = Pixels(m_hList);
        EXPECT_EQ(0, CountDifferent(refreshed, FullyRepainted()));

        // The scroll range covers every row: the last one can be reached.
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE;
        ::GetScrollInfo(m_hList, SB_VERT, &si);
        if (c.shown + c.added > int(::SendMessageA(m_hList, LVM_GETCOUNTPERPAGE, 0, 0))) {
            EXPECT_EQ(c.shown + c.added - 1, si.nMax);
        }
        ::SendMessageA(m_hList, LVM_ENSUREVISIBLE, c.shown + c.added - 1, FALSE);
        const int last = int(::SendMessageA(m_hList, LVM_GETTOPINDEX, 0, 0)) +
                         int(::SendMessageA(m_hList, LVM_GETCOUNTPERPAGE, 0, 0)) - 1;
        EXPECT_GE(last, c.shown + c.added - 1);
    }
}

TEST_F(ListRefreshTest, AHiddenListTakesItsRowsAndStaysHidden)
{
    ShowRows(5);
    ::ShowWindow(m_hList, SW_HIDE);
    AddRows(100);
    Flush();
    EXPECT_FALSE(::IsWindowVisible(m_hList));
    EXPECT_EQ(105, int(::SendMessageA(m_hList, LVM_GETITEMCOUNT, 0, 0)));

    ::ShowWindow(m_hList, SW_SHOW);
    ::UpdateWindow(m_hList);
    const std::vector<DWORD> shown = Pixels(m_hList);
    EXPECT_EQ(0, CountDifferent(shown, FullyRepainted()));
}

TEST_F(ListRefreshTest, ARepaintPendingWhenRowsComeIsNotLost)
{
    ShowRows(200);
    // Say the window was uncovered, and the rows come before it repaints.
    ::RedrawWindow(m_hList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    HDC dc = ::GetWindowDC(m_hList);
    RECT all;
    ::GetWindowRect(m_hList, &all);
    ::OffsetRect(&all, -all.left, -all.top);
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(m_hList, dc);

    AddRows(100);
    Flush();
    ::UpdateWindow(m_hList);
    const std::vector<DWORD> refreshed = Pixels(m_hList);
    EXPECT_EQ(0, CountDifferent(refreshed, FullyRepainted()));
}
