#include "ui/WorkThread.h"

#include <process.h>

#include "collect/JobUi.h"
#include "res/Texts.h"
#include "ui/WorkDialog.h"

namespace {

// A stop normally ends the worker well inside this: the jobs test the stop
// request between files and while copying, and its modal windows are closed.
const DWORD STOP_EXPECTED_MS = 2000;
// While waiting, the worker's modal windows are closed again this often: one
// may have opened just after the stop was asked.
const DWORD RECLOSE_INTERVAL_MS = 100;

// A worker ended by force may have died inside the lock of a control it was
// writing to, or inside the one it reads the rows' entries under. Whatever
// it held is left behind, so that clearing the list, bringing the window up
// to date and editing a tag do not wait on it for ever.
void RecoverFromKilledWorker(CWorkDialog& dlg)
{
    ReplaceLockLeftHeld(dlg.m_job.EntryLock());
    dlg.m_listFiles.RecoverFromKilledWriter();
    dlg.m_progress.RecoverFromKilledWriter();
    dlg.m_staticStatus.RecoverFromKilledWriter();
    dlg.m_staticProgress.RecoverFromKilledWriter();
    dlg.m_staticPaths.RecoverFromKilledWriter();
}

} // namespace

// Last resort for a worker stuck in the platform (a dead network drive).
DWORD CWorkThreadEx::s_dwForcedEndMs = 10000;

bool CThreadEx::HasEnded() const
{
    return !m_hThread.IsValid() || ::WaitForSingleObject(m_hThread, 0) == WAIT_OBJECT_0;
}

unsigned __stdcall ThreadProc(void* pParam)
{
    static_cast<CThreadEx*>(pParam)->Run();
    return 0;
}

CWorkThreadEx::~CWorkThreadEx()
{
    while (!HasEnded())
        WaitDeliveringSent(m_hThread, STOP_EXPECTED_MS);
}

void CWorkThreadEx::Run()
{
    CWorkDialog* pOwner = m_pOwner;
    CCollectJob& job = pOwner->m_job;
    const int nResult =
        m_nJobKind == JOB_ORGANISE ? job.OrganiseFiles(pOwner->m_nTransferMode) : pOwner->RunScanJob();
    // A stopped job says nothing more; a cancelled source choice ends a scan
    // without a word.
    if (job.IsStopRequested() || (m_nJobKind == JOB_SCAN && nResult == 0))
        return;
    // What the job wrote is on the screen before its end is reported. The
    // window's own thread reports it: the buttons and the closing message
    // are the window's, never touched from here.
    job.SyncScreen();
    ::PostMessageA(pOwner->GetSafeHwnd(), WM_APP_JOB_ENDED, m_nSerial, nResult);
}

bool WaitDeliveringSent(HANDLE hThread, DWORD dwMilliseconds)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        const DWORD dwElapsed = ::GetTickCount() - dwStart;
        const DWORD dwLeft = dwElapsed >= dwMilliseconds ? 0 : dwMilliseconds - dwElapsed;
        const DWORD r = ::MsgWaitForMultipleObjects(1, &hThread, FALSE, dwLeft, QS_SENDMESSAGE | QS_PAINT);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_OBJECT_0 + 1)
            return ::WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0;
        // Sent messages are delivered by the peek itself. Posted messages
        // (clicks, keys) stay queued: the user's next action waits for the
        // stop instead of running inside it.
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        while (::PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
}

void CWorkDialog::StartJob(int nJobKind)
{
    StopWorkThread();
    m_job.ClearStop();

    m_pWorkThread.reset(new CWorkThreadEx(this, nJobKind));
    CWorkThreadEx* pWorker = m_pWorkThread.get();
    pWorker->m_nSerial = ++m_nJobSerial;
    // An organise request on an empty list scans first; the scan's organise
    // offer then uses the mode just chosen.
    if (pWorker->m_nJobKind == JOB_ORGANISE && m_listFiles.GetItemCount() == 0)
        pWorker->m_nJobKind = JOB_SCAN;

    const uintptr_t h = ::_beginthreadex(nullptr, pWorker->m_nStackSize, ThreadProc,
                                         static_cast<CThreadEx*>(pWorker), CREATE_SUSPENDED,
                                         &pWorker->m_nThreadID);
    pWorker->m_hThread = CHandle(reinterpret_cast<HANDLE>(h));
    if (!pWorker->m_hThread.IsValid())
        return;   // no job runs; the worker stays in the slot until the next stop
    ::SetThreadPriority(pWorker->m_hThread, pWorker->m_nPriority);
    ::ResumeThread(pWorker->m_hThread);
}

void CWorkDialog::StopWorkThread()
{
    if (!m_pWorkThread)
        return;
    CWorkThreadEx* pWorker = m_pWorkThread.get();
    if (!pWorker->HasEnded()) {
        m_job.RequestStop();
        const DWORD dwStart = ::GetTickCount();
        for (;;) {
            CloseThreadModalWindows(pWorker->m_nThreadID);
            if (WaitDeliveringSent(pWorker->m_hThread, RECLOSE_INTERVAL_MS))
                break;
            if (::GetTickCount() - dwStart >= CWorkThreadEx::s_dwForcedEndMs) {
                ::TerminateThread(pWorker->m_hThread, 0);
                ::WaitForSingleObject(pWorker->m_hThread, INFINITE);
                RecoverFromKilledWorker(*this);
                break;
            }
        }
    }
    m_pWorkThread.reset();
}

int CWorkDialog::RunScanJob()
{
    return m_job.CollectFiles(m_nTransferMode);
}

void CWorkDialog::OnJobEnded(unsigned nSerial, int nResult)
{
    // A job stopped or replaced since it posted this has nothing to report.
    if (!m_pWorkThread || m_pWorkThread->m_nSerial != nSerial || m_job.IsStopRequested())
        return;
    UpdateButtons(FALSE);
    m_ui.ShowMessage(m_hWnd, nResult != 0 ? TEXT_JOB_DONE : TEXT_JOB_CANCELLED);
    // A stop while the message was up leaves the buttons to the one who stopped.
    if (m_job.IsStopRequested())
        return;
    UpdateButtons(FALSE);
}
