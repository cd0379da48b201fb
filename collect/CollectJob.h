#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "afx/ShownText.h"
#include "collect/FileEntry.h"
#include "collect/VisitedFolders.h"

class CFileFind;
class CScanPipe;
class IJobScreen;
class IJobUi;
struct CTargetPath;

// The bytes of the job's status text and of each chosen path's text, with
// the closing zero; wsprintfA cuts at this many too.
enum { JOB_TEXT_SIZE = 1024 };
// The progress bar's range: a pass moves it from 0 to this.
enum { PROGRESS_RANGE = 500 };

// The collection job: the scan, the organise pass, and what the last of each
// found. It reaches the user only through its IJobUi and the screen only
// through its IJobScreen, both given when it is made.
//
// A job runs on a worker thread; its counters and chosen paths are read by
// the window's thread only while no job runs.
class CCollectJob
{
public:
    CCollectJob(IJobUi& ui, IJobScreen& screen);

    // Moves the progress bar (0..PROGRESS_RANGE) and its label to nDone of nCount.
    // The label is written only when its value changes.
    void SetProgress(int nDone, int nCount);

    // The scan: asks for the source, lists its MP3 files, then offers the
    // organise pass. 0 when the source choice was cancelled or the job was
    // stopped, else 1.
    int CollectFiles(int nMode);
    // Walks the folder (or the one file) named by path, depth first; a folder
    // reached a second time through a folder link is not walked again.
    void SearchFolder(const std::wstring& path);
    // The organise entry: 0 when the destination choice was cancelled or the
    // job was stopped, else 1.
    int OrganiseFiles(int nMode);
    // The pass over the rows: 1, or 0 when it was stopped before its end.
    int TransferFiles(int nMode);

    // Rows, counters, paths and texts back to the state after construction.
    // The seams and the stop request stay as they are; the screen has let go
    // of the rows first.
    void Reset();

    // A stop asked from another thread; the jobs test it between files and
    // while copying, and return early. A stopped job asks nothing more and
    // writes no closing report.
    void RequestStop() { *m_pStop = true; }
    // Only while no job runs. A fresh flag: threads a stopped job left
    // behind keep seeing theirs set.
    void ClearStop()
    {
        m_pStop = std::make_shared<std::atomic<bool>>(false);
        m_bAbandoned = false;
    }
    // The flag of the one who runs the job, set before it starts it.
    void UseStopFlag(std::shared_ptr<std::atomic<bool>> pStop) { m_pStop = std::move(pStop); }
    bool IsStopRequested() const { return *m_pStop; }
    // From the window's thread, when it gives up waiting for a stopped job
    // and goes on without it: from then on the job touches no file or
    // folder and asks nothing, whatever it was doing; the clean-up of its
    // stop is skipped (what the next job finds is the next job's).
    void Abandon() { m_bAbandoned = true; }
    bool IsAbandoned() const { return m_bAbandoned; }
    const std::atomic<bool>& StopFlag() const { return *m_pStop; }

    // Returns when the screen shows everything written so far, or at once
    // when a stop was asked or there is no window. A worker calls it before
    // it reports its end.
    void SyncScreen();

    // MP3 files the last scans found, listed or not.
    int Total() const { return m_nTotal; }
    // The last pass's outcomes.
    int Succeeded() const { return m_nSucceeded; }
    int Duplicates() const { return m_nDuplicates; }
    int Failed() const { return m_nFailed; }
    // The chosen paths as the user reads them ("" for none), and exactly.
    const char* SourceText() const { return m_szSource; }
    const char* DestText() const { return m_szDest; }
    const std::wstring& Dest() const { return m_wstrDest; }
    // The status text last written.
    const char* StatusText() const { return m_szText; }

    // The rows listed so far, each the entry of one file; only while no job
    // runs, or on the job's own thread.
    int RowCount() const { return int(m_rows.size()); }
    // Null outside the rows.
    MP3FileEntry* RowEntry(int nRow) const
    {
        return nRow >= 0 && size_t(nRow) < m_rows.size() ? m_rows[nRow].get() : nullptr;
    }

    // Guards the tag texts and the fingerprint of the rows' entries: the tag
    // dialog commits an edit under it on the window's thread, and the pass
    // takes its copy of a row's texts under it, so the pass never sees an
    // edit half made, nor texts an edit has already replaced and freed.
    std::mutex& EntryLock() { return m_entryLock; }
    // Puts an edit's tag texts into a row's entry, whole, and forgets the
    // fingerprint of the file's last bytes, which are about to change, and
    // what the last pass made of the row.
    void CommitEdit(MP3FileEntry& e, const MP3FileEntry& edited);

private:
    friend bool IsDuplicateFile(const MP3FileEntry* pEntry, CCollectJob* pJob);
    friend class CScanPipe;
    friend class CPassPipe;

    // Writes the path line from the chosen paths.
    void ShowPaths();
    // Formats into m_szText (cut to fit, as wsprintfA does) and shows it.
    void SetStatus(const char* format, ...);
    // The same with texts that may be whole only in UTF-16 (file names):
    // the screen shows them whole, m_szText keeps their CP949 form.
    void SetStatus(const char* format, std::initializer_list<CFormatArg> args);
    // The questions; each first brings the screen up to date, so the user
    // sees what the job has done so far while answering.
    int AskFolder(std::wstring& path, const char* title);
    // Keep a chosen path and its text.
    void SetSource(const std::wstring& path);
    void SetDest(const std::wstring& path);
    int AskYesNo(const char* text);
    void Tell(const char* text);

    // The listing of a folder (or of the one chosen file), whose attributes
    // are given, to walk; null when it is not to be walked.
    std::unique_ptr<CFileFind> OpenFolder(const std::wstring& path, DWORD dwAttributes, CScanPipe& pipe);
    // False when the folder was walked already in this walk.
    bool EnterFolderOnce(const std::wstring& path);
    // Appends the row of an entry read, with the texts the scan shows.
    void ListEntry(std::unique_ptr<MP3FileEntry> e, const CShownText& text);
    enum RowOutcome { ROW_DONE, ROW_DUPLICATE, ROW_FAILED, ROW_STOPPED };
    // The album folder of a target, the one all rows of this pass going
    // there share.
    std::shared_ptr<const CTargetFolder> TargetFolder(const CTargetPath& t);
    // CreateFolderPath, remembering the folders made or found in this pass.
    // bMadeByPass tells whether this pass made the folder: then nothing but
    // what the pass put there is in it. The levels it makes are added to
    // *pMade, parents first.
    bool EnsureFolder(const std::wstring& folder, bool& bMadeByPass, std::vector<std::wstring>* pMade);
    // Brings the size index up to the rows listed now.
    void SyncSizeIndex(bool bRebuild);

    IJobUi& m_ui;
    IJobScreen& m_screen;
    char m_szText[JOB_TEXT_SIZE];
    int m_nTotal;
    int m_nSucceeded;
    int m_nFailed;
    int m_nDuplicates;
    char m_szSource[JOB_TEXT_SIZE];
    char m_szDest[JOB_TEXT_SIZE];
    std::wstring m_wstrSource;
    std::wstring m_wstrDest;

    // The rows, in the order listed.
    std::vector<std::unique_ptr<MP3FileEntry>> m_rows;

    // Shared with the threads that do a job's file work.
    std::shared_ptr<std::atomic<bool>> m_pStop = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> m_bAbandoned{false};
    std::mutex m_entryLock;
    int m_nShownPercent;
    // Folders entered by the current walk.
    CVisitedFolders m_visitedFolders;
    // Folders known to exist during the current pass, and whether it made them.
    std::map<std::wstring, bool> m_knownFolders;
    // The album folders this pass gave rows as targets, by their path.
    std::unordered_map<std::wstring, std::shared_ptr<const CTargetFolder>> m_targetFolders;
    // Rows by file size, each list in row order; covers rows [0, m_nIndexedRows).
    std::unordered_map<uint64_t, std::vector<int>> m_sizeIndex;
    int m_nIndexedRows;
    // The TailSum of the file at a target path as this pass placed or last
    // read it, by TargetKey. Spares opening both files of every equal-sized
    // pair, which grows with the square of a bucket's size. By path, not by
    // row: a row's target changes when its pass reaches it, and a path's file
    // changes only by what this pass places there.
    std::unordered_map<std::wstring, uint32_t> m_targetSums;
};

// True when another row of the same non-zero size has its file at its target
// and that file holds exactly the bytes of this row's file.
bool IsDuplicateFile(const MP3FileEntry* pEntry, CCollectJob* pJob);
// The entry of a file as the scan lists it (its size given), or
// null when its tag cannot be read. Touches no job: runs on any thread.
std::unique_ptr<MP3FileEntry> ReadFileEntry(const std::wstring& path, uint64_t nFileSize);
// 1 when every folder along the long path (see afx/WidePath.h) exists, as a
// folder, at the end, else 0. The levels it makes are added to *pMade,
// parents first.
int CreateFolderPath(const std::wstring& path, std::vector<std::wstring>* pMade = nullptr);

