#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

// The shell's folder browser, offering files as well as folders.
class CBrowseFolderDialog
{
public:
    explicit CBrowseFolderDialog(const char* title = nullptr);

    // IDOK when an item was chosen (m_strPathW holds its path, of any depth,
    // empty when it has none in the file system), IDCANCEL when cancelled.
    int DoModal();

    UINT m_nFlags;
    char m_szTitle[256];
    std::wstring m_strPathW;      // the chosen path exactly
};

// The one folder question of the program: 1 with the chosen path exactly
// (left as it was when the item has no file-system path), 0 when the user
// cancelled, the path untouched.
int ChooseFolder(std::wstring& path, const char* title);
