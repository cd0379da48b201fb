// Runs the program's own jobs headless but for real: the work window shown,
// its real job context, row store and list, the worker thread; only the user
// is scripted (the source, "yes", the destination). Times the scan from the
// source answer to the organise question (the closing report is on screen by
// then) and the copy pass from the destination answer to "done".
//
//   bench_jobs.exe SOURCE DEST [--scan-only] [--detail]
//   prints: scan_ms=… copy_ms=… rows=… peak_ws=… ui_stall_ms=… …
//           scan_laps_ms=a/b/… copy_laps_ms=a/b/…  (per 10,000 rows)
//           scan_tick_max_ms=… scan_tick_p99_ms=… scan_ui_max_ms=… scan_ui_p99_ms=…
//           and the same for copy_
// With --scan-only the user says no to the organise question: the scan alone
// runs, copy_ms is 0 and the peak working set is the scan's.
//   --detail adds, per window and message, how often the user-interface
//   thread handled it during the jobs, for how long in all and at most.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
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

// Durations seen during one job, for the longest and the 99th percentile.
struct CSpread
{
    void Add(double ms) { m_samples.push_back(ms); }
    double Max() const { return m_samples.empty() ? 0 : *std::max_element(m_samples.begin(), m_samples.end()); }
    double P99() const
    {
        if (m_samples.empty())
            return 0;
        std::vector<double> v = m_samples;
        const size_t k = v.size() * 99 / 100;
        std::nth_element(v.begin(), v.begin() + k, v.end());
        return v[k];
    }
    std::vector<double> m_samples;
};

CWorkDialog* g_pDlg = nullptr;
CScriptedUser* g_pUser = nullptr;
CPace g_scanPace(0), g_copyPace(0);

enum { PHASE_SCAN, PHASE_COPY, PHASE_COUNT };
const char* const kPhaseNames[PHASE_COUNT] = {"scan", "copy"};
// Which job the user is waiting on; -1 before the source is chosen.
int Phase() { return g_pUser->m_nChosen == 1 ? PHASE_SCAN : g_pUser->m_nChosen == 2 ? PHASE_COPY : -1; }

// The refresh ticks (the dialog bringing its controls up to date, on its
// timer or a worker's request) and the UI thread's answers, per job.
CSpread g_ticks[PHASE_COUNT];
CSpread g_answers[PHASE_COUNT];

// What the UI thread spent its time on, per window and message (--detail).
struct CMessageCost
{
    int count = 0;
    double total = 0;
    double max = 0;
};
bool g_bDetail = false;
std::map<std::pair<std::string, UINT>, CMessageCost> g_costs;

struct CWatched
{
    WNDPROC proc;
    std::string name;
};
std::map<HWND, CWatched> g_watched;

LRESULT CALLBACK WatchProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    const CWatched& w = g_watched[hWnd];
    const double t = Now();
    const LRESULT r = ::CallWindowProcA(w.proc, hWnd, msg, wp, lp);
    const double ms = Now() - t;
    const int phase = Phase();
    // The dialog has one timer of its own, the refresh.
    if (phase >= 0 && hWnd == g_pDlg->m_hWnd && (msg == WM_TIMER || msg == WM_APP_SYNC))
        g_ticks[phase].Add(ms);
    if (g_bDetail && phase >= 0) {
        CMessageCost& c = g_costs[{w.name, msg}];
        ++c.count;
        c.total += ms;
        c.max = std::max(c.max, ms);
    }
    return r;
}

void Watch(HWND hWnd, const std::string& name)
{
    g_watched[hWnd] = {reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC)), name};
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchProc));
}

BOOL CALLBACK WatchChild(HWND hWnd, LPARAM)
{
    char cls[64] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    Watch(hWnd, std::string(cls) + "#" + std::to_string(::GetDlgCtrlID(hWnd)));
    return TRUE;
}

// The user-interface thread's answers: a timer asks for a tick every 10 ms;
// a tick that comes late by more than that means the thread was busy in
// between (a timer's turn comes after input, sent messages and painting).
double g_lastTick = 0;
double g_maxStall = 0;
void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    const double t = Now();
    if (g_lastTick > 0) {
        const double late = std::max(0.0, t - g_lastTick - 10.0);
        g_maxStall = std::max(g_maxStall, late);
        if (Phase() >= 0)
            g_answers[Phase()].Add(late);
    }
    g_lastTick = t;

    const CCollectJob& job = g_pDlg->Job();
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
    bool bScanOnly = false, bBad = argc < 3;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scan-only") == 0)
            bScanOnly = true;
        else if (std::strcmp(argv[i], "--detail") == 0)
            g_bDetail = true;
        else
            bBad = true;
    }
    if (bBad) {
        std::fprintf(stderr, "usage: bench_jobs SOURCE DEST [--scan-only] [--detail]\n");
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
    Watch(dlg.m_hWnd, "dialog");
    // Every control, the list's header among them.
    if (g_bDetail)
        ::EnumChildWindows(dlg.m_hWnd, WatchChild, 0);
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

    std::printf("scan_ms=%.1f copy_ms=%.1f rows=%d peak_ws=%llu ui_stall_ms=%.1f succeeded=%d duplicates=%d failed=%d\n",
                user.m_tScanEnd - user.m_tScanStart, bScanOnly ? 0.0 : user.m_tCopyEnd - user.m_tCopyStart, rows,
                static_cast<unsigned long long>(pmc.PeakWorkingSetSize), g_maxStall, dlg.Job().Succeeded(),
                dlg.Job().Duplicates(), dlg.Job().Failed());
    std::printf("scan_laps_ms=%s copy_laps_ms=%s\n", g_scanPace.Text().c_str(), g_copyPace.Text().c_str());
    for (int p = 0; p < PHASE_COUNT; ++p)
        std::printf("%s_tick_max_ms=%.1f %s_tick_p99_ms=%.1f %s_ui_max_ms=%.1f %s_ui_p99_ms=%.1f %s_ticks=%d\n",
                    kPhaseNames[p], g_ticks[p].Max(), kPhaseNames[p], g_ticks[p].P99(), kPhaseNames[p],
                    g_answers[p].Max(), kPhaseNames[p], g_answers[p].P99(), kPhaseNames[p],
                    int(g_ticks[p].m_samples.size()));
    for (const auto& c : g_costs)
        std::printf("detail: %-24s msg=0x%04x count=%7d total_ms=%8.1f max_ms=%6.1f\n", c.first.first.c_str(),
                    c.first.second, c.second.count, c.second.total, c.second.max);
    std::fflush(stdout);
    dlg.StopJob();
    return 0;
}
