#include "ui/JobRunner.h"

#include <process.h>

#include "ui/ShellJobUi.h"

namespace {
// While waiting, the worker's modal windows are closed again this often: one
// may have opened just after the stop was asked.
const DWORD RECLOSE_INTERVAL_MS = 100;
}

DWORD CJobRunner::s_dwAbandonMs = 10000;

CJobRunner::Run::~Run()
{
    if (hThread)
        ::CloseHandle(hThread);
}

CJobRunner::~CJobRunner()
{
    Stop();
}

unsigned __stdcall CJobRunner::ThreadProc(void* pParam)
{
    // The thread's own share of the run: an abandoned job keeps its state
    // until it returns, and lets it go here.
    std::unique_ptr<std::shared_ptr<Run>> hold(static_cast<std::shared_ptr<Run>*>(pParam));
    Run& run = **hold;
    const int nResult = run.job(run.pStop);
    run.job = nullptr;
    // A stopped job says nothing more; the window's own thread reports the
    // end: the buttons and the closing message are the window's.
    if (!*run.pStop)
        ::PostMessageA(run.hWnd, run.nEndedMsg, run.nSerial, nResult);
    return 0;
}

bool CJobRunner::Start(HWND hWnd, Job job)
{
    Stop();
    auto pRun = std::make_shared<Run>();
    pRun->job = std::move(job);
    pRun->pStop = std::make_shared<std::atomic<bool>>(false);
    pRun->nSerial = ++m_nSerial;
    pRun->hWnd = hWnd;
    pRun->nEndedMsg = m_nEndedMsg;
    auto* pHold = new std::shared_ptr<Run>(pRun);
    const uintptr_t h = ::_beginthreadex(nullptr, 0, ThreadProc, pHold, CREATE_SUSPENDED, &pRun->nThreadId);
    if (!h) {
        delete pHold;
        return false;
    }
    pRun->hThread = reinterpret_cast<HANDLE>(h);
    m_pRun = pRun;
    ::ResumeThread(pRun->hThread);
    return true;
}

bool CJobRunner::HasEnded() const
{
    return !m_pRun || ::WaitForSingleObject(m_pRun->hThread, 0) == WAIT_OBJECT_0;
}

bool CJobRunner::IsCurrent(unsigned nSerial) const
{
    return m_pRun && m_pRun->nSerial == nSerial && !*m_pRun->pStop;
}

bool CJobRunner::Stop()
{
    if (!m_pRun)
        return true;
    const std::shared_ptr<Run> pRun = std::move(m_pRun);
    if (::WaitForSingleObject(pRun->hThread, 0) == WAIT_OBJECT_0)
        return true;
    *pRun->pStop = true;
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        CloseThreadModalWindows(pRun->nThreadId);
        if (WaitDeliveringSent(pRun->hThread, RECLOSE_INTERVAL_MS))
            return true;
        if (::GetTickCount() - dwStart >= s_dwAbandonMs)
            return false;
    }
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
