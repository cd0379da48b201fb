#pragma once
#include <windows.h>
#include <commctrl.h>

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
// own. A writer ended by force may die inside the lock, leaving it held for
// ever and the state half written: RecoverFromKilledWriter then leaves both
// behind, never touched nor freed again, and starts afresh, so that nothing
// after a forced end waits on the dead thread.
template <class T>
class CWriterShared
{
    struct Slot
    {
        std::mutex lock;
        T data;
    };

public:
    // The state, locked while this lives.
    class Locked
    {
    public:
        explicit Locked(Slot& slot) : m_guard(slot.lock), m_data(slot.data) {}
        T* operator->() const { return &m_data; }
        T& operator*() const { return m_data; }

    private:
        std::lock_guard<std::mutex> m_guard;
        T& m_data;
    };

    CWriterShared() : m_pSlot(new Slot) {}
    ~CWriterShared() { delete m_pSlot; }
    CWriterShared(const CWriterShared&) = delete;
    CWriterShared& operator=(const CWriterShared&) = delete;

    Locked Lock() const { return Locked(*m_pSlot); }

    // Only on the window's thread, once the writer is gone. True when it had
    // died holding the lock: the state it held is abandoned, a fresh one in
    // its place.
    bool RecoverFromKilledWriter()
    {
        if (m_pSlot->lock.try_lock()) {
            m_pSlot->lock.unlock();
            return false;
        }
        m_pSlot = new Slot;
        return true;
    }

private:
    Slot* m_pSlot;
};

// The same for a plain lock over data that is not its own (say the rows'
// entries, which a worker only reads under it). On the window's thread, once
// the writer is gone: a lock left held is replaced by a fresh one in its
// place; the old one is neither unlocked nor destroyed, and no one waits on
// it. True when it was held.
bool ReplaceLockLeftHeld(std::mutex& lock);

class CButton : public CWnd {};
class CEdit : public CWnd {};

class CStatic : public CWnd
{
public:
    void SetWindowText(const char* text) override;
    // Whole: names outside the code page show as they are.
    void SetWindowText(const std::wstring& text) override;
    void FlushDeferred() override;
    // See CWriterShared: a text a killed writer was leaving is dropped.
    void RecoverFromKilledWriter() { m_pending.RecoverFromKilledWriter(); }

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
    // See CWriterShared: a position a killed writer was leaving is dropped.
    void RecoverFromKilledWriter() { m_pos.RecoverFromKilledWriter(); }

private:
    struct Positions
    {
        int nPending = -1;
        int nShown = -1;
    };
    CWriterShared<Positions> m_pos;
};

// Supplies the texts of a virtual list's cells from the rows' data values.
class IListTextSource
{
public:
    virtual void GetCellText(int row, LPARAM data, int column, char* buf, int cb) = 0;
    // The same whole, for a list that shows UTF-16; by default the CP949 text.
    virtual std::wstring GetCellTextW(int row, LPARAM data, int column);

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

    void FlushDeferred() override;
    bool OnReflectedNotify(NMHDR* hdr, LRESULT* result) override;

    // See CWriterShared. When the killed writer held the row store, the rows
    // go, and what their data values point at is never released: the store
    // may be half grown, and reading it could free what was never there.
    void RecoverFromKilledWriter() { m_rows.RecoverFromKilledWriter(); }

private:
    // Shows more rows, repainting only what that changes on screen.
    void GrowShownRows(int count);

    CWriterShared<std::vector<LPARAM>> m_rows;
    int m_nShown = 0;
    IListTextSource* m_pSource = nullptr;
};
