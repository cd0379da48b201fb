#include "web/VersionCheck.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "afx/WidePath.h"
#include "web/UpdateDlg.h"
#include "web/WebAccess.h"

#ifndef SORVANE_SITE_BASE
#error "SORVANE_SITE_BASE must name the site base address"
#endif

const char ATOM_PING[] = "QMVRTEOLS-XKAWBEN2-ZKDNSXM";
const char ATOM_VERSION[] = "QMVRTEOLS-XKAWBEN2-QJWJS";

std::string GetFileVersionString(const char* path)
{
    const DWORD size = ::GetFileVersionInfoSizeA(path, nullptr);
    if (size == 0)
        return std::string();
    std::vector<BYTE> info(size + 1, 0);
    if (!::GetFileVersionInfoA(path, 0, size, info.data()))
        return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT cb = 0;
    if (!::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &cb) || !fixed ||
        cb < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    char text[64];
    ::wsprintfA(text, "%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::string GetModuleVersion()
{
    char path[MAX_PATH] = {};
    if (::GetModuleFileNameA(nullptr, path, MAX_PATH) == 0)
        return std::string();
    path[MAX_PATH - 1] = '\0';
    return GetFileVersionString(path);
}

const char* GetSiteBase()
{
    return SORVANE_SITE_BASE;
}

std::string GetPingUrl(const std::string& siteBase, const std::string& version)
{
    return siteBase + "app/qorv/check.php" + "?ver=" + version;
}

std::string GetVersionUrl(const std::string& siteBase)
{
    return siteBase + "app/qorv/version.php";
}

std::wstring GetSiteLink(const std::string& siteBase)
{
    std::string link = siteBase;
    if (!link.empty() && link.back() == '/')
        link.pop_back();
    if (link.empty())
        return std::wstring();
    return WideFromText(link);
}

void OpenSiteInBrowser(const wchar_t* url)
{
    ::ShellExecuteW(nullptr, L"open", url, L"", L"", SW_SHOW);
}

namespace {

// The program makes the start-up's requests once each, ping first; the time
// they share runs from the first of them.
const CDeadline& StartUpDeadline()
{
    static const CDeadline deadline(WEB_STARTUP_DEADLINE_MS);
    return deadline;
}

// What one request of the start-up may take: its own bound, and never past
// the start-up's.
DWORD RequestLimit(const CDeadline& startUp)
{
    return std::min(startUp.Left(), WEB_REQUEST_DEADLINE_MS);
}

} // namespace

void RunUsagePing()
{
    RunUsagePing(GetSiteBase(), StartUpDeadline());
}

void RunUsagePing(const std::string& siteBase, const CDeadline& startUp)
{
    if (::GlobalFindAtomA(ATOM_PING))
        return;
    const DWORD dwLimit = RequestLimit(startUp);
    if (dwLimit == 0)
        return;
    CWebAccess session;
    std::string answer;
    if (RequestUrl(answer, GetPingUrl(siteBase, GetModuleVersion()), session, dwLimit) == WEB_RESULT_OK)
        ::GlobalAddAtomA(ATOM_PING);
}

bool RunVersionCheck()
{
    return RunVersionCheck(GetSiteBase(), OpenSiteInBrowser, StartUpDeadline());
}

bool RunVersionCheck(const std::string& siteBase, PFN_OPEN_SITE openSite, const CDeadline& startUp)
{
    if (::GlobalFindAtomA(ATOM_VERSION))
        return true;
    const DWORD dwLimit = RequestLimit(startUp);
    if (dwLimit == 0)
        return true;
    std::string answer;
    {
        CWebAccess session;
        if (RequestUrl(answer, GetVersionUrl(siteBase), session, dwLimit) != WEB_RESULT_OK)
            return true;
    }
    // Compared as zero-terminated texts, exactly as received: a trailing line
    // end makes a difference, and so does any other version, older or newer.
    if (std::strcmp(answer.c_str(), GetModuleVersion().c_str()) == 0) {
        ::GlobalAddAtomA(ATOM_VERSION);
        return true;
    }
    CUpdateDlg dlg(GetSiteLink(siteBase), openSite);
    dlg.m_strNewVersion = answer;
    dlg.DoModal();
    return false;
}
