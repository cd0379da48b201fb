#pragma once
#include <windows.h>

#include "afx/Controls.h"
#include "afx/Dialog.h"
#include "collect/FileEntry.h"

// Edits the tag values of one list row's entry. Save (or Enter) copies the
// boxes into the entry; the caller writes the file.
class CModifyTagDlg : public CDialog
{
public:
    explicit CModifyTagDlg(CWnd* pParent = nullptr);
    ~CModifyTagDlg() override;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    // Enter with neither button focused: the user means Save.
    void OnOK() override;

    void OnBnClickedSave();
    void OnBnClickedCancel();

    MP3FileEntry* m_pEntry;
    CEdit m_editTitle;
    CEdit m_editAlbum;
    CEdit m_editArtist;
    CEdit m_editTrack;
    CEdit m_editYear;
    CEdit m_editComment;
    CComboBox m_comboGenre;

private:
    void CopyBoxesToEntry();
};
