#include "ui/ShellJobUi.h"

#include <cstring>

#include "res/Texts.h"
#include "ui/FolderChooser.h"

namespace {

bool IsDialogWindow(HWND hWnd)
{
    char name[16];
    return ::GetClassNameA(hWnd, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

bool HasButton(HWND hDlg, int id)
{
    HWND h = ::GetDlgItem(hDlg, id);
    return h && ::IsWindowVisible(h);
}

BOOL CALLBACK CloseOne(HWND hWnd, LPARAM lp)
{
    if (!IsDialogWindow(hWnd))
        return TRUE;
    // The answer a user gives by backing out: Cancel where there is one (the
    // chooser), No for a question, OK for a plain message.
    int id = IDOK;
    if (HasButton(hWnd, IDCANCEL))
        id = IDCANCEL;
    else if (HasButton(hWnd, IDNO))
        id = IDNO;
    ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, id)));
    ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

} // namespace

int CShellJobUi::ChooseFolder(std::wstring& path, const char* title)
{
    return ::ChooseFolder(path, title);
}

int CShellJobUi::AskYesNo(HWND owner, const char* text)
{
    return ::MessageBoxA(owner, text, TEXT_CAPTION, MB_YESNO);
}

void CShellJobUi::ShowMessage(HWND owner, const char* text)
{
    ::MessageBoxA(owner, text, TEXT_CAPTION, MB_OK);
}

void CShellJobUi::ShowWarning(HWND owner, const char* text)
{
    ::MessageBoxA(owner, text, TEXT_CAPTION, MB_OK | MB_ICONWARNING);
}

IJobUi& ShellJobUi()
{
    static CShellJobUi s_ui;
    return s_ui;
}

int CloseThreadModalWindows(DWORD dwThreadId)
{
    int nClosed = 0;
    ::EnumThreadWindows(dwThreadId, CloseOne, reinterpret_cast<LPARAM>(&nClosed));
    return nClosed;
}
