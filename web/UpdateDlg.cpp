#include "web/UpdateDlg.h"

#include "res/Texts.h"
#include "res/resource.h"

CUpdateDlg::CUpdateDlg(std::wstring siteLink, PFN_OPEN_SITE openSite)
    : CDialog(IDD_UPDATE_DIALOG), m_strSiteLink(std::move(siteLink)), m_pfnOpenSite(openSite)
{
}

BOOL CUpdateDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // wsprintfA stops at 1024 bytes; the site's text may be up to 64 KiB.
    char text[1024];
    ::wsprintfA(text, TEXT_UPDATE_CAPTION_FORMAT, GetModuleVersion().c_str());
    SetWindowText(text);
    ::wsprintfA(text, TEXT_UPDATE_VERSION_LINK_FORMAT, m_strNewVersion.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_LINK_VERSION, text);
    return TRUE;
}

bool CUpdateDlg::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    using E = TMessageEntry<CUpdateDlg>;
    static const E kMap[] = {
        E::Notify(IDC_LINK_SITE, NM_CLICK, &CUpdateDlg::OnNMClickSiteLink),
        E::Notify(IDC_LINK_VERSION, NM_CLICK, &CUpdateDlg::OnNMClickSiteLink),
    };
    return DispatchMessageMap(this, kMap, msg, wp, lp, result);
}

void CUpdateDlg::OnNMClickSiteLink(NMHDR* /*hdr*/, LRESULT* result)
{
    if (m_pfnOpenSite)
        m_pfnOpenSite(m_strSiteLink.c_str());
    EndDialog(IDCANCEL);
    *result = 0;
}
