#pragma once
#include <windows.h>

#include "afx/Handle.h"

class CWorkDialog;

// What a worker does.
enum { JOB_SCAN = 0, JOB_ORGANISE = 1 };

// A thread to be: created suspended by its owner, runs Run once.
class CThreadEx
{
public:
    CThreadEx() = default;
    virtual ~CThreadEx() = default;   // m_hThread closes itself
    CThreadEx(const CThreadEx&) = delete;
    CThreadEx& operator=(const CThreadEx&) = delete;

    virtual void Run() = 0;

    // True once the thread has ended, or when it was never created.
    bool HasEnded() const;

    unsigned m_nThreadID = 0;
    CHandle m_hThread;
    unsigned m_nStackSize = 0;
    int m_nPriority = THREAD_PRIORITY_NORMAL;
};

// The procedure handed to _beginthreadex; its parameter is the CThreadEx.
unsigned __stdcall ThreadProc(void* pParam);

// Runs one job of its work dialog.
class CWorkThreadEx : public CThreadEx
{
public:
    CWorkThreadEx(CWorkDialog* pOwner, int nJobKind) : m_pOwner(pOwner), m_nJobKind(nJobKind) {}
    // The owner ends the thread (StopWorkThread) before it lets the worker
    // go. Should one still run here, it is waited for, never ended by force:
    // no one here could recover what a killed thread held.
    ~CWorkThreadEx() override;

    void Run() override;

    // How long a stop waits for the worker before it ends it by force
    // (10 s); tests shorten it.
    static DWORD s_dwForcedEndMs;

    CWorkDialog* m_pOwner;
    int m_nJobKind;
    // Tells this job's report of its end from that of a job it replaced.
    unsigned m_nSerial = 0;
};

// Waits for a thread while delivering what other threads send to this
// thread's windows (and letting them repaint), so a worker that is writing
// to the window cannot block the wait. True when the thread ended in time.
bool WaitDeliveringSent(HANDLE hThread, DWORD dwMilliseconds);
