#include "afx/Controls.h"

void CStatic::SetWindowText(const char* text)
{
    if (IsOwnThread()) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_bPending = false; // an older text from another thread must not come back
        }
        ::SetWindowTextA(m_hWnd, text);
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_strPending = text;
    m_bPending = true;
}

void CStatic::FlushDeferred()
{
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bPending)
            return;
        text.swap(m_strPending);
        m_bPending = false;
    }
    ::SetWindowTextA(m_hWnd, text.c_str());
}

void CProgressCtrl::SetPos(int pos)
{
    if (IsOwnThread()) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_nPending = -1;
        if (pos != m_nShown || pos != GetPos())
            SendMessage(PBM_SETPOS, pos);
        m_nShown = pos;
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_nPending = pos;
}

void CProgressCtrl::FlushDeferred()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_nPending < 0)
        return;
    if (m_nPending != m_nShown)
        SendMessage(PBM_SETPOS, m_nPending);
    m_nShown = m_nPending;
    m_nPending = -1;
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
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_rows.size());
}

int CListCtrl::InsertItem(int /*nItem*/, LPARAM data)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_rows.push_back(data);
    return int(m_rows.size()) - 1;
}

LPARAM CListCtrl::GetItemData(int row) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[row] : 0;
}

void CListCtrl::DeleteAllItems()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_rows.clear();
        m_rows.shrink_to_fit();
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
        std::lock_guard<std::mutex> lock(m_lock);
        exists = item.iItem >= 0 && size_t(item.iItem) < m_rows.size();
        if (exists)
            data = m_rows[item.iItem];
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
