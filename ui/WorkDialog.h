#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "afx/Controls.h"
#include "afx/Dialog.h"
#include "collect/CollectJob.h"
#include "collect/EntryColumns.h"
#include "collect/FileEntry.h"
#include "collect/JobScreen.h"
#include "collect/JobUi.h"
#include "ui/JobRunner.h"
#include "ui/JobScreenGate.h"
#include "ui/ShellJobUi.h"

// A worker's job has ended: WPARAM its serial, LPARAM its result.
enum { WM_APP_JOB_ENDED = WM_APP_FIRST_FREE };

// What a worker does.
enum { JOB_SCAN = 0, JOB_ORGANISE = 1 };

// What a job works on: the job, with its rows, and its way to the screen.
// The worker running a job holds it too, so that a job abandoned after a
// stop keeps it to its end.
struct CJobState
{
    CJobState(IJobUi& ui, IJobScreen& screen) : gate(screen), job(ui, gate) {}
    CJobScreenGate gate;
    CCollectJob job;
};

// The work window: the file list, the status text, the progress bar, the
// path line and the buttons that start, replace and stop jobs. It is its
// job's screen; the user is reached through the shell's dialogs, or through
// the seam it is given.
class CWorkDialog : public CDialog, public IJobScreen
{
public:
    CWorkDialog();
    explicit CWorkDialog(IJobUi& ui);
    ~CWorkDialog() override;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

    void InitControls();
    // Move and copy usable when not busy, stop usable when busy, open-folder
    // usable when a destination is set.
    void UpdateButtons(BOOL bBusy);
    // Empties the list and resets the job, which releases the rows' entries.
    void ClearList(CCollectJob* pJob);

    // Stops the job before, then runs one of that kind on the runner.
    void StartJob(int nJobKind);
    // Ends the job in the runner's slot, if any (see CJobRunner::Stop). One
    // that does not end in time is abandoned with its state: the list,
    // which showed its rows, is emptied, and a fresh state takes its place.
    void StopJob();
    // On the window's thread, when the job of that serial has ended: the
    // buttons, then the closing message.
    void OnJobEnded(unsigned nSerial, int nResult);
    // The state the next job works on.
    CCollectJob& Job() { return m_pState->job; }

    void OnDestroy();
    void OnBnClickedOpenFolder();
    void OnBnClickedMoveStart();
    void OnBnClickedCopyStart();
    void OnBnClickedStop();
    void OnBnClickedExit();
    void OnNMDblclkFileList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListKeyDown(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListGetInfoTipW(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListGetInfoTipA(NMHDR* pNMHDR, LRESULT* pResult);
    void OnBnClickedAddList();

    void EditRowTag(int nItem);
    // Selects and shows the next row whose song stayed behind in the last
    // pass (the one before with bBack), after the selected row, round at
    // the ends: F8 and Shift+F8. Nothing when none did.
    void GoToStayedBehind(bool bBack);
    // The tip of a row: what became of its song, where it was not
    // transferred; the first that stayed behind also says F8 leads on.
    std::wstring RowTip(int nRow);

    // The job's screen, over the controls; see IJobScreen.
    void ShowStatus(const char* text) override { m_staticStatus.SetWindowText(text); }
    void ShowPathLine(const char* text) override { m_staticPaths.SetWindowText(text); }
    void ShowStatus(const char* text, const std::wstring& whole) override
    {
        if (whole.empty())
            m_staticStatus.SetWindowText(text);
        else
            m_staticStatus.SetWindowText(whole);
    }
    void ShowPathLine(const char* text, const std::wstring& whole) override
    {
        if (whole.empty())
            m_staticPaths.SetWindowText(text);
        else
            m_staticPaths.SetWindowText(whole);
    }
    void ShowProgress(int nPos) override { m_progress.SetPos(nPos); }
    void ShowProgressText(const char* text) override { m_staticProgress.SetWindowText(text); }
    void ShowRow(const MP3FileEntry& entry) override;
    void ShowOutcomes(int nFirst, int nLast) override { m_listFiles.RedrawStateImagesDeferred(nFirst, nLast); }
    // The entry a row of the list shows, or null.
    MP3FileEntry* RowEntry(int nRow) const;
    bool TrySync(UINT nTimeoutMs) override { return WaitControlsFlushed(nTimeoutMs); }
    HWND Owner() const override { return m_hWnd; }

    IJobUi& m_ui;
    CStatic m_staticStatus;
    CListCtrl m_listFiles;
    CProgressCtrl m_progress;
    CJobRunner m_runner{WM_APP_JOB_ENDED};
    std::shared_ptr<CJobState> m_pState;
    CStatic m_staticProgress;
    int m_nTransferMode;
    CButton m_btnMove;
    CButton m_btnCopy;
    CButton m_btnStop;
    CStatic m_staticPaths;
    CButton m_btnAddList;
    CButton m_btnOpenFolder;

private:
    void ShowOpeningTexts();

    CEntryColumns m_columnTexts;

    struct FontDeleter { void operator()(HFONT__* h) const { ::DeleteObject(h); } };
    std::unique_ptr<HFONT__, FontDeleter> m_listFont;
    // The one question whether the job in the slot should end, asked when
    // the window is left (exit button, close box); on Yes it ends, and the
    // list with it. False when there was no job or the user said No.
    bool ConfirmEndJob();
    void EndJob();

    // The kind of the job last started.
    int m_nJobKind = JOB_SCAN;
    // A row's tag is being edited or written.
    bool m_bEditing = false;
};

// The parameter string that makes the file browser open exactly this folder:
// quoted, so that blanks and commas stay part of the path.
std::wstring ExplorerParameters(const std::wstring& folder);
