#include "app/LauncherDlg.h"

#include "res/Texts.h"
#include "res/resource.h"
#include "ui/WorkDialog.h"

namespace {

using Entry = TMessageEntry<CMP3SorvaneDlg>;
}

CMP3SorvaneDlg::CMP3SorvaneDlg()
    : CDialog(IDD_MP3SORVANE_DIALOG)
{
    m_hIcon = ::LoadIconA(ResourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CMP3SorvaneDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_STATIC_INFO, m_staticInfo);
}

bool CMP3SorvaneDlg::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    static const Entry kMap[] = {
        Entry::Message(WM_PAINT, &CMP3SorvaneDlg::OnPaint),
        Entry::Message(WM_QUERYDRAGICON, &CMP3SorvaneDlg::OnQueryDragIcon),
        Entry::Clicked(IDC_BTN_EXIT, &CMP3SorvaneDlg::OnBnClickedExit),
        Entry::Clicked(IDC_BTN_START, &CMP3SorvaneDlg::OnBnClickedStart),
    };
    m_lResult = 0;
    if (!DispatchMessageMap(this, kMap, msg, wp, lp, result))
        return false;
    *result = m_lResult;
    if (msg == WM_QUERYDRAGICON)
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, m_lResult);
    return msg != WM_PAINT || IsIconic();
}

BOOL CMP3SorvaneDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    m_staticInfo.SetWindowText(TEXT_LAUNCHER_INFO);
    return TRUE;
}

void CMP3SorvaneDlg::OnPaint()
{
    // Minimised: the icon, centred. Otherwise the dialog paints itself.
    if (!IsIconic())
        return;
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

void CMP3SorvaneDlg::OnQueryDragIcon()
{
    m_lResult = reinterpret_cast<LRESULT>(m_hIcon);
}

void CMP3SorvaneDlg::OnBnClickedExit()
{
    EndDialog(IDOK);
}

void CMP3SorvaneDlg::OnBnClickedStart()
{
    ShowWindow(SW_HIDE);
    {
        CWorkDialog work;
        work.DoModal();
    }
    ShowWindow(SW_SHOW);
}
