#include "ui/FolderChooser.h"

#include "afx/WidePath.h"

namespace {

// The shell's browser needs COM on the calling thread; a worker thread may
// not have it yet.
class CComScope
{
public:
    CComScope() : m_bInit(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~CComScope()
    {
        if (m_bInit)
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    bool m_bInit;
};

} // namespace

CBrowseFolderDialog::CBrowseFolderDialog(const char* title) : m_nFlags(BIF_BROWSEINCLUDEFILES)
{
    m_szTitle[0] = 0;
    if (title)
        lstrcpynA(m_szTitle, title, sizeof m_szTitle);
}

int CBrowseFolderDialog::DoModal()
{
    CComScope com;
    m_strPathW.clear();
    // No owner: the jobs ask on a worker thread, and the work window stays
    // usable while the chooser is open. The wide chooser: a folder whose name
    // the Korean code page cannot spell is chosen exactly.
    const std::wstring title = WideFromText(m_szTitle);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW bi = {};
    bi.hwndOwner = nullptr;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = m_nFlags;
    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&bi);
    if (!pidl)
        return IDCANCEL;
    // The longest path the system names; the classic call stops at MAX_PATH.
    std::wstring path(32768, L'\0');
    m_strPathW = ::SHGetPathFromIDListEx(pidl, &path[0], DWORD(path.size()), GPFIDL_DEFAULT) ? path.c_str() : L"";
    ::CoTaskMemFree(pidl);
    return IDOK;
}

int ChooseFolder(std::wstring& path, const char* title)
{
    CBrowseFolderDialog dlg(title);
    if (dlg.DoModal() != IDOK)
        return 0;
    if (!dlg.m_strPathW.empty())
        path = dlg.m_strPathW;
    return 1;
}
