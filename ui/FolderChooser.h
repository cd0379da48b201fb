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
    ~CBrowseFolderDialog() override;

    virtual void SetOptions(UINT nFlags, const char* title, int nRootFolder);
    // which 1: the chosen path, else the display name. Copies at most n bytes
    // and a zero after them (buf holds n + 1); 0 and buf untouched when empty.
    virtual int GetFolderPath(char* buf, int n, int which) const;
    virtual void GetFolderPath(std::string& out, int which) const;
    virtual int Browse();
    virtual int BrowseFromFolder(int nCsidl);
    // A path of MAX_PATH bytes or more is not preselected: cut, it would name
    // another place.
    virtual int BrowseFromPath(const char* path);
    // Clears the choice and the preselection; root, flags and title stay.
    virtual void ResetBrowse();
    // IDOK when an item was chosen, IDCANCEL when cancelled, -1 when a CSIDL
    // does not resolve.
    virtual int DoModal();
    virtual BOOL GetSpecialFolderIDList(int nCsidl, LPITEMIDLIST* ppidl);
    virtual void FreeIDLists(LPITEMIDLIST pidl);
    virtual BOOL OnInitialized();
    virtual void OnSelChanged(HWND hWnd, LPCITEMIDLIST pidl);
    virtual void OnValidateFailed(const char* name);

    static int CALLBACK BrowseCallbackProc(HWND hWnd, UINT msg, LPARAM lParam, LPARAM lpData);

    LPITEMIDLIST m_pidlRoot;
    LPITEMIDLIST m_pidlSelect;
    int m_nRootFolder;
    int m_nSelectFolder;
    char m_szSelectPath[MAX_PATH];
    char m_szPath[MAX_PATH];      // the chosen path as the user reads it
    std::wstring m_strPathW;      // the chosen path exactly
    char m_szDisplayName[MAX_PATH];
    UINT m_nFlags;
    char m_szTitle[256];
};

// The one folder question of the program: 1 with the chosen path in buf
// (1025 bytes; left as it was when the item has no file-system path), 0 when
// the user cancelled, buf untouched.
int ChooseFolder(char* buf, const char* title);
// The same with the chosen path exactly, for reaching it.
int ChooseFolder(std::wstring& path, const char* title);
