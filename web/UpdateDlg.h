#pragma once
#include <string>

#include "afx/Dialog.h"
#include "web/VersionCheck.h"

// The update notice: names the site's version and links to the site.
class CUpdateDlg : public CDialog
{
public:
    explicit CUpdateDlg(std::wstring siteLink = GetSiteLink(GetSiteBase()), PFN_OPEN_SITE openSite = OpenSiteInBrowser);

    // The version text the site answered, exactly as received.
    std::string m_strNewVersion;

protected:
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

    void OnNMClickSiteLink(NMHDR* hdr, LRESULT* result);

private:
    std::wstring m_strSiteLink;
    PFN_OPEN_SITE m_pfnOpenSite;
};
