#include "collect/CollectJob.h"

#include <cstring>
#include <cwchar>

#include "afx/WidePath.h"
#include "collect/Duplicate.h"
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
    const int nCount = m_pList ? m_pList->GetItemCount() : 0;
    m_knownFolders.clear();
    m_targetFolders.clear();
    m_nShownPercent = -1;
    SyncSizeIndex(true);
    m_targetSums.clear();

    for (int i = 0; i < nCount; ++i) {
        if (IsStopRequested())
            return 0;
        SetProgress(i + 1, nCount);
        MP3FileEntry* e = reinterpret_cast<MP3FileEntry*>(m_pList->GetItemData(i));
        switch (e && bHaveDest ? TransferRow(*e, dest, nMode) : ROW_FAILED) {
        case ROW_DONE: ++m_nSucceeded; break;
        case ROW_DUPLICATE: ++m_nDuplicates; break;
        case ROW_FAILED: ++m_nFailed; break;
        case ROW_STOPPED: return 0;
        }
    }
    return 1;
}

CCollectJob::RowOutcome CCollectJob::TransferRow(MP3FileEntry& e, const std::wstring& dest, int nMode)
{
    // The tag dialog may commit an edit meanwhile; work on one consistent copy.
    std::string artist, album;
    uint32_t nSum;
    {
        std::lock_guard<std::mutex> lock(m_entryLock);
        artist = e.Artist();
        album = e.Album();
        nSum = e.nTailSum;
    }
    CTargetPath t;
    if (MakeTargetPath(m_szDest, dest, artist.c_str(), album.c_str(), e.FileName().c_str(), NameOfPath(e.WidePath()),
                       t) != TARGET_OK)
        return ROW_FAILED;
    e.SetTarget(TargetFolder(t));

    if (IsDuplicateFile(&e, this))
        return ROW_DUPLICATE;
    if (IsStopRequested())
        return ROW_STOPPED;
    bool bNewFolder = false;
    if (!EnsureFolder(t.folder, bNewFolder))
        return ROW_FAILED;

    const bool bCopy = nMode == MODE_COPY;
    const std::string source = e.Path();
    SetStatus(bCopy ? TEXT_COPYING_FORMAT : TEXT_MOVING_FORMAT, TEXT_OPENING, source.c_str(), t.text.c_str());
    // In a folder of its own making the pass knows the names; one taken
    // there is rare, and the final rename refuses it all the same.
    const TargetCheck check = bNewFolder ? TARGET_CHECK_AT_RENAME : TARGET_CHECK_FIRST;
    const TransferResult r = bCopy ? SafeCopyFile(e.WidePath(), t.path, m_bStop, check)
                                   : SafeMoveFile(e.WidePath(), t.path, m_bStop, check);
    if (r == TRANSFER_STOPPED)
        return ROW_STOPPED;
    if (r != TRANSFER_DONE)
        return ROW_FAILED;
    // What now stands at the target is the source as fingerprinted, unless
    // the tag dialog rewrote the source meanwhile.
    bool bSumHolds;
    {
        std::lock_guard<std::mutex> lock(m_entryLock);
        bSumHolds = nSum != 0 && e.nTailSum == nSum;
    }
    if (bSumHolds)
        m_targetSums[TargetKey(t.path)] = nSum;
    else
        m_targetSums.erase(TargetKey(t.path));
    SetStatus(bCopy ? TEXT_COPIED_FORMAT : TEXT_MOVED_FORMAT, TEXT_OPENING, source.c_str(), t.text.c_str());
    return ROW_DONE;
}

std::shared_ptr<const CTargetFolder> CCollectJob::TargetFolder(const CTargetPath& t)
{
    std::shared_ptr<const CTargetFolder>& folder = m_targetFolders[t.folderText];
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
    const int nCount = m_pList ? m_pList->GetItemCount() : 0;
    if (bRebuild || nCount < m_nIndexedRows) {
        m_sizeIndex.clear();
        m_nIndexedRows = 0;
    }
    for (int row = m_nIndexedRows; row < nCount; ++row) {
        const auto* e = reinterpret_cast<const MP3FileEntry*>(m_pList->GetItemData(row));
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
    if (!pEntry || !pJob || !pJob->m_pList || pEntry->nFileSize == 0)
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
        const auto* o = reinterpret_cast<const MP3FileEntry*>(pJob->m_pList->GetItemData(row));
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
