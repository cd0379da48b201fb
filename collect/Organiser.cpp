#include "collect/CollectJob.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>
#include <cwchar>

#include "afx/WidePath.h"
#include "collect/Duplicate.h"
#include "collect/JobScreen.h"
#include "collect/WorkPool.h"
#include "collect/SafeTransfer.h"
#include "collect/TargetPath.h"
#include "res/Texts.h"
#include "tag/MP3Info.h"

namespace {



bool IsFolder(const std::wstring& path)
{
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// One level of a path: true when it exists as a folder at the end.
bool MakeFolder(const std::wstring& path)
{
    if (IsFolder(path))
        return true;
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // Something is there; a file of that name is no folder to put files in.
    return IsFolder(path);
}

// Paths that name one file, whatever their letter case, give one key.
std::wstring TargetKey(const std::wstring& path)
{
    std::wstring key = path;
    if (!key.empty())
        ::CharUpperBuffW(&key[0], DWORD(key.size()));
    return key;
}

} // namespace

// The pass's file work, overlapped: the worker decides each row in row order
// (its target, the duplicate test, its folders) and a few movers copy or move
// the files decided on, while the worker goes on to the next rows. A row is
// decided only once every transfer still running that it could see has
// ended (one of its size, or one whose target or source is its target or
// source), so each decision is the one a one-by-one pass would make. The
// outcomes are reported in row order with the texts, progress and counts of a
// one-by-one pass.
class CPassPipe
{
public:
    CPassPipe(CCollectJob& job, int nMode, int nCount)
        : m_job(job), m_bCopy(nMode == MODE_COPY), m_nCount(nCount), m_rows(AHEAD),
          m_movers(MOVERS, job.m_pStop)
    {
    }

    // False once stopped.
    bool Decide(int nRow, MP3FileEntry* e, const std::wstring& dest)
    {
        Row row;
        row.nRow = nRow;
        row.outcome = e ? Decide(*e, dest, row) : CCollectJob::ROW_FAILED;
        if (row.outcome == CCollectJob::ROW_STOPPED)
            return false;
        return m_rows.Add(std::move(row), [this](Row& r) { return Report(r); }) && !m_job.IsStopRequested();
    }

    // Reports the rows still waiting; false once stopped.
    bool ReportAll()
    {
        return m_rows.ReportAll([this](Row& r) { return Report(r); });
    }

private:
    enum { MOVERS = 3, AHEAD = 8 };

    // One file's transfer, shared by the mover doing it and the worker.
    struct Transfer
    {
        std::wstring source;
        std::wstring target;
        std::wstring sourceKey;
        std::wstring targetKey;
        uint64_t nFileSize = 0;
        TargetCheck check = TARGET_CHECK_FIRST;
        TransferResult result = TRANSFER_FAILED;
        std::atomic<bool> bDone{false};
        MP3FileEntry* pEntry = nullptr;
        uint32_t nSum = 0;
    };
    struct Row
    {
        int nRow;
        CCollectJob::RowOutcome outcome;
        CShownText targetText;
        std::shared_ptr<Transfer> transfer;
        bool IsReady() const { return !transfer || transfer->bDone; }
    };

    CCollectJob::RowOutcome Decide(MP3FileEntry& e, const std::wstring& dest, Row& row)
    {
        CCollectJob& job = m_job;
        // The tag dialog may commit an edit meanwhile; work on one consistent copy.
        std::string artist, album;
        std::wstring wholeArtist, wholeAlbum;
        uint32_t nSum;
        {
            std::lock_guard<std::mutex> lock(job.m_entryLock);
            artist = e.Artist();
            album = e.Album();
            wholeArtist = e.WideText(FIELD_ARTIST);
            wholeAlbum = e.WideText(FIELD_ALBUM);
            nSum = e.nTailSum;
        }
        CTargetPath t;
        if (MakeTargetPath(job.m_szDest, dest, artist.c_str(), album.c_str(), wholeArtist, wholeAlbum,
                           e.FileName().c_str(), NameOfPath(e.WidePath()), t) != TARGET_OK)
            return CCollectJob::ROW_FAILED;
        e.SetTarget(job.TargetFolder(t));

        auto transfer = std::make_shared<Transfer>();
        transfer->source = e.WidePath();
        transfer->target = t.path;
        transfer->sourceKey = TargetKey(e.WidePath());
        transfer->targetKey = TargetKey(t.path);
        transfer->nFileSize = e.nFileSize;
        transfer->pEntry = &e;
        transfer->nSum = nSum;
        if (!WaitForTransfersSeenBy(*transfer))
            return CCollectJob::ROW_STOPPED;

        if (IsDuplicateFile(&e, &job))
            return CCollectJob::ROW_DUPLICATE;
        if (job.IsStopRequested())
            return CCollectJob::ROW_STOPPED;
        bool bNewFolder = false;
        if (!job.EnsureFolder(t.folder, bNewFolder))
            return CCollectJob::ROW_FAILED;

        // In a folder of its own making the pass knows the names; one taken
        // there is rare, and the final rename refuses it all the same.
        transfer->check = bNewFolder ? TARGET_CHECK_AT_RENAME : TARGET_CHECK_FIRST;
        const bool bCopy = m_bCopy;
        std::shared_ptr<const std::atomic<bool>> pStop = job.m_pStop;
        m_movers.Post([transfer, pStop, bCopy] {
            const Transfer& t = *transfer;
            transfer->result = bCopy ? SafeCopyFile(t.source, t.target, *pStop, t.check)
                                     : SafeMoveFile(t.source, t.target, *pStop, t.check);
            transfer->bDone = true;
        });
        m_running.push_back(transfer);
        row.targetText = CShownText::Of(t.text.c_str(), t.wholeText);
        row.transfer = std::move(transfer);
        return CCollectJob::ROW_DONE;
    }

    static bool Sees(const Transfer& a, const Transfer& b)
    {
        return (a.nFileSize != 0 && a.nFileSize == b.nFileSize) || a.targetKey == b.targetKey ||
               a.targetKey == b.sourceKey || a.sourceKey == b.targetKey;
    }

    // Waits until no running transfer could change what the row's decision
    // sees; false once stopped.
    bool WaitForTransfersSeenBy(const Transfer& next)
    {
        for (;;) {
            Reap();
            bool bSeen = false;
            for (const auto& running : m_running)
                bSeen = bSeen || Sees(*running, next);
            if (!bSeen)
                return true;
            if (m_job.IsStopRequested())
                return false;
            m_movers.WaitForDone(100);
        }
    }

    // Takes the transfers that ended into account: what now stands at their
    // targets, for the duplicate decisions to come.
    void Reap()
    {
        for (size_t i = 0; i < m_running.size();) {
            Transfer& t = *m_running[i];
            if (!t.bDone) {
                ++i;
                continue;
            }
            if (t.result == TRANSFER_DONE) {
                // What now stands at the target is the source as fingerprinted,
                // unless the tag dialog rewrote the source meanwhile.
                bool bSumHolds;
                {
                    std::lock_guard<std::mutex> lock(m_job.m_entryLock);
                    bSumHolds = t.nSum != 0 && t.pEntry->nTailSum == t.nSum;
                }
                if (bSumHolds)
                    m_job.m_targetSums[t.targetKey] = t.nSum;
                else
                    m_job.m_targetSums.erase(t.targetKey);
            }
            m_running.erase(m_running.begin() + i);
        }
    }

    bool Report(Row& row)
    {
        CCollectJob& job = m_job;
        if (job.IsStopRequested())
            return false;
        job.SetProgress(row.nRow + 1, m_nCount);
        switch (row.outcome) {
        case CCollectJob::ROW_DUPLICATE:
            ++job.m_nDuplicates;
            return true;
        case CCollectJob::ROW_FAILED:
            ++job.m_nFailed;
            return true;
        default:
            break;
        }
        const CShownText source = CShownText::Of(PlainPath(row.transfer->source));
        job.SetStatus(m_bCopy ? TEXT_COPYING_FORMAT : TEXT_MOVING_FORMAT, {TEXT_OPENING, source, row.targetText});
        while (!row.transfer->bDone) {
            if (job.IsStopRequested())
                return false;
            m_movers.WaitForDone(100);
        }
        Reap();
        switch (row.transfer->result) {
        case TRANSFER_STOPPED:
            return false;
        case TRANSFER_FAILED:
            ++job.m_nFailed;
            return true;
        case TRANSFER_DONE:
            break;
        }
        job.SetStatus(m_bCopy ? TEXT_COPIED_FORMAT : TEXT_MOVED_FORMAT, {TEXT_OPENING, source, row.targetText});
        ++job.m_nSucceeded;
        return true;
    }

    CCollectJob& m_job;
    const bool m_bCopy;
    const int m_nCount;
    // Decided, not yet reported, in row order.
    CInOrderReports<Row> m_rows;
    // Transfers running or ended but not yet taken into account.
    std::vector<std::shared_ptr<Transfer>> m_running;
    // Last, so it goes first: no mover is left working once the pass is over.
    CWorkPool m_movers;
};

int CCollectJob::OrganiseFiles(int nMode)
{
    if (IsStopRequested())
        return 0;
    if (AskYesNo(TEXT_CONFIRM_ORGANISE) != IDYES)
        return IsStopRequested() ? 0 : 1;
    if (IsStopRequested())
        return 0;

    std::wstring chosen;
    if (!AskFolder(chosen, TEXT_DEST_TITLE) || IsStopRequested())
        return 0;
    SetDest(chosen);
    ShowPaths();

    if (!TransferFiles(nMode))
        return 0;
    SetStatus(TEXT_SUMMARY_FORMAT, TEXT_OPENING, m_nTotal, m_nSucceeded, m_nDuplicates, m_nFailed);
    return 1;
}

int CCollectJob::TransferFiles(int nMode)
{
    m_nSucceeded = m_nFailed = m_nDuplicates = 0;
    if (m_wstrDest.empty()) {
        std::wstring chosen;
        AskFolder(chosen, TEXT_DEST_TITLE);
        if (IsStopRequested())
            return 0;
        SetDest(chosen);
        ShowPaths();
    }

    // An empty destination would put the folders at the root of whatever
    // drive is current, a place the user never chose.
    const std::wstring dest = LongPath(m_wstrDest);
    const bool bHaveDest = !dest.empty();
    const int nCount = m_screen.RowCount();
    m_knownFolders.clear();
    m_targetFolders.clear();
    m_nShownPercent = -1;
    SyncSizeIndex(true);
    m_targetSums.clear();

    CPassPipe pipe(*this, nMode, nCount);
    for (int i = 0; i < nCount; ++i) {
        if (IsStopRequested())
            return 0;
        MP3FileEntry* e = m_screen.RowEntry(i);
        if (!pipe.Decide(i, e && bHaveDest ? e : nullptr, dest))
            return 0;
    }
    return pipe.ReportAll() ? 1 : 0;
}

std::shared_ptr<const CTargetFolder> CCollectJob::TargetFolder(const CTargetPath& t)
{
    // By the folder itself: two albums may differ in names their texts
    // cannot spell.
    std::shared_ptr<const CTargetFolder>& folder = m_targetFolders[t.folder];
    if (!folder)
        folder = std::make_shared<const CTargetFolder>(CTargetFolder{t.folderText, t.folder});
    return folder;
}

bool CCollectJob::EnsureFolder(const std::wstring& folder, bool& bMadeByPass)
{
    const auto known = m_knownFolders.find(folder);
    if (known != m_knownFolders.end()) {
        bMadeByPass = known->second;
        return true;
    }
    const bool bExisted = IsFolder(folder);
    if (!bExisted && CreateFolderPath(folder) != 1)
        return false;
    bMadeByPass = !bExisted;
    m_knownFolders.emplace(folder, bMadeByPass);
    return true;
}

void CCollectJob::SyncSizeIndex(bool bRebuild)
{
    const int nCount = m_screen.RowCount();
    if (bRebuild || nCount < m_nIndexedRows) {
        m_sizeIndex.clear();
        m_nIndexedRows = 0;
    }
    for (int row = m_nIndexedRows; row < nCount; ++row) {
        const MP3FileEntry* e = m_screen.RowEntry(row);
        if (e && e->nFileSize != 0)
            m_sizeIndex[e->nFileSize].push_back(row);
    }
    m_nIndexedRows = nCount;
}

namespace {

// What stands at the targets, as this pass knows it: fingerprints of what it
// placed or read, by path whatever the letter case.
class CPassStanding : public IStandingFile
{
public:
    CPassStanding(std::unordered_map<std::wstring, uint32_t>& sums, const std::atomic<bool>& stop)
        : m_sums(sums), m_stop(stop)
    {
    }
    uint32_t KnownSum(const std::wstring& target) override
    {
        const auto it = m_sums.find(TargetKey(target));
        return it == m_sums.end() ? 0 : it->second;
    }
    bool Exists(const std::wstring& target) override
    {
        return ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    uint32_t ReadSum(const std::wstring& target) override
    {
        const uint32_t nThere = ReadTailSum(target);
        if (nThere != 0)
            m_sums.emplace(TargetKey(target), nThere);
        return nThere;
    }
    bool SameBytes(const std::wstring& source, const std::wstring& target) override
    {
        return SameFileBytes(source, target, m_stop);
    }

private:
    std::unordered_map<std::wstring, uint32_t>& m_sums;
    const std::atomic<bool>& m_stop;
};

} // namespace

bool IsDuplicateFile(const MP3FileEntry* pEntry, CCollectJob* pJob)
{
    if (!pEntry || !pJob || pEntry->nFileSize == 0)
        return false;
    pJob->SyncSizeIndex(false);
    const auto it = pJob->m_sizeIndex.find(pEntry->nFileSize);
    if (it == pJob->m_sizeIndex.end())
        return false;
    uint32_t nSum;
    {
        std::lock_guard<std::mutex> lock(pJob->m_entryLock);
        nSum = pEntry->nTailSum;
    }
    CPassStanding standing(pJob->m_targetSums, pJob->StopFlag());
    for (int row : it->second) {
        if (pJob->IsStopRequested())
            return false;
        const MP3FileEntry* o = pJob->m_screen.RowEntry(row);
        if (o && IsDuplicateOfRow(*pEntry, nSum, *o, standing))
            return true;
    }
    return false;
}

int CreateFolderPath(const char* path)
{
    if (!path)
        return 0;
    const size_t len = std::strlen(path);
    if (len == 0 || len > 1023)
        return 0;
    return CreateFolderPath(LongPath(std::string(path)));
}

int CreateFolderPath(const std::wstring& path)
{
    // Levels are made one by one after the volume, which nobody can make.
    const size_t start = VolumePrefixLength(path);
    if (start == 0)
        return 0;
    for (size_t i = start; i < path.size(); ++i) {
        if (path[i] == L'\\' && !MakeFolder(path.substr(0, i)))
            return 0;
    }
    if (path.size() == start || path.back() == L'\\')
        return 1;
    return MakeFolder(path) ? 1 : 0;
}
