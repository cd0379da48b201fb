#pragma once
#include <windows.h>

#include <string>

// Private messages of this layer. WM_APP, never WM_USER: inside a dialog
// WM_USER + 1 is DM_SETDEFID.
enum : UINT {
    WM_APP_SYNC = WM_APP + 1,   // a worker asks the dialog to bring its controls up to date
    WM_APP_FIRST_FREE = WM_APP + 16,
};

// A window handle this object does not own; one message per method.
class CWnd
{
public:
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = nullptr; return h; }
    // True when the calling thread is the one that owns the window.
    bool IsOwnThread() const;

    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hWnd, msg, wp, lp); }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageA(m_hWnd, msg, wp, lp); }

    virtual void SetWindowText(const char* text);
    // Whole, for names outside the code page; the window must be Unicode.
    virtual void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::string GetWindowText() const;
    std::wstring GetWindowTextW() const;
    int GetWindowText(char* buf, int cb) const { return ::GetWindowTextA(m_hWnd, buf, cb); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetFont(HFONT font, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
    HICON SetIcon(HICON icon, BOOL big) { return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon))); }
    int MessageBox(const char* text, const char* caption, UINT type) const { return ::MessageBoxA(m_hWnd, text, caption, type); }

    // Controls whose updates may come from another thread override this to
    // bring the window up to date; their dialog calls it on its own thread.
    virtual void FlushDeferred() {}
    // A notification the control sent to its parent, handed back to it.
    virtual bool OnReflectedNotify(NMHDR* /*hdr*/, LRESULT* /*result*/) { return false; }

    HWND m_hWnd = nullptr;
};
