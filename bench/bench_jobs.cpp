// Runs the program's own jobs headless but for real: the work window shown,
// its real job context, row store and list, the worker thread; only the user
// is scripted (the source, "yes", the destination). Times the scan from the
// source answer to the organise question (the closing report is on screen by
// then) and the copy pass from the destination answer to "done".
//
//   bench_jobs.exe SOURCE DEST [--scan-only]
//   prints: scan_ms=… copy_ms=… rows=… peak_ws=… ui_stall_ms=… …
//           scan_laps_ms=a/b/… copy_laps_ms=a/b/…  (per 10,000 rows)
// With --scan-only the user says no to the organise question: the scan alone
// runs, copy_ms is 0 and the peak working set is the scan's.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "afx/WidePath.h"
#include "collect/JobUi.h"
#include "ui/WorkDialog.h"

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(freq.QuadPart);
}

class CScriptedUser : public IJobUi
{
public:
    CScriptedUser(const char* source, const char* dest, bool bScanOnly)
        : m_source(source), m_dest(dest), m_bScanOnly(bScanOnly)
    {
    }

    int ChooseFolder(std::wstring& path, const char*) override
    {
        const int n = m_nChosen;
        path = WideFromText(n == 0 ? m_source : m_dest);
        (n == 0 ? m_tScanStart : m_tCopyStart) = Now();
        m_nChosen = n + 1; // after the time, which the timer reads once it sees this
        return 1;
    }
    int AskYesNo(HWND, const char*) override
    {
        m_tScanEnd = Now();
        return m_bScanOnly ? IDNO : IDYES;
    }
    void ShowMessage(HWND, const char*) override
    {
        m_tCopyEnd = Now();
        m_bDone = true;
    }

    std::string m_source, m_dest;
    bool m_bScanOnly;
    std::atomic<int> m_nChosen{0};
    double m_tScanStart = 0, m_tScanEnd = 0, m_tCopyStart = 0, m_tCopyEnd = 0;
    std::atomic<bool> m_bDone{false};
};

// The time each run of 10,000 rows took, scanned or passed over: flat
// figures show that no step grows with the number of rows.
struct CPace
{
    explicit CPace(double start) : m_tLast(start) {}
    void Seen(int nDone, double t)
    {
        while (nDone >= (int(m_laps.size()) + 1) * 10000) {
            m_laps.push_back(t - m_tLast);
            m_tLast = t;
        }
    }
    std::string Text() const
    {
        std::string s;
        for (double lap : m_laps)
            s += (s.empty() ? "" : "/") + std::to_string(int(lap));
        return s.empty() ? "-" : s;
    }
    double m_tLast;
    std::vector<double> m_laps;
};

CWorkDialog* g_pDlg = nullptr;
CScriptedUser* g_pUser = nullptr;
CPace g_scanPace(0), g_copyPace(0);

// The user-interface thread's longest busy stretch: a timer asks for a tick
// every 10 ms; a tick that comes late by more than that means the thread was
// busy in between.
double g_lastTick = 0;
double g_maxStall = 0;
void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    const double t = Now();
    if (g_lastTick > 0 && t - g_lastTick - 10.0 > g_maxStall)
        g_maxStall = t - g_lastTick - 10.0;
    g_lastTick = t;

    const CCollectJob& job = g_pDlg->m_job;
    if (g_pUser->m_nChosen == 1) {
        if (g_scanPace.m_tLast == 0)
            g_scanPace.m_tLast = g_pUser->m_tScanStart;
        g_scanPace.Seen(g_pDlg->m_listFiles.GetItemCount(), t);
    } else if (g_pUser->m_nChosen == 2) {
        if (g_copyPace.m_tLast == 0)
            g_copyPace.m_tLast = g_pUser->m_tCopyStart;
        // Read while the worker writes them: near enough for a pace.
        g_copyPace.Seen(job.Succeeded() + job.Duplicates() + job.Failed(), t);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bool bScanOnly = argc == 4 && std::strcmp(argv[3], "--scan-only") == 0;
    if (argc != 3 && !bScanOnly) {
        std::fprintf(stderr, "usage: bench_jobs SOURCE DEST [--scan-only]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    CScriptedUser user(argv[1], argv[2], bScanOnly);
    CWorkDialog dlg(user);
    if (!dlg.Create()) {
        std::fprintf(stderr, "cannot create the work window\n");
        return 1;
    }
    dlg.ShowWindow(SW_SHOW);
    ::UpdateWindow(dlg.m_hWnd);

    g_pDlg = &dlg;
    g_pUser = &user;
    ::SetTimer(nullptr, 0, 10, OnTick);
    dlg.StartJob(JOB_SCAN);
    MSG msg;
    while (!user.m_bDone && ::GetMessageA(&msg, nullptr, 0, 0)) {
        if (!::IsDialogMessageA(dlg.m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    const int rows = dlg.m_listFiles.GetItemCount();
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);

    std::printf("scan_ms=%.1f copy_ms=%.1f rows=%d peak_ws=%lu ui_stall_ms=%.1f succeeded=%d duplicates=%d failed=%d\n",
                user.m_tScanEnd - user.m_tScanStart, bScanOnly ? 0.0 : user.m_tCopyEnd - user.m_tCopyStart, rows,
                static_cast<unsigned long>(pmc.PeakWorkingSetSize), g_maxStall, dlg.m_job.Succeeded(),
                dlg.m_job.Duplicates(), dlg.m_job.Failed());
    std::printf("scan_laps_ms=%s copy_laps_ms=%s\n", g_scanPace.Text().c_str(), g_copyPace.Text().c_str());
    std::fflush(stdout);
    dlg.StopWorkThread();
    return 0;
}
