#include "app/MP3SorvaneApp.h"

#include <windows.h>
#include <commctrl.h>

#include "app/LauncherDlg.h"
#include "web/VersionCheck.h"

CMP3SorvaneApp theApp;

namespace {
const char kInstanceMutex[] = "MP3_Sorvane.exe";
const char kRegistryKey[] = "로컬 응용 프로그램 마법사에서 생성된 응용 프로그램";
}

BOOL CMP3SorvaneApp::InitInstance()
{
    // A second start in the same session ends before it makes a request.
    // The first instance keeps the handle until the process ends.
    HANDLE hMutex = ::CreateMutexA(nullptr, TRUE, kInstanceMutex);
    if (!hMutex)
        return FALSE;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(hMutex);
        return FALSE;
    }

    // The update notice's links are SysLink controls, which the Win95 set of
    // classes does not register.
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    ::InitCommonControlsEx(&icc);
    CWinAppEx::InitInstance();
    SetRegistryKey(kRegistryKey);

    ::OutputDebugStringA(SORVANE_SITE_BASE);

    RunUsagePing();
    if (!RunVersionCheck())
        return FALSE;

    CMP3SorvaneDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
