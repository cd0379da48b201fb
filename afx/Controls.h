#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "afx/Wnd.h"

// Thin wrappers over a dialog's controls. They do not own the windows.
//
// The static text, the progress bar and the list may be written by a worker
// thread. Such a write never waits for the window's thread: it lands in a
// slot, and the dialog brings the window up to date on its own thread
// (CDialog::FlushControls, on a timer and on WM_APP_SYNC). Written from the
// window's own thread, they take effect at once.

// State a writer thread and the window's thread share, behind a lock of its
// own.
template <class T>
class CWriterShared
{
public:
    // The state, locked while this lives.
    class Locked
    {
    public:
        Locked(std::mutex& lock, T& data) : m_guard(lock), m_data(data) {}
        T* operator->() const { return &m_data; }
        T& operator*() const { return m_data; }

    private:
        std::lock_guard<std::mutex> m_guard;
        T& m_data;
    };

    CWriterShared() = default;
    CWriterShared(const CWriterShared&) = delete;
    CWriterShared& operator=(const CWriterShared&) = delete;

    Locked Lock() const { return Locked(m_lock, m_data); }

private:
    mutable std::mutex m_lock;
    mutable T m_data;
};

class CButton : public CWnd {};
class CEdit : public CWnd {};

class CStatic : public CWnd
{
public:
    void SetWindowText(const char* text) override;
    // Whole: names outside the code page show as they are.
    void SetWindowText(const std::wstring& text) override;
    void FlushDeferred() override;

private:
    struct Pending
    {
        std::wstring strText;
        bool bSet = false;
    };
    CWriterShared<Pending> m_pending;
};

class CComboBox : public CWnd
{
public:
    int AddString(const char* text) { return int(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int SetCurSel(int index) { return int(SendMessage(CB_SETCURSEL, index)); }
    int GetCurSel() const { return int(SendMessage(CB_GETCURSEL)); }
    int GetCount() const { return int(SendMessage(CB_GETCOUNT)); }
};

class CProgressCtrl : public CWnd
{
public:
    void SetRange(int lower, int upper) { SendMessage(PBM_SETRANGE32, lower, upper); }
    // Touches the window only when the position changes.
    void SetPos(int pos);
    int GetPos() const { return int(SendMessage(PBM_GETPOS)); }
    void FlushDeferred() override;

private:
    struct Positions
    {
        int nPending = -1;
        int nShown = -1;
    };
    CWriterShared<Positions> m_pos;
};

// Supplies the texts of a virtual list's cells from the rows' data values,
// and each row's state image.
class IListTextSource
{
public:
    virtual void GetCellText(int row, LPARAM data, int column, char* buf, int cb) = 0;
    // The same whole, for a list that shows UTF-16; by default the CP949 text.
    virtual std::wstring GetCellTextW(int row, LPARAM data, int column);
    // The row's state image, one-based in the list's state image list; 0
    // for none. Asked only with LVIS_STATEIMAGEMASK in the callback mask.
    virtual int GetStateImage(int /*row*/, LPARAM /*data*/) { return 0; }

protected:
    ~IListTextSource() = default;
};

// A report list in owner-data mode over a row store: rows are only appended
// and only removed all together; each row is one data value, and the texts are
// drawn from it when the list paints. The template must give LVS_OWNERDATA.
class CListCtrl : public CWnd
{
public:
    void SetTextSource(IListTextSource* source) { m_pSource = source; }

    DWORD GetExtendedStyle() const { return DWORD(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    void SetExtendedStyle(DWORD style) { SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style); }
    void SetCallbackMask(UINT mask) { SendMessage(LVM_SETCALLBACKMASK, mask); }
    // Which is LVSIL_STATE and the like; the list destroys it when it goes.
    void SetImageList(HIMAGELIST images, int which)
    {
        SendMessage(LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images));
    }
    // Info tips: with LVS_EX_INFOTIP set, the parent answers LVN_GETINFOTIPW
    // (or A) for the row under the resting pointer. Windows' list view asks
    // by itself; Wine's has no info tips, so there a tip window of this
    // list's asks in the same words.
    void ShowInfoTips();
    int InsertColumn(int column, const char* caption, int format, int width, int subItem);

    // Rows in the store (the window may not show the newest ones yet).
    int GetItemCount() const;
    // Appends a row carrying the data value; returns its index. Rows are only
    // ever appended, so nItem is the current count.
    int InsertItem(int nItem, LPARAM data);
    LPARAM GetItemData(int row) const;
    // Rows and their data values go; releasing what they point at is the
    // caller's. Only on the window's thread, with no writer running.
    void DeleteAllItems();
    // Repaints rows whose data changed.
    void RedrawItems(int first, int last) { SendMessage(LVM_REDRAWITEMS, first, last); }
    // The rows' state images changed; from any thread, without waiting: the
    // rows in view among them are repainted at the next flush.
    void RedrawStateImagesDeferred(int first, int last);

    // The first row shown, from nFrom on going nStep (1 or -1) and round at
    // the ends, whose data value passes test; -1 when none does. Only on
    // the window's thread.
    int FindRow(int nFrom, int nStep, const std::function<bool(LPARAM)>& test) const;
    // Selects the row alone and scrolls it into view.
    void SelectRow(int row);

    void FlushDeferred() override;
    bool OnReflectedNotify(NMHDR* hdr, LRESULT* result) override;


private:
    // Shows more rows, repainting only what that changes on screen, around
    // Wine's list view (see FlushDeferred).
    void GrowShownRows(int count);

    // Repaints the state images in view that changed since the last flush.
    void RedrawChangedStateImages();

    // The tip of Wine's list (see ShowInfoTips).
    static LRESULT CALLBACK TipProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp);
    void ShowTip();
    void HideTip();

    struct ChangedRows
    {
        int nFirst = 0;
        int nLast = -1;
    };

    CWriterShared<std::vector<LPARAM>> m_rows;
    CWriterShared<ChangedRows> m_changed;
    int m_nShown = 0;
    IListTextSource* m_pSource = nullptr;
    HWND m_hTip = nullptr;
    WNDPROC m_pListProc = nullptr;
    // The row under the pointer whose tip is awaited or shown; -1 none.
    int m_nTipRow = -1;
    bool m_bTipShown = false;
};
