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
#include "collect/PassOrder.h"
#include "collect/WorkPool.h"
#include "collect/SafeTransfer.h"
#include "collect/TargetPath.h"
#include "res/Texts.h"
#include "tag/MP3Info.h"

namespace {



bool IsFolder(const std::wstring& path)
{
    return IsFolderAttributes(::GetFileAttributesW(path.c_str()));
}

// One level of a path: true when it exists as a folder at the end.
bool MakeFolder(const std::wstring& path, std::vector<std::wstring>* pMade)
{
    if (IsFolder(path))
        return true;
    if (::CreateDirectoryW(path.c_str(), nullptr)) {
        if (pMade)
            pMade->push_back(path);
        return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // Something is there; a file of that name is no folder to put files in.
    return IsFolder(path);
}

// Why a row gets no target: the artist is looked at first, as its folder
// comes first.
PassReason ReasonOfTarget(TargetResult result, const std::string& artist, const std::wstring& wholeArtist)
{
    switch (result) {
    case TARGET_TOO_LONG: return WHY_PATH_TOO_LONG;
    case TARGET_UNREACHABLE: return WHY_UNREACHABLE_NAME;
    default: return NamesFolders(artist.c_str(), wholeArtist, PLACEHOLDER_ARTIST) ? WHY_NO_ALBUM : WHY_NO_ARTIST;
    }
}

} // namespace

// The pass's file work, overlapped: the worker decides each row in row order
// (its target, the duplicate test, its folders) and a few movers copy the
// files decided on into temporaries beside their targets, while the worker
// goes on to the next rows. What anyone can see is made in row order, by the
// worker, as it reports the row: a copy's final name, a move's rename or
// its source's deletion. A row is decided only once every transfer it could
// see (one of its size, or one whose target or source is its target or
// source) is final, so each decision is the one a one-by-one pass would make;
// after a stop, the copies not made final go with their temporaries and the
// folders made for rows not yet reached are taken away again, so the files
// are those a one-by-one pass stopped at the reported row leaves. The
// outcomes are reported in row order with the texts, progress and counts of
// a one-by-one pass.
class CPassPipe
{
public:
    CPassPipe(CCollectJob& job, int nMode, int nCount)
        : m_job(job), m_bCopy(nMode == MODE_COPY), m_nCount(nCount), m_rows(AHEAD),
          m_movers(MOVERS, job.m_pStop)
    {
    }

    // False once stopped. An empty dest: no destination was chosen.
    bool Decide(int nRow, MP3FileEntry* e, const std::wstring& dest)
    {
        Row row;
        row.nRow = nRow;
        row.pEntry = e;
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

    // The rows whose outcome the pass has reported, from the first on.
    int EndedRows() const { return m_nEndedRows; }

    // The folders this pass made for rows it had not reported when it was
    // stopped, the last made first.
    std::vector<std::wstring> FoldersNotReached() const
    {
        std::vector<std::wstring> folders;
        for (auto it = m_madeFolders.rbegin(); it != m_madeFolders.rend(); ++it) {
            if (it->first > m_nReachedRow)
                folders.push_back(it->second);
        }
        return folders;
    }

private:
    enum { MOVERS = 3, AHEAD = 8 };

    // One file's transfer, shared by the mover preparing it and the worker.
    struct Transfer
    {
        std::wstring source;
        std::wstring target;
        CTransferKeys keys;
        TargetCheck check = TARGET_CHECK_FIRST;
        CPreparedCopy copy;
        // The mover's outcome, once bPrepared is set.
        TransferResult prepared = TRANSFER_DONE;
        std::atomic<bool> bPrepared{false};
        MP3FileEntry* pEntry = nullptr;
        uint32_t nSum = 0;
    };
    struct Row
    {
        int nRow;
        MP3FileEntry* pEntry = nullptr;
        CCollectJob::RowOutcome outcome;
        // Why a row decided as failed stays behind.
        PassReason reason = WHY_NONE;
        CShownText targetText;
        std::shared_ptr<Transfer> transfer;
        bool IsReady() const { return !transfer || transfer->bPrepared; }
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
            // Decided on these texts: an edit from now on leaves the row
            // without an outcome (see End).
            e.SetOutcome(OUTCOME_DECIDING);
        }
        if (dest.empty()) {
            row.reason = WHY_NO_DESTINATION;
            return CCollectJob::ROW_FAILED;
        }
        CTargetPath t;
        const TargetResult made = MakeTargetPath(job.m_szDest, dest, artist.c_str(), album.c_str(), wholeArtist,
                                                 wholeAlbum, e.FileName().c_str(), NameOfPath(e.WidePath()), t);
        if (made != TARGET_OK) {
            row.reason = ReasonOfTarget(made, artist, wholeArtist);
            return CCollectJob::ROW_FAILED;
        }
        std::shared_ptr<const CTargetFolder> folder = job.TargetFolder(t);
        {
            // The window's thread reads it for the row's tip.
            std::lock_guard<std::mutex> lock(job.m_entryLock);
            e.SetTarget(std::move(folder));
        }

        auto transfer = std::make_shared<Transfer>();
        transfer->source = e.WidePath();
        transfer->target = t.path;
        transfer->keys = CTransferKeys{TargetKey(e.WidePath()), TargetKey(t.path), e.nFileSize};
        transfer->pEntry = &e;
        transfer->nSum = nSum;
        if (!WaitForTransfersSeenBy(*transfer))
            return CCollectJob::ROW_STOPPED;

        if (IsDuplicateFile(&e, &job))
            return CCollectJob::ROW_DUPLICATE;
        if (job.IsStopRequested())
            return CCollectJob::ROW_STOPPED;
        bool bNewFolder = false;
        std::vector<std::wstring> madeFolders;
        const bool bFolder = job.EnsureFolder(t.folder, bNewFolder, &madeFolders);
        const DWORD dwFolderError = bFolder ? 0 : ::GetLastError();
        for (std::wstring& level : madeFolders)
            m_madeFolders.emplace_back(row.nRow, std::move(level));
        if (!bFolder) {
            row.reason = ReasonOfFailure(CTransferError{STEP_MAKE_FOLDER, dwFolderError});
            return CCollectJob::ROW_FAILED;
        }

        // In a folder of its own making the pass knows the names; one taken
        // there is rare, and the final name refuses it all the same.
        transfer->check = bNewFolder ? TARGET_CHECK_AT_RENAME : TARGET_CHECK_FIRST;
        // A move within a volume is a rename, made when the row is reported;
        // once a move crossed volumes, the next ones are copied ahead.
        if (m_bCopy || m_bCopyMovesAhead) {
            const bool bFlush = !m_bCopy;
            std::shared_ptr<const std::atomic<bool>> pStop = job.m_pStop;
            m_movers.Post([transfer, pStop, bFlush] {
                Transfer& t = *transfer;
                t.prepared = t.copy.Prepare(t.source, t.target, *pStop, t.check, bFlush);
                t.bPrepared = true;
            });
        } else {
            transfer->bPrepared = true;
        }
        m_running.push_back(transfer);
        row.targetText = CShownText::Of(t.text.c_str(), t.wholeText);
        row.transfer = std::move(transfer);
        return CCollectJob::ROW_DONE;
    }

    // Reports rows until no transfer that is not final could change what
    // the row's decision sees; false once stopped.
    bool WaitForTransfersSeenBy(const Transfer& next)
    {
        for (;;) {
            bool bSeen = false;
            for (const auto& running : m_running)
                bSeen = bSeen || Sees(running->keys, next.keys);
            if (!bSeen || m_rows.IsEmpty())
                return true;
            if (m_job.IsStopRequested() || !m_rows.ReportNext([this](Row& r) { return Report(r); }))
                return false;
        }
    }

    // A transfer made final or given up: what now stands at its target, for
    // the duplicate decisions to come.
    void Finish(const Transfer& t, TransferResult result)
    {
        if (result == TRANSFER_DONE) {
            // What now stands at the target is the source as fingerprinted,
            // unless the tag dialog rewrote the source meanwhile.
            bool bSumHolds;
            {
                std::lock_guard<std::mutex> lock(m_job.m_entryLock);
                bSumHolds = t.nSum != 0 && t.pEntry->nTailSum == t.nSum;
            }
            if (bSumHolds)
                m_job.m_targetSums[t.keys.targetKey] = t.nSum;
            else
                m_job.m_targetSums.erase(t.keys.targetKey);
        }
        for (size_t i = 0; i < m_running.size(); ++i) {
            if (m_running[i].get() == &t) {
                m_running.erase(m_running.begin() + i);
                break;
            }
        }
    }

    // The row's tag was edited since the pass decided it, or before and its
    // file's fingerprint is not known again yet (the save may have been
    // writing it while its copy was made).
    bool WasEdited(const Transfer& t)
    {
        std::lock_guard<std::mutex> lock(m_job.m_entryLock);
        return t.nSum == 0 || t.pEntry->nTailSum != t.nSum;
    }

    // The row's outcome, kept in its entry and drawn again. A tag edited
    // since the row was decided set it to none, and none it stays: the
    // decision was made on the old tag.
    void End(const Row& row, PassOutcome outcome, PassReason reason = WHY_NONE)
    {
        if (row.pEntry)
            row.pEntry->ChangeOutcome(OUTCOME_DECIDING, outcome, reason);
        m_nEndedRows = row.nRow + 1;
        m_job.m_screen.ShowOutcomes(row.nRow, row.nRow);
    }

    bool Report(Row& row)
    {
        CCollectJob& job = m_job;
        if (job.IsStopRequested())
            return false;
        m_nReachedRow = row.nRow;
        job.SetProgress(row.nRow + 1, m_nCount);
        switch (row.outcome) {
        case CCollectJob::ROW_DUPLICATE:
            ++job.m_nDuplicates;
            End(row, OUTCOME_DUPLICATE);
            return true;
        case CCollectJob::ROW_FAILED:
            ++job.m_nFailed;
            End(row, OUTCOME_FAILED, row.reason);
            return true;
        default:
            break;
        }
        const CShownText source = CShownText::Of(PlainPath(row.transfer->source));
        job.SetStatus(m_bCopy ? TEXT_COPYING_FORMAT : TEXT_MOVING_FORMAT, {TEXT_OPENING, source, row.targetText});
        Transfer& t = *row.transfer;
        // Stopped while the copy waited for its turn: it goes unnamed.
        if (!m_movers.WaitUntil(t.bPrepared) || job.IsStopRequested())
            return false;
        TransferResult result = t.prepared;
        CTransferError error = t.copy.Error();
        if (result == TRANSFER_DONE && m_bCopy) {
            // A source whose tag was edited since its copy was made ahead is
            // copied again, as a one-by-one pass would copy it now.
            if (WasEdited(t) && !t.copy.SourceUnchanged())
                result = t.copy.Prepare(t.source, t.target, job.StopFlag(), t.check, false);
            if (result == TRANSFER_DONE)
                result = t.copy.Commit(job.StopFlag());
            error = t.copy.Error();
        } else if (result == TRANSFER_DONE) {
            bool bCopied = false;
            result = CompleteMove(t.source, t.target, t.copy, job.StopFlag(), t.check, bCopied, &error);
            m_bCopyMovesAhead = m_bCopyMovesAhead || bCopied;
        }
        Finish(t, result);
        switch (result) {
        case TRANSFER_STOPPED:
            return false;
        case TRANSFER_FAILED:
            ++job.m_nFailed;
            End(row, OUTCOME_FAILED, ReasonOfFailure(error));
            return true;
        case TRANSFER_DONE:
            break;
        }
        job.SetStatus(m_bCopy ? TEXT_COPIED_FORMAT : TEXT_MOVED_FORMAT, {TEXT_OPENING, source, row.targetText});
        ++job.m_nSucceeded;
        End(row, OUTCOME_TRANSFERRED);
        return true;
    }

    CCollectJob& m_job;
    const bool m_bCopy;
    const int m_nCount;
    bool m_bCopyMovesAhead = false;
    // The last row whose report began.
    int m_nReachedRow = -1;
    int m_nEndedRows = 0;
    // The folders this pass made, in the order made, with the row they were made for.
    std::vector<std::pair<int, std::wstring>> m_madeFolders;
    // Decided, not yet reported, in row order.
    CInOrderReports<Row> m_rows;
    // Transfers decided and not yet final.
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
    // drive is current, a place the user never chose: every row fails.
    const std::wstring dest = LongPath(m_wstrDest);
    const int nCount = RowCount();
    m_knownFolders.clear();
    m_targetFolders.clear();
    m_nShownPercent = -1;
    SyncSizeIndex(true);
    m_targetSums.clear();
    // A new pass replaces what the last one made of the rows.
    for (int i = 0; i < nCount; ++i)
        RowEntry(i)->SetOutcome(OUTCOME_NONE);
    if (nCount > 0)
        m_screen.ShowOutcomes(0, nCount - 1);

    std::vector<std::wstring> notReached;
    int nEnded = 0;
    {
        CPassPipe pipe(*this, nMode, nCount);
        bool bGoing = true;
        for (int i = 0; i < nCount && bGoing; ++i)
            bGoing = !IsStopRequested() && pipe.Decide(i, RowEntry(i), dest);
        if (bGoing && pipe.ReportAll())
            return 1;
        notReached = pipe.FoldersNotReached();
        nEnded = pipe.EndedRows();
    }
    // Stopped: the rows it did not finish, the one it was at included.
    for (int i = nEnded; i < nCount; ++i)
        RowEntry(i)->SetOutcome(OUTCOME_NOT_REACHED);
    if (nEnded < nCount)
        m_screen.ShowOutcomes(nEnded, nCount - 1);
    // The copies not made final went with the pipe; the folders made ahead
    // for rows the pass never reached go too, where nothing else came in.
    // Not once the job is abandoned: the next job may have found them and
    // be about to fill them.
    for (const std::wstring& folder : notReached) {
        if (IsAbandoned())
            break;
        ::RemoveDirectoryW(folder.c_str());
    }
    return 0;
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

bool CCollectJob::EnsureFolder(const std::wstring& folder, bool& bMadeByPass, std::vector<std::wstring>* pMade)
{
    const auto known = m_knownFolders.find(folder);
    if (known != m_knownFolders.end()) {
        bMadeByPass = known->second;
        return true;
    }
    const bool bExisted = IsFolder(folder);
    if (!bExisted && CreateFolderPath(folder, pMade) != 1)
        return false;
    bMadeByPass = !bExisted;
    m_knownFolders.emplace(folder, bMadeByPass);
    return true;
}

void CCollectJob::SyncSizeIndex(bool bRebuild)
{
    const int nCount = RowCount();
    if (bRebuild || nCount < m_nIndexedRows) {
        m_sizeIndex.clear();
        m_nIndexedRows = 0;
    }
    for (int row = m_nIndexedRows; row < nCount; ++row) {
        const MP3FileEntry* e = RowEntry(row);
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
        const MP3FileEntry* o = pJob->RowEntry(row);
        if (o && IsDuplicateOfRow(*pEntry, nSum, *o, standing))
            return true;
    }
    return false;
}

int CreateFolderPath(const std::wstring& path, std::vector<std::wstring>* pMade)
{
    // Levels are made one by one after the volume, which nobody can make.
    const size_t start = VolumePrefixLength(path);
    if (start == 0)
        return 0;
    for (size_t i = start; i < path.size(); ++i) {
        if (path[i] == L'\\' && !MakeFolder(path.substr(0, i), pMade))
            return 0;
    }
    if (path.size() == start || path.back() == L'\\')
        return 1;
    return MakeFolder(path, pMade) ? 1 : 0;
}
