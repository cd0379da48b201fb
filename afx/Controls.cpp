#include "afx/Controls.h"

#include <new>

bool ReplaceLockLeftHeld(std::mutex& lock)
{
    if (lock.try_lock()) {
        lock.unlock();
        return false;
    }
    // Its storage is reused without its destructor, which must not run on a
    // held lock; what the old one holds of the system's stays allocated.
    new (&lock) std::mutex;
    return true;
}

void CStatic::SetWindowText(const char* text)
{
    if (IsOwnThread()) {
        // An older text from another thread must not come back.
        m_pending.Lock()->bSet = false;
        ::SetWindowTextA(m_hWnd, text);
        return;
    }
    auto pending = m_pending.Lock();
    pending->strText = text;
    pending->bSet = true;
}

void CStatic::FlushDeferred()
{
    std::string text;
    {
        auto pending = m_pending.Lock();
        if (!pending->bSet)
            return;
        text.swap(pending->strText);
        pending->bSet = false;
    }
    ::SetWindowTextA(m_hWnd, text.c_str());
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
    if (m_hWnd)
        SendMessage(LVM_SETITEMCOUNT, 0, 0);
}

void CListCtrl::FlushDeferred()
{
    const int count = GetItemCount();
    if (count == m_nShown)
        return;
    SendMessage(LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    m_nShown = count;
}

bool CListCtrl::OnReflectedNotify(NMHDR* hdr, LRESULT* result)
{
    if (hdr->code != LVN_GETDISPINFOA && hdr->code != LVN_GETDISPINFOW)
        return false;
    *result = 0;
    // Both notification forms start with the same item fields.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(hdr)->item;
    if (!(item.mask & LVIF_TEXT) || item.cchTextMax <= 0 || !item.pszText)
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
    if (exists && m_pSource)
        m_pSource->GetCellText(item.iItem, data, item.iSubItem, text, sizeof text);
    if (hdr->code == LVN_GETDISPINFOA) {
        lstrcpynA(item.pszText, text, item.cchTextMax);
    } else {
        auto* wide = reinterpret_cast<NMLVDISPINFOW*>(hdr);
        if (!::MultiByteToWideChar(CP_ACP, 0, text, -1, wide->item.pszText, wide->item.cchTextMax))
            wide->item.pszText[0] = 0;
    }
    return true;
}
