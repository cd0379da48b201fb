#include "afx/Controls.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include "afx/WidePath.h"

void CStatic::SetWindowText(const char* text)
{
    SetWindowText(WideFromText(text ? text : ""));
}

void CStatic::SetWindowText(const std::wstring& text)
{
    if (IsOwnThread()) {
        // An older text from another thread must not come back.
        m_pending.Lock()->bSet = false;
        ::SetWindowTextW(m_hWnd, text.c_str());
        return;
    }
    auto pending = m_pending.Lock();
    pending->strText = text;
    pending->bSet = true;
}

void CStatic::FlushDeferred()
{
    std::wstring text;
    {
        auto pending = m_pending.Lock();
        if (!pending->bSet)
            return;
        text.swap(pending->strText);
        pending->bSet = false;
    }
    ::SetWindowTextW(m_hWnd, text.c_str());
}

void CProgressCtrl::SetPos(int pos)
{
    auto p = m_pos.Lock();
    if (IsOwnThread()) {
        p->nPending = -1;
        if (pos != p->nShown || pos != GetPos())
            SendMessage(PBM_SETPOS, pos);
        p->nShown = pos;
        return;
    }
    p->nPending = pos;
}

void CProgressCtrl::FlushDeferred()
{
    auto p = m_pos.Lock();
    if (p->nPending < 0)
        return;
    if (p->nPending != p->nShown)
        SendMessage(PBM_SETPOS, p->nPending);
    p->nShown = p->nPending;
    p->nPending = -1;
}

std::wstring IListTextSource::GetCellTextW(int row, LPARAM data, int column)
{
    char text[1024] = "";
    GetCellText(row, data, column, text, sizeof text);
    return WideFromText(text);
}

int CListCtrl::InsertColumn(int column, const char* caption, int format, int width, int subItem)
{
    LVCOLUMNA col = {};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(caption);
    col.iSubItem = subItem;
    return int(SendMessage(LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::GetItemCount() const
{
    return int(m_rows.Lock()->size());
}

int CListCtrl::InsertItem(int /*nItem*/, LPARAM data)
{
    auto rows = m_rows.Lock();
    rows->push_back(data);
    return int(rows->size()) - 1;
}

LPARAM CListCtrl::GetItemData(int row) const
{
    auto rows = m_rows.Lock();
    return row >= 0 && size_t(row) < rows->size() ? (*rows)[row] : 0;
}

void CListCtrl::DeleteAllItems()
{
    {
        auto rows = m_rows.Lock();
        rows->clear();
        rows->shrink_to_fit();
    }
    m_nShown = 0;
    HideTip();
    m_nTipRow = -1;
    if (m_hWnd)
        SendMessage(LVM_SETITEMCOUNT, 0, 0);
}

namespace {

// Wine's list view, not Windows' own, needs the workarounds of GrowShownRows
// and ShowInfoTips.
bool RunsUnderWine()
{
    static const bool bWine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return bWine;
}

} // namespace

void CListCtrl::FlushDeferred()
{
    const int count = GetItemCount();
    if (count != m_nShown) {
        // Fewer rows is a new list, shown whole. Windows' list view takes a new
        // count as documented, repainting only what changes.
        if (count > m_nShown && ::IsWindowVisible(m_hWnd) && RunsUnderWine())
            GrowShownRows(count);
        else
            SendMessage(LVM_SETITEMCOUNT, count, count > m_nShown ? LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL : 0);
        m_nShown = count;
    }
    RedrawChangedStateImages();
}

void CListCtrl::RedrawStateImagesDeferred(int first, int last)
{
    if (first > last)
        return;
    auto changed = m_changed.Lock();
    if (changed->nFirst > changed->nLast) {
        changed->nFirst = first;
        changed->nLast = last;
    } else {
        changed->nFirst = std::min(changed->nFirst, first);
        changed->nLast = std::max(changed->nLast, last);
    }
}

void CListCtrl::RedrawChangedStateImages()
{
    ChangedRows rows;
    {
        auto changed = m_changed.Lock();
        rows = *changed;
        *changed = ChangedRows();
    }
    if (rows.nFirst > rows.nLast)
        return;
    // The rows out of view are drawn as they are when they come into view;
    // a pass changes the rows one by one, 100,000 of them.
    const int top = int(SendMessage(LVM_GETTOPINDEX));
    const int first = std::max(rows.nFirst, top);
    // The last row in view may be cut off at the bottom.
    const int last = std::min({rows.nLast, top + int(SendMessage(LVM_GETCOUNTPERPAGE)), m_nShown - 1});
    if (first > last)
        return;
    // Their first column alone, where the state images are: under Wine
    // every cell painted again costs.
    RECT upper = {}, lower = {};
    upper.left = lower.left = LVIR_BOUNDS;
    if (!SendMessage(LVM_GETITEMRECT, first, reinterpret_cast<LPARAM>(&upper)) ||
        !SendMessage(LVM_GETITEMRECT, last, reinterpret_cast<LPARAM>(&lower))) {
        RedrawItems(first, last);
        return;
    }
    const RECT area = {upper.left, upper.top, upper.left + int(SendMessage(LVM_GETCOLUMNWIDTH, 0)), lower.bottom};
    ::InvalidateRect(m_hWnd, &area, TRUE);
}

int CListCtrl::FindRow(int nFrom, int nStep, const std::function<bool(LPARAM)>& test) const
{
    auto rows = m_rows.Lock();
    const int n = std::min(int(rows->size()), m_nShown);
    if (n <= 0 || (nStep != 1 && nStep != -1))
        return -1;
    int row = ((nFrom % n) + n) % n;
    for (int k = 0; k < n; ++k, row = (row + nStep + n) % n) {
        if (test((*rows)[row]))
            return row;
    }
    return -1;
}

void CListCtrl::SelectRow(int row)
{
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessage(LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
    LVITEMA one = {};
    one.stateMask = one.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&one));
    SendMessage(LVM_SETSELECTIONMARK, 0, row);
    SendMessage(LVM_ENSUREVISIBLE, row, FALSE);
}

namespace {

// A scroll bar as it looks: where it is, its thumb and the state of its parts.
SCROLLBARINFO ScrollBarLook(HWND hWnd, LONG idObject)
{
    SCROLLBARINFO info = {};
    info.cbSize = sizeof info;
    ::GetScrollBarInfo(hWnd, idObject, &info);
    return info;
}

bool SameLook(const SCROLLBARINFO& a, const SCROLLBARINFO& b)
{
    return ::EqualRect(&a.rcScrollBar, &b.rcScrollBar) && a.xyThumbTop == b.xyThumbTop &&
           a.xyThumbBottom == b.xyThumbBottom && std::memcmp(a.rgstate, b.rgstate, sizeof a.rgstate) == 0;
}

// What of a list's look a new row count can change.
struct CListLook
{
    explicit CListLook(HWND hWnd)
        : style(::GetWindowLongA(hWnd, GWL_STYLE)),
          nTop(int(::SendMessageA(hWnd, LVM_GETTOPINDEX, 0, 0))),
          vert(ScrollBarLook(hWnd, OBJID_VSCROLL)),
          horz(ScrollBarLook(hWnd, OBJID_HSCROLL))
    {
        ::GetClientRect(hWnd, &client);
    }

    LONG style;
    RECT client;
    int nTop;
    SCROLLBARINFO vert;
    SCROLLBARINFO horz;
};

} // namespace

void CListCtrl::GrowShownRows(int count)
{
    // Under Wine only. A new row count makes Wine's owner-data list redraw
    // both of its scroll bars twice, whether they change or not: 20-60 ms on
    // the window's thread, several times a second during a scan. While the list is marked
    // invisible those redraws are skipped, and what did change is repainted
    // after: the new rows in view, a scroll bar that looks different. The
    // default procedure sets and clears the mark; the list's own handling of
    // it would redraw everything. (For that millisecond or two Windows would
    // pass a click on the list to the dialog; Wine reads the click only when
    // this thread next waits.)
    //
    // Clearing the mark also drops the list's pending repaint: that goes
    // first.
    ::UpdateWindow(m_hWnd);
    const CListLook before(m_hWnd);
    const int nLastInView = before.nTop + int(SendMessage(LVM_GETCOUNTPERPAGE));

    ::DefWindowProcA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    SendMessage(LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (m_nShown == 0) {
        // The list measures its rows at its first paint with rows, and
        // redraws its scroll bars then; a print into a scratch DC has it do
        // that now, unseen.
        if (HDC scratch = ::CreateCompatibleDC(nullptr)) {
            SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(scratch), PRF_CLIENT);
            ::DeleteDC(scratch);
        }
    }
    ::DefWindowProcA(m_hWnd, WM_SETREDRAW, TRUE, 0);
    const CListLook after(m_hWnd);

    if (after.style != before.style || !::EqualRect(&after.client, &before.client)) {
        // A scroll bar came: the frame is drawn anew, and what became part
        // of the rows' area. The rows keep their place, top left.
        RECT window, kept;
        ::GetWindowRect(m_hWnd, &window);
        ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&window), 2);
        ::IntersectRect(&kept, &after.client, &before.client);
        HRGN changed = ::CreateRectRgnIndirect(&window);
        HRGN unchanged = ::CreateRectRgnIndirect(&kept);
        ::CombineRgn(changed, changed, unchanged, RGN_DIFF);
        ::RedrawWindow(m_hWnd, nullptr, changed, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        ::DeleteObject(unchanged);
        ::DeleteObject(changed);
    } else {
        // A bar whose thumb moved or shrank is drawn again, alone: through
        // the frame, the whole frame would be.
        if (!SameLook(after.vert, before.vert))
            ::SetScrollPos(m_hWnd, SB_VERT, ::GetScrollPos(m_hWnd, SB_VERT), TRUE);
        if (!SameLook(after.horz, before.horz))
            ::SetScrollPos(m_hWnd, SB_HORZ, ::GetScrollPos(m_hWnd, SB_HORZ), TRUE);
    }
    // The first new row and the rest of the view below it; a last row shown
    // in part counts as in view.
    if (m_nShown <= nLastInView) {
        RECT row = {};
        row.left = LVIR_BOUNDS;
        if (SendMessage(LVM_GETITEMRECT, m_nShown, reinterpret_cast<LPARAM>(&row))) {
            RECT below = after.client;
            below.top = std::max(below.top, row.top);
            ::InvalidateRect(m_hWnd, &below, TRUE);
        }
    }
}

bool CListCtrl::OnReflectedNotify(NMHDR* hdr, LRESULT* result)
{
    if (hdr->code != LVN_GETDISPINFOA && hdr->code != LVN_GETDISPINFOW)
        return false;
    *result = 0;
    // Both notification forms start with the same item fields.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(hdr)->item;
    const bool bText = (item.mask & LVIF_TEXT) && item.cchTextMax > 0 && item.pszText;
    const bool bState = (item.mask & LVIF_STATE) && (item.stateMask & LVIS_STATEIMAGEMASK);
    if (!bText && !bState)
        return true;
    char text[1024] = "";
    LPARAM data = 0;
    bool exists;
    {
        auto rows = m_rows.Lock();
        exists = item.iItem >= 0 && size_t(item.iItem) < rows->size();
        if (exists)
            data = (*rows)[item.iItem];
    }
    if (bState) {
        const int image = exists && m_pSource ? m_pSource->GetStateImage(item.iItem, data) : 0;
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(image);
    }
    if (!bText)
        return true;
    if (hdr->code == LVN_GETDISPINFOA) {
        if (exists && m_pSource)
            m_pSource->GetCellText(item.iItem, data, item.iSubItem, text, sizeof text);
        lstrcpynA(item.pszText, text, item.cchTextMax);
    } else {
        // The whole text, names outside the code page included.
        auto* wide = reinterpret_cast<NMLVDISPINFOW*>(hdr);
        std::wstring cell;
        if (exists && m_pSource)
            cell = m_pSource->GetCellTextW(item.iItem, data, item.iSubItem);
        lstrcpynW(wide->item.pszText, cell.c_str(), wide->item.cchTextMax);
    }
    return true;
}

void CListCtrl::ShowInfoTips()
{
    SetExtendedStyle(GetExtendedStyle() | LVS_EX_INFOTIP);
    if (!RunsUnderWine() || m_pListProc)
        return;
    // The list's own procedure replaced, the object kept in the window's
    // user data: the common controls' subclassing keeps its data in a
    // window property, which under Wine is a round trip to its server for
    // every message the list gets, and during a pass that server is busy
    // with the files (the list's messages took 0.5 ms each).
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_pListProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TipProc)));
}

LRESULT CALLBACK CListCtrl::TipProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CListCtrl* self = reinterpret_cast<CListCtrl*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    const WNDPROC listProc = self->m_pListProc;
    switch (msg) {
    case WM_MOUSEMOVE: {
        // A tip is asked once the pointer rests on a row, as Windows' list
        // asks: the system tells (WM_MOUSEHOVER) when it has rested there.
        LVHITTESTINFO hit = {};
        hit.pt.x = GET_X_LPARAM(lp);
        hit.pt.y = GET_Y_LPARAM(lp);
        ::SendMessageW(hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        const int row = (hit.flags & LVHT_ONITEM) ? hit.iItem : -1;
        if (row != self->m_nTipRow) {
            self->HideTip();
            self->m_nTipRow = row;
            TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, hWnd, HOVER_DEFAULT};
            ::TrackMouseEvent(&track);
        }
        break;
    }
    case WM_MOUSEHOVER:
        if (self->m_nTipRow >= 0 && !self->m_bTipShown)
            self->ShowTip();
        break;
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_KEYDOWN:
        // The row under the pointer may be another now; the next move asks.
        self->HideTip();
        self->m_nTipRow = -1;
        break;
    case WM_NCDESTROY:
        if (self->m_hTip)
            ::DestroyWindow(self->m_hTip);
        self->m_hTip = nullptr;
        self->m_nTipRow = -1;
        self->m_bTipShown = false;
        // A window made again for the same object is subclassed anew.
        self->m_pListProc = nullptr;
        break;
    default:
        break;
    }
    return ::CallWindowProcW(listProc, hWnd, msg, wp, lp);
}

void CListCtrl::ShowTip()
{
    // The parent answers as it answers Windows' list: the same notification.
    std::vector<wchar_t> text(INFOTIPSIZE, L'\0');
    NMLVGETINFOTIPW ask = {};
    ask.hdr.hwndFrom = m_hWnd;
    ask.hdr.idFrom = UINT_PTR(::GetDlgCtrlID(m_hWnd));
    ask.hdr.code = LVN_GETINFOTIPW;
    // The row's text is not cut short here: there is none to add to.
    ask.dwFlags = LVGIT_UNFOLDED;
    ask.pszText = text.data();
    ask.cchTextMax = int(text.size());
    ask.iItem = m_nTipRow;
    ::SendMessageW(::GetParent(m_hWnd), WM_NOTIFY, ask.hdr.idFrom, reinterpret_cast<LPARAM>(&ask));
    text.back() = L'\0';
    if (!text[0])
        return;

    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = 1;
    if (!m_hTip) {
        m_hTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        if (!m_hTip)
            return;
        tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        tool.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_hTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        // A long path is folded, not cut off at the screen's edge.
        ::SendMessageW(m_hTip, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2);
    }
    tool.lpszText = text.data();
    ::SendMessageW(m_hTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    // Below the pointer, where tips show.
    POINT at;
    ::GetCursorPos(&at);
    at.y += ::GetSystemMetrics(SM_CYCURSOR) * 2 / 3;
    ::SendMessageW(m_hTip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    ::SendMessageW(m_hTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    m_bTipShown = true;
}

void CListCtrl::HideTip()
{
    if (!m_bTipShown)
        return;
    m_bTipShown = false;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = 1;
    ::SendMessageW(m_hTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}
