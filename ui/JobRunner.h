#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

// Runs one job at a time on a thread of its own. It owns the thread, the
// job's stop flag, the job's serial and the post that tells the window of the
// job's end; the job is a function, handed the stop flag it runs under, that
// holds whatever state it works on.
//
// A job that does not answer a stop in time (a call stuck in the platform, a
// dead network drive) is abandoned, never killed: its thread goes on holding
// its own state until it returns, and reports nothing. Killing it could leave
// any lock it held taken (the heap's, a pool's, a map's), beyond anyone's
// reach.
class CJobRunner
{
public:
    using Job = std::function<int(const std::shared_ptr<std::atomic<bool>>& pStop)>;

    // The window told of each job's end by nEndedMsg: WPARAM the job's
    // serial, LPARAM its result.
    explicit CJobRunner(UINT nEndedMsg) : m_nEndedMsg(nEndedMsg) {}
    // Stops the job in the slot, abandoning it if need be.
    ~CJobRunner();
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // Stops the job in the slot, then runs job on a new thread with a fresh
    // stop flag. Unless stopped, its end is posted to hWnd. False when no
    // thread could be made (the slot is then empty).
    bool Start(HWND hWnd, Job job);
    // Asks the job in the slot to stop, closes the modal windows of its
    // thread, and waits while delivering what it sends to this thread's
    // windows. The slot is empty on return. False when the job did not end
    // within the stop's time and was abandoned.
    bool Stop();

    // A job, running or ended, is in the slot.
    bool HasJob() const { return m_pRun != nullptr; }
    // The job in the slot has ended, or there is none.
    bool HasEnded() const;
    // The job in the slot has that serial and was not asked to stop.
    bool IsCurrent(unsigned nSerial) const;
    bool IsStopRequested() const { return m_pRun && *m_pRun->pStop; }
    // The thread of the job in the slot, or null.
    HANDLE ThreadHandle() const { return m_pRun ? m_pRun->hThread : nullptr; }

    // How long a stop waits before it abandons the job (10 s); tests shorten it.
    static DWORD s_dwAbandonMs;

private:
    // What the job's thread holds; the slot holds it too until it is emptied.
    struct Run
    {
        Job job;
        std::shared_ptr<std::atomic<bool>> pStop;
        unsigned nSerial = 0;
        HWND hWnd = nullptr;
        UINT nEndedMsg = 0;
        HANDLE hThread = nullptr;
        unsigned nThreadId = 0;
        ~Run();
    };
    static unsigned __stdcall ThreadProc(void* pParam);

    const UINT m_nEndedMsg;
    std::shared_ptr<Run> m_pRun;
    unsigned m_nSerial = 0;
};

// Waits for a thread while delivering what other threads send to this
// thread's windows (and letting them repaint), so a worker that is writing
// to the window cannot block the wait. True when the thread ended in time.
bool WaitDeliveringSent(HANDLE hThread, DWORD dwMilliseconds);
