#include "ui/ModifyTagDlg.h"

#include "res/Texts.h"
#include "res/resource.h"
#include "tag/Genre.h"

namespace {
const TMessageEntry<CModifyTagDlg> kMessageMap[] = {
    TMessageEntry<CModifyTagDlg>::Clicked(IDC_BTN_SAVE, &CModifyTagDlg::OnBnClickedSave),
    TMessageEntry<CModifyTagDlg>::Clicked(IDC_BTN_CANCEL, &CModifyTagDlg::OnBnClickedCancel),
};
}

CModifyTagDlg::CModifyTagDlg(CWnd* pParent)
    : CDialog(IDD_MODIFYTAG_DIALOG, pParent), m_pEntry(nullptr)
{
}

CModifyTagDlg::~CModifyTagDlg()
{
    // A modeless window goes while the bound controls still exist.
    if (m_hWnd)
        DestroyWindow();
}

void CModifyTagDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_EDIT_TITLE, m_editTitle);
    DDX_Control(pDX, IDC_EDIT_ALBUM, m_editAlbum);
    DDX_Control(pDX, IDC_EDIT_ARTIST, m_editArtist);
    DDX_Control(pDX, IDC_EDIT_TRACK, m_editTrack);
    DDX_Control(pDX, IDC_EDIT_YEAR, m_editYear);
    DDX_Control(pDX, IDC_EDIT_COMMENT, m_editComment);
    DDX_Control(pDX, IDC_COMBO_GENRE, m_comboGenre);
}

bool CModifyTagDlg::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    return DispatchMessageMap(this, kMessageMap, msg, wp, lp, result);
}

BOOL CModifyTagDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(TEXT_CAPTION);

    // Item n is genre n: the box must not sort.
    for (int i = 0; i < GENRE_COUNT; ++i)
        m_comboGenre.AddString(g_GenreNames[i]);

    if (m_pEntry) {
        m_editTitle.SetWindowText(m_pEntry->szTitle);
        m_editArtist.SetWindowText(m_pEntry->szArtist);
        m_editAlbum.SetWindowText(m_pEntry->szAlbum);
        m_editTrack.SetWindowText(m_pEntry->szTrack);
        // A number without a name (255 = none) selects nothing.
        m_comboGenre.SetCurSel(m_pEntry->nGenre);
        m_editYear.SetWindowText(m_pEntry->szYear);
        m_editComment.SetWindowText(m_pEntry->szComment);
    }
    return TRUE;
}

void CModifyTagDlg::CopyBoxesToEntry()
{
    MP3FileEntry* e = m_pEntry;
    m_editTitle.GetWindowText(e->szTitle, sizeof e->szTitle);
    m_editArtist.GetWindowText(e->szArtist, sizeof e->szArtist);
    m_editAlbum.GetWindowText(e->szAlbum, sizeof e->szAlbum);
    m_editTrack.GetWindowText(e->szTrack, sizeof e->szTrack);

    // No item selected: the file keeps the genre it had (a number without a
    // name, such as 200, would otherwise be lost). Typed text is not a choice.
    const int nSel = m_comboGenre.GetCurSel();
    if (nSel >= 0 && nSel < GENRE_COUNT) {
        e->nGenre = nSel;
        lstrcpynA(e->szGenre, g_GenreNames[nSel], sizeof e->szGenre);
    }

    m_editYear.GetWindowText(e->szYear, sizeof e->szYear);
    m_editComment.GetWindowText(e->szComment, sizeof e->szComment);
}

void CModifyTagDlg::OnBnClickedSave()
{
    if (m_pEntry)
        CopyBoxesToEntry();
    EndDialog(IDOK);
}

void CModifyTagDlg::OnOK()
{
    OnBnClickedSave();
}

void CModifyTagDlg::OnBnClickedCancel()
{
    EndDialog(IDCANCEL);
}
