#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "afx/Wnd.h"

// The shell's folder browser, offering files as well as folders. It creates
// no window of its own: while the shell's chooser is open the object wraps
// that window (from its BFFM_INITIALIZED until it closes).
class CBrowseFolderDialog : public CWnd
{
public:
    explicit CBrowseFolderDialog(const char* title = nullptr);

    // IDOK when an item was chosen (m_szPath and m_strPathW hold its path,
    // empty when it has none in the file system), IDCANCEL when cancelled.
    virtual int DoModal();

    static int CALLBACK BrowseCallbackProc(HWND hWnd, UINT msg, LPARAM lParam, LPARAM lpData);

    UINT m_nFlags;
    char m_szTitle[256];
    char m_szPath[MAX_PATH];      // the chosen path as the user reads it
    std::wstring m_strPathW;      // the chosen path exactly
};

// The one folder question of the program: 1 with the chosen path in buf
// (1025 bytes; left as it was when the item has no file-system path), 0 when
// the user cancelled, buf untouched.
int ChooseFolder(char* buf, const char* title);
// The same with the chosen path exactly, for reaching it.
int ChooseFolder(std::wstring& path, const char* title);
