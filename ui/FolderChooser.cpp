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

CBrowseFolderDialog::CBrowseFolderDialog(const char* title)
    : m_pidlRoot(nullptr), m_pidlSelect(nullptr), m_nRootFolder(0), m_nSelectFolder(0),
      m_nFlags(BIF_BROWSEINCLUDEFILES)
{
    m_szSelectPath[0] = m_szPath[0] = m_szDisplayName[0] = m_szTitle[0] = 0;
    if (title)
        lstrcpynA(m_szTitle, title, sizeof m_szTitle);
}

CBrowseFolderDialog::~CBrowseFolderDialog()
{
    FreeIDLists(nullptr);
}

void CBrowseFolderDialog::SetOptions(UINT nFlags, const char* title, int nRootFolder)
{
    m_nFlags = nFlags;
    m_nRootFolder = nRootFolder;
    if (title)
        lstrcpynA(m_szTitle, title, sizeof m_szTitle);
}

int CBrowseFolderDialog::GetFolderPath(char* buf, int n, int which) const
{
    const char* source = which == 1 ? m_szPath : m_szDisplayName;
    const int len = int(std::strlen(source));
    if (len == 0 || !buf)
        return 0;
    const int copied = n < 0 ? 0 : (len < n ? len : n);
    std::memcpy(buf, source, copied);
    buf[copied] = 0;
    return copied;
}

void CBrowseFolderDialog::GetFolderPath(std::string& out, int which) const
{
    out = which == 1 ? m_szPath : m_szDisplayName;
}

int CBrowseFolderDialog::Browse()
{
    ResetBrowse();
    return DoModal();
}

int CBrowseFolderDialog::BrowseFromFolder(int nCsidl)
{
    ResetBrowse();
    m_nSelectFolder = nCsidl;
    return DoModal();
}

int CBrowseFolderDialog::BrowseFromPath(const char* path)
{
    ResetBrowse();
    if (path && std::strlen(path) < sizeof m_szSelectPath)
        lstrcpynA(m_szSelectPath, path, sizeof m_szSelectPath);
    return DoModal();
}

void CBrowseFolderDialog::ResetBrowse()
{
    FreeIDLists(nullptr);
    m_nSelectFolder = 0;
    m_szSelectPath[0] = m_szPath[0] = m_szDisplayName[0] = 0;
    m_strPathW.clear();
}

int CBrowseFolderDialog::DoModal()
{
    CComScope com;
    if (!GetSpecialFolderIDList(m_nRootFolder, &m_pidlRoot))
        return -1;
    if (!GetSpecialFolderIDList(m_nSelectFolder, &m_pidlSelect)) {
        FreeIDLists(nullptr);
        return -1;
    }

    // No owner: the jobs ask on a worker thread, and the work window stays
    // usable while the chooser is open. The wide chooser: a folder whose name
    // the Korean code page cannot spell is chosen exactly.
    const std::wstring title = WideFromText(m_szTitle);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW bi = {};
    bi.hwndOwner = nullptr;
    bi.pidlRoot = m_pidlRoot;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = m_nFlags;
    bi.lpfn = BrowseCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(this);
    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&bi);
    Detach();
    if (!pidl) {
        FreeIDLists(nullptr);
        return IDCANCEL;
    }
    lstrcpynA(m_szDisplayName, TextFromWide(displayName).c_str(), sizeof m_szDisplayName);
    wchar_t path[MAX_PATH] = {};
    m_strPathW = ::SHGetPathFromIDListW(pidl, path) ? path : L"";
    lstrcpynA(m_szPath, TextFromWide(m_strPathW).c_str(), sizeof m_szPath);
    FreeIDLists(pidl);
    return IDOK;
}

BOOL CBrowseFolderDialog::GetSpecialFolderIDList(int nCsidl, LPITEMIDLIST* ppidl)
{
    if (nCsidl == 0) {
        *ppidl = nullptr;
        return TRUE;
    }
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, nCsidl, &pidl)) || !pidl)
        return FALSE;
    *ppidl = pidl;
    return TRUE;
}

void CBrowseFolderDialog::FreeIDLists(LPITEMIDLIST pidl)
{
    ::CoTaskMemFree(pidl);
    ::CoTaskMemFree(m_pidlRoot);
    ::CoTaskMemFree(m_pidlSelect);
    m_pidlRoot = m_pidlSelect = nullptr;
}

BOOL CBrowseFolderDialog::OnInitialized()
{
    return TRUE;
}

void CBrowseFolderDialog::OnSelChanged(HWND, LPCITEMIDLIST) {}

void CBrowseFolderDialog::OnValidateFailed(const char*) {}

int CALLBACK CBrowseFolderDialog::BrowseCallbackProc(HWND hWnd, UINT msg, LPARAM lParam, LPARAM lpData)
{
    auto* self = reinterpret_cast<CBrowseFolderDialog*>(lpData);
    switch (msg) {
    case BFFM_INITIALIZED:
        if (self->m_szSelectPath[0])
            ::SendMessageA(hWnd, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(self->m_szSelectPath));
        else if (self->m_pidlSelect)
            ::SendMessageA(hWnd, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(self->m_pidlSelect));
        self->Attach(hWnd);
        self->OnInitialized();
        break;
    case BFFM_SELCHANGED:
        self->OnSelChanged(hWnd, reinterpret_cast<LPCITEMIDLIST>(lParam));
        break;
    case BFFM_VALIDATEFAILEDW:
        self->OnValidateFailed(TextFromWide(reinterpret_cast<const wchar_t*>(lParam)).c_str());
        break;
    default:
        break;
    }
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
    dlg.ResetBrowse();
    if (dlg.DoModal() != IDOK)
        return 0;
    if (!dlg.m_strPathW.empty())
        path = dlg.m_strPathW;
    return 1;
}
