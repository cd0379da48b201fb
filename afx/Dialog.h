#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "afx/Wnd.h"

class CDialog;

// Binds control wrappers to the dialog's controls, in DoDataExchange.
class CDataExchange
{
public:
    explicit CDataExchange(CDialog* dlg) : m_pDlg(dlg) {}
    CDialog* m_pDlg;
};
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// One row of a dialog's message map: a message (and, for commands and
// notifications, a control id and code) and the member that handles it.
template <class T>
struct TMessageEntry
{
    UINT message;
    UINT id;
    UINT code;
    void (T::*pfnVoid)();
    void (T::*pfnNotify)(NMHDR*, LRESULT*);

    static constexpr TMessageEntry Message(UINT msg, void (T::*fn)()) { return {msg, 0, 0, fn, nullptr}; }
    static constexpr TMessageEntry Clicked(UINT id, void (T::*fn)()) { return {WM_COMMAND, id, BN_CLICKED, fn, nullptr}; }
    static constexpr TMessageEntry Notify(UINT id, UINT code, void (T::*fn)(NMHDR*, LRESULT*))
    {
        return {WM_NOTIFY, id, code, nullptr, fn};
    }
};

// Finds the row for a message in a map and calls its handler.
template <class T, size_t N>
bool DispatchMessageMap(T* self, const TMessageEntry<T> (&map)[N], UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    for (const auto& e : map) {
        if (e.message != msg)
            continue;
        if (msg == WM_COMMAND) {
            if (LOWORD(wp) != e.id || HIWORD(wp) != e.code)
                continue;
        } else if (msg == WM_NOTIFY) {
            const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
            if (hdr->idFrom != e.id || hdr->code != e.code)
                continue;
            *result = 0;
            (self->*e.pfnNotify)(reinterpret_cast<NMHDR*>(lp), result);
            return true;
        }
        *result = 0;
        (self->*e.pfnVoid)();
        return true;
    }
    return false;
}

// A dialog built from a numbered template. One static procedure stores the
// object at WM_INITDIALOG and forwards every message to virtual handlers.
class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CDialog() override;

    // Modal: returns the value given to EndDialog, or -1 when the template
    // cannot be loaded.
    virtual INT_PTR DoModal();
    // Modeless, for callers that run their own message loop (tests, benches).
    BOOL Create(HWND hParent = nullptr);
    void DestroyWindow();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The dialog's message map; true when it handled the message.
    virtual bool OnWndMsg(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

    // Brings every bound control up to date with what other threads wrote.
    void FlushControls();
    // From another thread: waits up to nTimeoutMs for the dialog's thread to
    // run FlushControls. True when it did, or when there is no window to wait
    // for.
    bool WaitControlsFlushed(UINT nTimeoutMs) const;

    void AddBoundControl(CWnd* control) { m_bound.push_back(control); }

    // The module whose resources hold the templates (the program's own).
    static HINSTANCE ResourceModule();

protected:
    UINT m_nIDTemplate;
    HWND m_hParent = nullptr;
    bool m_bModal = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void ForgetWindow();

    std::vector<CWnd*> m_bound;
    UINT_PTR m_nSyncTimer = 0;
};
