#include "ui/FolderChooser.h"

#include <cstring>

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
    m_szTitle[0] = m_szPath[0] = 0;
    if (title)
        lstrcpynA(m_szTitle, title, sizeof m_szTitle);
}

int CBrowseFolderDialog::DoModal()
{
    CComScope com;
    m_szPath[0] = 0;
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
    bi.lpfn = BrowseCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(this);
    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&bi);
    Detach();
    if (!pidl)
        return IDCANCEL;
    wchar_t path[MAX_PATH] = {};
    m_strPathW = ::SHGetPathFromIDListW(pidl, path) ? path : L"";
    lstrcpynA(m_szPath, TextFromWide(m_strPathW).c_str(), sizeof m_szPath);
    ::CoTaskMemFree(pidl);
    return IDOK;
}

int CALLBACK CBrowseFolderDialog::BrowseCallbackProc(HWND hWnd, UINT msg, LPARAM, LPARAM lpData)
{
    if (msg == BFFM_INITIALIZED)
        reinterpret_cast<CBrowseFolderDialog*>(lpData)->Attach(hWnd);
    return 0;
}

int ChooseFolder(char* buf, const char* title)
{
    std::wstring path;
    if (!ChooseFolder(path, title))
        return 0;
    const std::string text = TextFromWide(path);
    if (!text.empty()) {
        const size_t copied = text.size() < 1024 ? text.size() : 1024;
        std::memcpy(buf, text.data(), copied);
        buf[copied] = 0;
    }
    return 1;
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
