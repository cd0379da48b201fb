#pragma once
#include <windows.h>

#include "afx/Wnd.h"

// The application object: one global whose InitInstance is the whole program
// (dialog-based: it runs modal dialogs and returns FALSE).
class CWinApp
{
public:
    CWinApp();
    virtual ~CWinApp();
    virtual BOOL InitInstance() { return TRUE; }
    // The name under which settings would be kept; nothing is stored.
    void SetRegistryKey(const char* key) { m_pszRegistryKey = key; }

    CWnd* m_pMainWnd = nullptr;
    const char* m_pszRegistryKey = nullptr;
};

class CWinAppEx : public CWinApp
{
public:
    explicit CWinAppEx(BOOL /*bResourceSmartUpdate*/ = FALSE) {}
};

CWinApp* AfxGetApp();
// The application's main window when the calling thread is the one that runs
// it; null otherwise (a worker thread has none).
HWND AfxGetMainWndHandle();
