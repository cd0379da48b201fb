#include "collect/CollectJob.h"

#include <cstring>
#include <memory>
#include <vector>

#include "afx/FileFind.h"
#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "res/Texts.h"
#include "tag/Genre.h"
#include "tag/MP3Info.h"

namespace {


// What a file's name holds from its last dot on, dot included.
std::wstring ExtensionOf(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

} // namespace

int CCollectJob::CollectFiles(int nMode)
{
    if (IsStopRequested())
        return 0;
    std::wstring chosen;
    if (!AskFolder(chosen, TEXT_SOURCE_TITLE) || IsStopRequested())
        return 0;
    SetSource(chosen);
    const std::string chosenText = TextFromWide(chosen);
    SetStatus(TEXT_SOURCE_CHOSEN_FORMAT, m_szSource);
    ShowPaths();

    SearchFolder(chosen);
    if (IsStopRequested())
        return 0;
    SetStatus(TEXT_SCAN_REPORT_FORMAT, chosenText.c_str(), m_nTotal);

    OrganiseFiles(nMode);
    return IsStopRequested() ? 0 : 1;
}

void CCollectJob::SearchFolder(const std::string& path)
{
    SearchFolder(WideFromText(path));
}

void CCollectJob::SearchFolder(const std::wstring& path)
{
    m_visitedFolders.clear();
    // The folders being walked, the outermost first: a tree of any depth
    // costs heap, not the worker's stack.
    struct Level
    {
        std::unique_ptr<CFileFind> finder;
        bool bMore;
    };
    std::vector<Level> walk;
    const std::wstring root = LongPath(path);
    if (!root.empty() && !IsStopRequested()) {
        if (std::unique_ptr<CFileFind> finder = OpenFolder(root))
            walk.push_back({std::move(finder), true});
    }
    while (!walk.empty() && !IsStopRequested()) {
        if (!walk.back().bMore) {
            walk.pop_back();
            continue;
        }
        CFileFind& finder = *walk.back().finder;
        walk.back().bMore = finder.FindNextFile() != FALSE;
        if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY)) {
            if (finder.IsDots())
                continue;
            const std::wstring sub = finder.GetFilePathW();
            if (::GetFileAttributesW(sub.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue;
            if (std::unique_ptr<CFileFind> inner = OpenFolder(sub))
                walk.push_back({std::move(inner), true});
            continue;
        }
        ListFile(finder);
    }
    m_visitedFolders.clear();
}

std::unique_ptr<CFileFind> CCollectJob::OpenFolder(const std::wstring& path)
{
    SetStatus(TEXT_FOLDER_FORMAT, TextFromWide(PlainPath(path)).c_str());
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    const bool bFolder = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
    if (bFolder && !EnterFolderOnce(path))
        return nullptr;
    // A chosen single file is its own pattern and finds just itself.
    std::unique_ptr<CFileFind> finder(new CFileFind());
    if (!finder->FindFile(bFolder ? JoinPath(path, L"*") : path))
        return nullptr;
    return finder;
}

bool CCollectJob::EnterFolderOnce(const std::wstring& path)
{
    CHandle folder(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    // Without an identity the folder cannot be recognised again; walk it.
    if (!folder.IsValid() || !::GetFileInformationByHandle(folder, &info))
        return true;
    const uint64_t id = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return m_visitedFolders.insert({info.dwVolumeSerialNumber, id}).second;
}

void CCollectJob::ListFile(const CFileFind& finder)
{
    if (ExtensionOf(finder.GetFileNameW()) != L".mp3")
        return;
    ++m_nTotal;
    const std::wstring file = finder.GetFilePathW();
    // A path the entry cannot hold is refused whole, never cut.
    const std::string text = TextFromWide(PlainPath(file));
    if (text.size() >= ENTRY_PATH_BYTES) {
        char message[JOB_TEXT_SIZE];
        wsprintfA(message, TEXT_PATH_TOO_LONG_FORMAT, text.c_str());
        message[sizeof message - 1] = 0;
        Tell(message);
        ++m_nFailed;
        return;
    }
    if (!AddEntry(file, text, finder.GetLength()))
        ++m_nFailed;
}

int AddFileEntry(CCollectJob* pJob, const std::string& path)
{
    const std::wstring file = LongPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!pJob || file.empty() || !::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data))
        return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    return AddFileEntry(pJob, file, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

int AddFileEntry(CCollectJob* pJob, const std::wstring& path, uint64_t nFileSize)
{
    return pJob ? pJob->AddEntry(path, TextFromWide(PlainPath(path)), nFileSize) : 0;
}

int CCollectJob::AddEntry(const std::wstring& path, const std::string& text, uint64_t nFileSize)
{
    // Without a list no row could own the entry.
    if (!m_pList)
        return 0;
    const std::string name = TextFromWide(NameOfPath(path));
    if (text.size() >= ENTRY_PATH_BYTES || name.size() >= ENTRY_NAME_BYTES)
        return 0;

    SetStatus(TEXT_ANALYSING_FORMAT, text.c_str());
    CMP3Info info;
    if (!info.ReadTag(path))
        return 0;

    std::unique_ptr<MP3FileEntry> e(new MP3FileEntry());
    PutEntryTexts(*e, info);
    e->SetWidePath(info.m_wstrPath);

    SetStatus(TEXT_FINGERPRINTING_FORMAT, text.c_str());
    e->nFileSize = nFileSize;
    e->nTailSum = info.m_nTailSum;

    // The scan is the list's only writer while it runs, so the row it appends
    // lands at the current count.
    e->nIndex = m_pList->GetItemCount();
    m_pList->InsertItem(e->nIndex, reinterpret_cast<LPARAM>(e.get()));
    e.release();

    info.Reset();
    SetStatus(TEXT_LISTED_FORMAT, text.c_str());
    return 1;
}
