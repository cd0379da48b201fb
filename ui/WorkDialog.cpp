#include "ui/WorkDialog.h"

#include <shellapi.h>

#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "collect/JobUi.h"
#include "res/Texts.h"
#include "res/resource.h"
#include "tag/MP3Info.h"
#include "tag/SongSave.h"
#include "tag/SongTag.h"
#include "ui/ModifyTagDlg.h"
#include "ui/OutcomeIcons.h"

namespace {

using Entry = TMessageEntry<CWorkDialog>;
const Entry kMessageMap[] = {
    Entry::Message(WM_DESTROY, &CWorkDialog::OnDestroy),
    Entry::Clicked(IDC_BTN_OPEN_FOLDER, &CWorkDialog::OnBnClickedOpenFolder),
    Entry::Clicked(IDC_BTN_MOVE_START, &CWorkDialog::OnBnClickedMoveStart),
    Entry::Clicked(IDC_BTN_COPY_START, &CWorkDialog::OnBnClickedCopyStart),
    Entry::Clicked(IDC_BTN_STOP, &CWorkDialog::OnBnClickedStop),
    Entry::Clicked(IDC_BTN_WORK_EXIT, &CWorkDialog::OnBnClickedExit),
    Entry::Notify(IDC_FILE_LIST, NM_DBLCLK, &CWorkDialog::OnNMDblclkFileList),
    Entry::Notify(IDC_FILE_LIST, LVN_KEYDOWN, &CWorkDialog::OnListKeyDown),
    Entry::Notify(IDC_FILE_LIST, LVN_GETINFOTIPW, &CWorkDialog::OnListGetInfoTipW),
    Entry::Notify(IDC_FILE_LIST, LVN_GETINFOTIPA, &CWorkDialog::OnListGetInfoTipA),
    Entry::Clicked(IDC_BTN_ADD_LIST, &CWorkDialog::OnBnClickedAddList),
};

} // namespace

CWorkDialog::CWorkDialog() : CWorkDialog(ShellJobUi()) {}

CWorkDialog::CWorkDialog(IJobUi& ui)
    : CDialog(IDD_WORK_DIALOG), m_ui(ui), m_pState(std::make_shared<CJobState>(ui, *this)), m_nTransferMode(MODE_COPY)
{
}

CWorkDialog::~CWorkDialog()
{
    // A modeless window goes here, while the members its handlers use exist.
    if (m_hWnd)
        DestroyWindow();
    // Normally done when the window closed; a dialog that never had a window
    // must still not leave a worker running on a freed object.
    StopJob();
    ClearList(&Job());
}

void CWorkDialog::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_STATIC_STATUS, m_staticStatus);
    DDX_Control(pDX, IDC_FILE_LIST, m_listFiles);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_STATIC_PROGRESS, m_staticProgress);
    DDX_Control(pDX, IDC_BTN_MOVE_START, m_btnMove);
    DDX_Control(pDX, IDC_BTN_COPY_START, m_btnCopy);
    DDX_Control(pDX, IDC_BTN_STOP, m_btnStop);
    DDX_Control(pDX, IDC_STATIC_PATHS, m_staticPaths);
    DDX_Control(pDX, IDC_BTN_ADD_LIST, m_btnAddList);
    DDX_Control(pDX, IDC_BTN_OPEN_FOLDER, m_btnOpenFolder);
}

bool CWorkDialog::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    if (msg == WM_APP_JOB_ENDED) {
        OnJobEnded(unsigned(wp), int(lp));
        *result = 0;
        return true;
    }
    return DispatchMessageMap(this, kMessageMap, msg, wp, lp, result);
}

BOOL CWorkDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    InitControls();
    UpdateButtons(TRUE);
    m_btnStop.EnableWindow(FALSE);
    return TRUE;
}

void CWorkDialog::ShowOpeningTexts()
{
    m_staticStatus.SetWindowText(TEXT_OPENING);
    char szPaths[JOB_TEXT_SIZE];
    wsprintfA(szPaths, TEXT_PATHS_FORMAT, TEXT_SOURCE_PROMPT, TEXT_DEST_PROMPT);
    m_staticPaths.SetWindowText(szPaths);
}

void CWorkDialog::InitControls()
{
    SetWindowText(TEXT_CAPTION);
    ShowOpeningTexts();

    m_listFiles.SetTextSource(&m_columnTexts);
    // Rows never show a focus rectangle: the dialog is asked for it and
    // never supplies it. Their state images are what the last pass made of
    // their songs, drawn for the screen's dots per inch.
    m_listFiles.SetCallbackMask(LVIS_FOCUSED | LVIS_STATEIMAGEMASK);
    HDC screen = ::GetDC(nullptr);
    const int nDpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    m_listFiles.SetImageList(MakeOutcomeImages(OutcomeIconSize(nDpi)), LVSIL_STATE);
    m_listFiles.SetExtendedStyle(m_listFiles.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT |
                                 LVS_EX_INFOTIP);
    m_listFiles.ShowInfoTips();

    m_listFont.reset(::CreateFontA(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, HANGEUL_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   FF_MODERN | VARIABLE_PITCH, TEXT_LIST_FONT));
    m_listFiles.SetFont(m_listFont.get(), TRUE);

    for (int i = 0; i < COLUMN_COUNT; ++i)
        m_listFiles.InsertColumn(i, g_EntryColumns[i].caption, LVCFMT_LEFT, g_EntryColumns[i].width, i);

    m_progress.SetRange(0, PROGRESS_RANGE);
}

void CWorkDialog::UpdateButtons(BOOL bBusy)
{
    m_btnMove.EnableWindow(!bBusy);
    m_btnCopy.EnableWindow(!bBusy);
    m_btnStop.EnableWindow(bBusy);
    m_btnOpenFolder.EnableWindow(Job().DestText()[0] != '\0');
}

void CWorkDialog::ClearList(CCollectJob* pJob)
{
    m_listFiles.DeleteAllItems();
    pJob->Reset();
}

void CWorkDialog::ShowRow(const MP3FileEntry& entry)
{
    m_listFiles.InsertItem(m_listFiles.GetItemCount(), reinterpret_cast<LPARAM>(&entry));
}

MP3FileEntry* CWorkDialog::RowEntry(int nRow) const
{
    return reinterpret_cast<MP3FileEntry*>(m_listFiles.GetItemData(nRow));
}

void CWorkDialog::StartJob(int nJobKind)
{
    StopJob();
    // An organise request on an empty list scans first; the scan's organise
    // offer then uses the mode just chosen.
    if (nJobKind == JOB_ORGANISE && m_listFiles.GetItemCount() == 0)
        nJobKind = JOB_SCAN;
    m_nJobKind = nJobKind;
    const std::shared_ptr<CJobState> pState = m_pState;
    const int nMode = m_nTransferMode;
    m_runner.Start(m_hWnd, [pState, nJobKind, nMode](const std::shared_ptr<std::atomic<bool>>& pStop) {
        CCollectJob& job = pState->job;
        job.UseStopFlag(pStop);
        const int nResult = nJobKind == JOB_ORGANISE ? job.OrganiseFiles(nMode) : job.CollectFiles(nMode);
        // What the job wrote is on the screen before its end is reported.
        if (!job.IsStopRequested())
            job.SyncScreen();
        return nResult;
    });
}

void CWorkDialog::StopJob()
{
    if (m_runner.Stop())
        return;
    m_pState->job.Abandon();
    m_pState->gate.Close();
    m_listFiles.DeleteAllItems();
    m_pState = std::make_shared<CJobState>(m_ui, *this);
}

void CWorkDialog::OnJobEnded(unsigned nSerial, int nResult)
{
    // A job stopped or replaced since it posted this has nothing to report;
    // a cancelled source choice ends a scan without a word.
    if (!m_runner.IsCurrent(nSerial) || (m_nJobKind == JOB_SCAN && nResult == 0))
        return;
    UpdateButtons(FALSE);
    m_ui.ShowMessage(m_hWnd, nResult != 0 ? TEXT_JOB_DONE : TEXT_JOB_CANCELLED);
    // A stop while the message was up leaves the buttons to the one who stopped.
    if (m_runner.IsStopRequested())
        return;
    UpdateButtons(FALSE);
}

void CWorkDialog::OnBnClickedOpenFolder()
{
    // The folder exactly, in the ordinary form the file browser takes.
    const std::wstring dest = PlainPath(LongPath(Job().Dest()));
    if (dest.empty())
        return;
    ::ShellExecuteW(nullptr, L"open", L"EXPLORER.exe", ExplorerParameters(dest).c_str(), nullptr, SW_SHOW);
}

std::wstring ExplorerParameters(const std::wstring& folder)
{
    // Unquoted, the file browser splits the path at commas and the program
    // line at blanks, and opens some other folder.
    return L"\"" + folder + L"\"";
}

void CWorkDialog::OnBnClickedMoveStart()
{
    m_nTransferMode = MODE_MOVE;
    StartJob(JOB_ORGANISE);
}

void CWorkDialog::OnBnClickedCopyStart()
{
    m_nTransferMode = MODE_COPY;
    StartJob(JOB_ORGANISE);
}

void CWorkDialog::OnBnClickedAddList()
{
    if (m_listFiles.GetItemCount() > 0 && m_ui.AskYesNo(m_hWnd, TEXT_ASK_ADD_TO_LIST) != IDYES) {
        StopJob();
        ClearList(&Job());
        ShowOpeningTexts();
        UpdateButtons(TRUE);
        m_btnStop.EnableWindow(FALSE);
    }
    StartJob(JOB_SCAN);
}

void CWorkDialog::OnBnClickedStop()
{
    if (!m_runner.HasJob())
        return;
    StopJob();
    ClearList(&Job());
    UpdateButtons(FALSE);
}

bool CWorkDialog::ConfirmEndJob()
{
    if (!m_runner.HasJob() || m_ui.AskYesNo(m_hWnd, TEXT_ASK_END_JOB) != IDYES)
        return false;
    EndJob();
    return true;
}

void CWorkDialog::EndJob()
{
    StopJob();
    ClearList(&Job());
}

void CWorkDialog::OnBnClickedExit()
{
    ConfirmEndJob();
    EndDialog(IDOK);
}

void CWorkDialog::OnDestroy()
{
    ConfirmEndJob();
    // The window really goes now. A job the user chose to keep would go on
    // writing to controls and a context that go with it: it ends here too,
    // and the rows' entries go with the list.
    EndJob();
}

void CWorkDialog::OnNMDblclkFileList(NMHDR* pNMHDR, LRESULT* pResult)
{
    const int nItem = reinterpret_cast<NMITEMACTIVATE*>(pNMHDR)->iItem;
    if (nItem != -1)
        EditRowTag(nItem);
    *pResult = 0;
}

void CWorkDialog::OnListKeyDown(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    if (reinterpret_cast<NMLVKEYDOWN*>(pNMHDR)->wVKey == VK_F8)
        GoToStayedBehind(::GetKeyState(VK_SHIFT) < 0);
}

namespace {

bool StayedBehind(LPARAM data)
{
    const auto* e = reinterpret_cast<const MP3FileEntry*>(data);
    return e && e->Outcome().outcome == OUTCOME_FAILED;
}

} // namespace

void CWorkDialog::GoToStayedBehind(bool bBack)
{
    const int nSelected = int(m_listFiles.SendMessage(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    const int nStep = bBack ? -1 : 1;
    // With none selected, from the first row on (or the last one back).
    const int nFrom = nSelected < 0 ? (bBack ? -1 : 0) : nSelected + nStep;
    const int nRow = m_listFiles.FindRow(nFrom, nStep, StayedBehind);
    if (nRow >= 0)
        m_listFiles.SelectRow(nRow);
}

std::wstring CWorkDialog::RowTip(int nRow)
{
    const MP3FileEntry* e = RowEntry(nRow);
    if (!e)
        return std::wstring();
    const CPassOutcome outcome = e->Outcome();
    std::wstring target;
    if (outcome.outcome == OUTCOME_FAILED) {
        // The pass writes the target under the lock.
        std::lock_guard<std::mutex> lock(Job().EntryLock());
        target = PlainPath(e->WideTargetPath());
    }
    const bool bFirst = outcome.outcome == OUTCOME_FAILED && m_listFiles.FindRow(0, 1, StayedBehind) == nRow;
    return OutcomeTip(outcome, target, bFirst);
}

// Windows' list asks in the window's own form, Unicode; the same answer
// either way. A tip for the row replaces the row's own text, which Windows
// puts there first when the row shows it cut short.
void CWorkDialog::OnListGetInfoTipW(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(pNMHDR);
    const std::wstring text = RowTip(tip->iItem);
    if (!text.empty() && tip->pszText && tip->cchTextMax > 0)
        lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
}

void CWorkDialog::OnListGetInfoTipA(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(pNMHDR);
    const std::wstring text = RowTip(tip->iItem);
    if (!text.empty() && tip->pszText && tip->cchTextMax > 0)
        lstrcpynA(tip->pszText, TextFromWide(text).c_str(), tip->cchTextMax);
}

void CWorkDialog::EditRowTag(int nItem)
{
    MP3FileEntry* pEntry = RowEntry(nItem);
    // One edit at a time: a row whose file is being written is not edited
    // again until it is written.
    if (!pEntry || m_bEditing)
        return;
    m_bEditing = true;
    struct Done { bool& b; ~Done() { b = false; } } done{m_bEditing};
    // The dialog edits a copy of the tag values; a pass running meanwhile
    // reads the entry, and sees the edit only once it is whole. This thread is
    // the tag values' only writer, so the copy needs no lock; the row's target
    // is the pass's, and is not copied.
    MP3FileEntry before, edited;
    CopyTagTexts(before, *pEntry);
    CopyTagTexts(edited, *pEntry);
    const uint32_t nSumBefore = pEntry->nTailSum;
    // Owned by the work window, which takes no input while the tag is edited.
    CModifyTagDlg dlg(this);
    dlg.m_pEntry = &edited;
    // The row shows the new values before the file is written; the save
    // works on what they are then, on a thread of its own, so that a large
    // song does not stop the window.
    dlg.m_onSaved = [&] {
        Job().CommitEdit(*pEntry, edited);
        m_listFiles.RedrawItems(nItem, nItem);
        const std::wstring path = pEntry->WidePath();
        const CSongEdit edit = SongEditOf(edited, dlg.m_nChanged);
        dlg.m_save = [path, edit] { return SaveSongTags(path, edit); };
    };
    if (dlg.DoModal() != IDOK || dlg.m_bWritten)
        return;

    // Not written: the row shows what the file holds, and the user is told.
    CMP3Info info;
    CID3v2Fields v2;
    CSongFields song;
    const bool bRead = ReadSongFields(pEntry->WidePath(), info, v2, song);
    {
        std::lock_guard<std::mutex> lock(Job().EntryLock());
        if (bRead) {
            PutEntryTexts(*pEntry, song);
            pEntry->nTailSum = info.m_nTailSum;
        } else {
            CopyTagTexts(*pEntry, before);
            pEntry->nTailSum = nSumBefore;
        }
    }
    m_listFiles.RedrawItems(nItem, nItem);
    char text[JOB_TEXT_SIZE];
    wsprintfA(text, TEXT_SAVE_FAILED_FORMAT, pEntry->Path().c_str());
    text[sizeof text - 1] = 0;
    m_ui.ShowWarning(m_hWnd, text);
}
