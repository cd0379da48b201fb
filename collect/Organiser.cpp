#include "collect/CollectJob.h"

#include <io.h>

#include <cstring>

#include "collect/SafeTransfer.h"
#include "tag/MP3Info.h"

namespace {

const char kConfirmText[] = "원본 파일을 복사 또는 이동 시키겠습니까?";
const char kDestTitle[] = "복사 또는 이동시킬 폴더를 선택하여 주세요";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// An artist or album names a folder level (or, with separators, several).
// It does not when it is missing, or when it has no real name in it at all:
// the file would land a level too high. A level of dots alone ("..") would
// lead out of the destination; such a text is refused too.
bool NamesFolderLevels(const char* text, const char* placeholder)
{
    if (std::strcmp(text, placeholder) == 0)
        return false;
    bool bHasName = false;
    const char* p = text;
    while (*p) {
        const char* start = p;
        while (*p && !IsSeparator(*p))
            ++p;
        bool bDots = false, bOther = false;
        for (const char* q = start; q < p; ++q) {
            if (*q == '.')
                bDots = true;
            else if (*q != ' ')
                bOther = true;
        }
        if (bDots && !bOther)
            return false;
        bHasName = bHasName || bOther;
        if (*p)
            ++p;
    }
    return bHasName;
}

// One level of a path: true when it exists as a folder at the end.
bool MakeFolder(const char* path)
{
    DWORD attrs = ::GetFileAttributesA(path);
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    if (::CreateDirectoryA(path, nullptr))
        return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // Something is there; a file of that name is no folder to put files in.
    attrs = ::GetFileAttributesA(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// Paths that name one file, whatever their letter case, give one key.
std::string TargetKey(const char* path)
{
    std::string key = path;
    if (!key.empty())
        ::CharUpperBuffA(&key[0], DWORD(key.size()));
    return key;
}

} // namespace

int CCollectJob::OrganiseFiles(int nMode)
{
    if (IsStopRequested())
        return 0;
    if (AskYesNo(kConfirmText) != IDYES)
        return IsStopRequested() ? 0 : 1;
    if (IsStopRequested())
        return 0;

    char szChosen[1025] = {};
    if (!AskFolder(szChosen, kDestTitle) || IsStopRequested())
        return 0;
    lstrcpynA(m_szDest, szChosen, sizeof m_szDest);
    ShowPaths();

    if (!TransferFiles(nMode))
        return 0;
    SetStatus("%s\r\n작업완료\r\n총 파일 수 : %d 개, 성공 : %d 개, 중복파일 : %d개, 실패 : %d 개", g_szOpeningText, m_nTotal,
              m_nSucceeded, m_nDuplicates, m_nFailed);
    return 1;
}

int CCollectJob::TransferFiles(int nMode)
{
    m_nSucceeded = m_nFailed = m_nDuplicates = 0;
    if (!m_szDest[0]) {
        char szChosen[1025] = {};
        AskFolder(szChosen, kDestTitle);
        if (IsStopRequested())
            return 0;
        lstrcpynA(m_szDest, szChosen, sizeof m_szDest);
        ShowPaths();
    }

    // An empty destination would put the folders at the root of whatever
    // drive is current, a place the user never chose.
    const bool bHaveDest = m_szDest[0] != 0;
    const int nCount = m_pList ? m_pList->GetItemCount() : 0;
    m_knownFolders.clear();
    m_nShownPercent = -1;
    SyncSizeIndex(true);
    m_targetSums.clear();

    for (int i = 0; i < nCount; ++i) {
        if (IsStopRequested())
            return 0;
        SetProgress(i + 1, nCount);
        MP3FileEntry* e = reinterpret_cast<MP3FileEntry*>(m_pList->GetItemData(i));
        if (!e) {
            ++m_nFailed;
            continue;
        }
        // The tag dialog may rewrite the entry meanwhile; work on one reading.
        const std::string artist = e->szArtist, album = e->szAlbum, name = e->szFileName;
        const uint32_t nSum = e->nTailSum;
        if (!bHaveDest || !NamesFolderLevels(artist.c_str(), "no artist") ||
            !NamesFolderLevels(album.c_str(), "no album")) {
            ++m_nFailed;
            continue;
        }
        const std::string folder = std::string(m_szDest) + "\\" + artist + "\\" + album;
        const std::string target = folder + "\\" + name;
        // Cut, it would name another file; it is refused whole.
        if (target.size() >= sizeof e->szTargetPath) {
            ++m_nFailed;
            continue;
        }
        lstrcpynA(e->szTargetPath, target.c_str(), sizeof e->szTargetPath);

        if (IsDuplicateFile(e, this)) {
            ++m_nDuplicates;
            continue;
        }
        if (IsStopRequested())
            return 0;
        bool bNewFolder = false;
        if (!EnsureFolder(folder, bNewFolder)) {
            ++m_nFailed;
            continue;
        }

        const bool bCopy = nMode == MODE_COPY;
        SetStatus(bCopy ? "%s\r\n[%s] 에서\r\n[%s] 으로 복사 중입니다." : "%s\r\n[%s] 에서\r\n[%s] 으로 이동 중입니다.",
                  g_szOpeningText, e->szPath, target.c_str());
        // In a folder of its own making the pass knows the names; one taken
        // there is rare, and the final rename refuses it all the same.
        const TargetCheck check = bNewFolder ? TARGET_CHECK_AT_RENAME : TARGET_CHECK_FIRST;
        const TransferResult r = bCopy ? SafeCopyFile(e->szPath, target.c_str(), m_bStop, check)
                                       : SafeMoveFile(e->szPath, target.c_str(), m_bStop, check);
        if (r == TRANSFER_STOPPED)
            return 0;
        if (r != TRANSFER_DONE) {
            ++m_nFailed;
            continue;
        }
        ++m_nSucceeded;
        // What now stands at the target is the source as fingerprinted, unless
        // the tag dialog rewrote the source meanwhile.
        if (nSum != 0 && e->nTailSum == nSum)
            m_targetSums[TargetKey(target.c_str())] = nSum;
        else
            m_targetSums.erase(TargetKey(target.c_str()));
        SetStatus(bCopy ? "%s\r\n[%s] 에서\r\n[%s] 으로 복사 완료 하였습니다." : "%s\r\n[%s] 에서\r\n[%s] 으로 이동 하였습니다.",
                  g_szOpeningText, e->szPath, target.c_str());
    }
    return 1;
}

bool CCollectJob::EnsureFolder(const std::string& folder, bool& bMadeByPass)
{
    const auto known = m_knownFolders.find(folder);
    if (known != m_knownFolders.end()) {
        bMadeByPass = known->second;
        return true;
    }
    const DWORD attrs = ::GetFileAttributesA(folder.c_str());
    const bool bExisted = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
    if (!bExisted && CreateFolderPath(folder.c_str()) != 1)
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

bool IsDuplicateFile(const MP3FileEntry* pEntry, CCollectJob* pJob)
{
    if (!pEntry || !pJob || !pJob->m_pList || pEntry->nFileSize == 0)
        return false;
    pJob->SyncSizeIndex(false);
    const auto it = pJob->m_sizeIndex.find(pEntry->nFileSize);
    if (it == pJob->m_sizeIndex.end())
        return false;
    const uint32_t nSum = pEntry->nTailSum;
    for (int row : it->second) {
        if (pJob->IsStopRequested())
            return false;
        const auto* o = reinterpret_cast<const MP3FileEntry*>(pJob->m_pList->GetItemData(row));
        if (!o || o == pEntry || o->nIndex == pEntry->nIndex || o->nFileSize != pEntry->nFileSize)
            continue;
        if (!o->szTargetPath[0])
            continue;
        // Different last bytes settle it without reading the files, or even
        // looking for them; the same fingerprint is only a hint, like the size.
        std::string key;
        auto known = pJob->m_targetSums.end();
        if (nSum != 0) {
            key = TargetKey(o->szTargetPath);
            known = pJob->m_targetSums.find(key);
            if (known != pJob->m_targetSums.end() && known->second != nSum)
                continue;
        }
        if (_access(o->szTargetPath, 0) == -1)
            continue;
        if (nSum != 0 && known == pJob->m_targetSums.end()) {
            const uint32_t nThere = ReadTailSum(o->szTargetPath);
            if (nThere != 0)
                pJob->m_targetSums.emplace(key, nThere);
            if (nThere != 0 && nThere != nSum)
                continue;
        }
        // Equal size is only a hint; the same song has the same bytes.
        if (SameFileBytes(pEntry->szPath, o->szTargetPath, pJob->StopFlag()))
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
    char prefix[1024];
    for (size_t i = 0; i < len; ++i) {
        if (!IsSeparator(path[i]))
            continue;
        std::memcpy(prefix, path, i + 1);
        prefix[i + 1] = 0;
        if (!MakeFolder(prefix))
            return 0;
    }
    if (IsSeparator(path[len - 1]))
        return 1;
    return MakeFolder(path) ? 1 : 0;
}
