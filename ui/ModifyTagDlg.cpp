#include "ui/ModifyTagDlg.h"

#include "afx/WidePath.h"
#include "res/Texts.h"
#include "res/resource.h"
#include "tag/Genre.h"

namespace {
// The save's thread has returned: WPARAM its result.
enum { WM_APP_SAVE_ENDED = WM_APP_FIRST_FREE };

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
    // The dialog ends only once the save has returned; this is for a window
    // that went another way.
    if (m_saver.joinable())
        m_saver.join();
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
    if (msg == WM_APP_SAVE_ENDED) {
        OnSaveEnded(wp != 0);
        *result = 0;
        return true;
    }
    if (msg == WM_SETCURSOR && IsSaving()) {
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
        *result = TRUE;
        return true;
    }
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
        // Whole, names outside the code page included.
        for (int f = 0; f < FIELD_COUNT; ++f)
            m_initial[f] = m_pEntry->WideText(EntryField(f));
        m_editTitle.SetWindowText(m_initial[FIELD_TITLE]);
        m_editArtist.SetWindowText(m_initial[FIELD_ARTIST]);
        m_editAlbum.SetWindowText(m_initial[FIELD_ALBUM]);
        m_editTrack.SetWindowText(m_initial[FIELD_TRACK]);
        // A number without a name (255 = none) selects nothing.
        m_comboGenre.SetCurSel(m_pEntry->nGenre);
        m_editYear.SetWindowText(m_initial[FIELD_YEAR]);
        m_editComment.SetWindowText(m_initial[FIELD_COMMENT]);
    }
    return TRUE;
}

void CModifyTagDlg::CopyBoxesToEntry()
{
    MP3FileEntry* e = m_pEntry;
    m_nChanged = 0;
    // Each box is read into a buffer of its field's size holding the field,
    // so the platform cuts a long text where it always has.
    const auto boxToField = [this, e](const CEdit& box, EntryField field) {
        const std::wstring whole = box.GetWindowTextW();
        // A box holding what it was filled with was not edited, whatever
        // the user typed on the way.
        if (whole != m_initial[field])
            m_nChanged |= 1u << field;
        const std::string bytes = TextFromWide(whole);
        if (WideFromText(bytes) != whole) {
            // A name the code page cannot spell: '?' where it cannot, never
            // the look-alike letter the system would give, which a record
            // would then hold as another name; the whole text beside it.
            e->SetText(field, bytes.c_str(), whole);
            return;
        }
        char text[kLargestFieldBytes];
        lstrcpynA(text, e->Text(field), int(kFieldBytes[field]));
        box.GetWindowText(text, int(kFieldBytes[field]));
        e->SetText(field, text);
    };
    boxToField(m_editTitle, FIELD_TITLE);
    boxToField(m_editArtist, FIELD_ARTIST);
    boxToField(m_editAlbum, FIELD_ALBUM);
    boxToField(m_editTrack, FIELD_TRACK);

    // No item selected: the file keeps the genre it had (a number without a
    // name, such as 200, would otherwise be lost). Typed text is not a choice.
    const int nSel = m_comboGenre.GetCurSel();
    if (nSel >= 0 && nSel < GENRE_COUNT) {
        if (nSel != e->nGenre)
            m_nChanged |= 1u << FIELD_GENRE;
        e->nGenre = nSel;
        e->SetGenre(g_GenreNames[nSel]);
    }

    boxToField(m_editYear, FIELD_YEAR);
    boxToField(m_editComment, FIELD_COMMENT);
}

void CModifyTagDlg::OnBnClickedSave()
{
    if (IsSaving())
        return;
    if (m_pEntry)
        CopyBoxesToEntry();
    if (m_onSaved)
        m_onSaved();
    if (!m_save) {
        EndDialog(IDOK);
        return;
    }
    ShowSaving();
    const HWND hWnd = m_hWnd;
    std::function<bool()> save = m_save;
    m_saver = std::thread([hWnd, save] { ::PostMessageW(hWnd, WM_APP_SAVE_ENDED, save() ? 1 : 0, 0); });
}

void CModifyTagDlg::ShowSaving()
{
    // Nothing can be changed or sent twice while the file is written; the
    // button says why the dialog waits.
    for (CWnd* box : {static_cast<CWnd*>(&m_editTitle), static_cast<CWnd*>(&m_editAlbum),
                      static_cast<CWnd*>(&m_editArtist), static_cast<CWnd*>(&m_editTrack),
                      static_cast<CWnd*>(&m_editYear), static_cast<CWnd*>(&m_editComment),
                      static_cast<CWnd*>(&m_comboGenre)})
        box->EnableWindow(FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BTN_CANCEL), FALSE);
    HWND save = ::GetDlgItem(m_hWnd, IDC_BTN_SAVE);
    ::SetWindowTextW(save, WideFromText(TEXT_SAVING).c_str());
    ::EnableWindow(save, FALSE);
    ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void CModifyTagDlg::OnSaveEnded(bool bWritten)
{
    m_saver.join();
    m_bWritten = bWritten;
    EndDialog(IDOK);
}

void CModifyTagDlg::OnOK()
{
    OnBnClickedSave();
}

void CModifyTagDlg::OnCancel()
{
    if (!IsSaving())
        CDialog::OnCancel();
}

void CModifyTagDlg::OnBnClickedCancel()
{
    if (!IsSaving())
        EndDialog(IDCANCEL);
}
