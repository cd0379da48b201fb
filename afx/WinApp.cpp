#include "afx/WinApp.h"

namespace {
CWinApp* g_pApp = nullptr;
DWORD g_nAppThread = 0;
}

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HWND AfxGetMainWndHandle()
{
    if (!g_pApp || !g_pApp->m_pMainWnd || ::GetCurrentThreadId() != g_nAppThread)
        return nullptr;
    return g_pApp->m_pMainWnd->m_hWnd;
}

// The program's entry: the application object's start-up is all it does.
int AfxWinMain()
{
    g_nAppThread = ::GetCurrentThreadId();
    if (g_pApp)
        g_pApp->InitInstance();
    return 0;
}
