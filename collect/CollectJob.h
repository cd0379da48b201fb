#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "afx/Controls.h"
#include "collect/FileEntry.h"

class IJobUi;

// The job context the work window holds: the controls a job writes to, the
// buffer it composes status texts in, the chosen paths, the owner of its
// message boxes and the counters of the last scans and pass.
class CCollectJob
{
public:
    CCollectJob();

    // Writes the path line from m_szSource and m_szDest.
    void ShowPaths();
    // Moves the progress bar (range 0..500) and its label to nDone of nCount.
    void SetProgress(int nDone, int nCount);

    // The scan: asks for the source, lists its MP3 files, then offers the
    // organise pass. 0 when the source choice was cancelled, else 1.
    int CollectFiles(int nMode);
    void SearchFolder(const std::string& path);
    // The organise entry: 0 when the destination choice was cancelled, else 1.
    int OrganiseFiles(int nMode);
    int TransferFiles(int nMode);

    // Every field back to the state after construction (references too).
    void Reset();

    // A stop asked from another thread; the jobs test it between files and
    // while copying, and return early.
    void RequestStop() { m_bStop = true; }
    void ClearStop() { m_bStop = false; }
    bool IsStopRequested() const { return m_bStop; }

    // Brings the owner's controls up to date with everything written so far;
    // returns when they are. A worker calls it before it reports its end.
    void SyncScreen();

    CListCtrl* m_pList;
    CProgressCtrl* m_pProgress;
    CStatic* m_pStatus;
    CStatic* m_pProgressText;
    CStatic* m_pPathLine;
    char m_szText[1024];
    int m_nTotal;
    int m_nSucceeded;
    int m_nFailed;
    int m_nDuplicates;
    HWND m_hOwner;
    char m_szSource[1024];
    char m_szDest[1024];

    // The user, as the jobs see it (never null; the program's real one by default).
    IJobUi* m_pUi;

private:
    std::atomic<bool> m_bStop{false};
};

int AddFileEntry(CCollectJob* pJob, const std::string& path);
bool IsDuplicateFile(const MP3FileEntry* pEntry, CCollectJob* pJob);
int CreateFolderPath(const char* path);

// The opening text of the work window, which the pass puts at the head of its texts.
extern const char* const g_szOpeningText;
