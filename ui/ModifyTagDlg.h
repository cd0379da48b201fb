#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "afx/Controls.h"
#include "afx/Dialog.h"
#include "collect/FileEntry.h"

// Edits the tag values of one list row's entry. Save (or Enter) copies the
// boxes into the entry and notes which of them the user changed; where the
// caller gave a save, it runs on a thread of its own while the dialog shows
// the wait, so a large song never stops the windows from answering, and the
// dialog closes when the file is written.
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
    // Esc and the close box: Cancel, but not while the file is written.
    void OnCancel() override;

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

    // After Save: the fields the user changed, bits by EntryField (a text
    // edited, a genre chosen).
    unsigned m_nChanged = 0;
    // Run on this thread once Save has filled the entry, before the save.
    std::function<void()> m_onSaved;
    // The save, run on a thread of its own; the dialog ends with IDOK when
    // it returns, its result in m_bWritten.
    std::function<bool()> m_save;
    bool m_bWritten = false;
    // True while the save runs.
    bool IsSaving() const { return m_saver.joinable(); }

private:
    void CopyBoxesToEntry();
    void ShowSaving();
    void OnSaveEnded(bool bWritten);

    // The boxes' texts as they were filled, to tell the user's changes.
    std::wstring m_initial[FIELD_COUNT];
    std::thread m_saver;
};
