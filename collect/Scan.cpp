#include "collect/CollectJob.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "afx/FileFind.h"
#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "collect/JobScreen.h"
#include "collect/WorkPool.h"
#include "res/Texts.h"
#include "tag/Genre.h"
#include "tag/MP3Info.h"
#include "tag/SongTag.h"

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
    const CShownText chosenText = CShownText::Of(chosen);
    SetStatus(TEXT_SOURCE_CHOSEN_FORMAT, {CShownText::Of(m_szSource, chosen)});
    ShowPaths();

    SearchFolder(chosen);
    if (IsStopRequested())
        return 0;
    SetStatus(TEXT_SCAN_REPORT_FORMAT, {chosenText, m_nTotal});

    OrganiseFiles(nMode);
    return IsStopRequested() ? 0 : 1;
}

// The scan's file work, overlapped: the worker walks and reports, a few
// readers read the tags ahead of it. What the user sees is replayed by the
// worker in walk order, step by step as a one-by-one walk shows it: the same
// status texts, rows, messages and counts, in the same order.
class CScanPipe
{
public:
    explicit CScanPipe(CCollectJob& job) : m_job(job), m_steps(AHEAD), m_readers(READERS, job.m_pStop) {}

    void Folder(const std::wstring& path)
    {
        Step step;
        step.kind = Step::FOLDER;
        step.shown = CShownText::Of(PlainPath(path));
        Push(std::move(step));
    }
    void File(const std::wstring& path, CShownText shown, uint64_t nFileSize)
    {
        Step step;
        step.shown = std::move(shown);
        // A path the entry cannot hold is refused whole, never cut.
        if (step.shown.bytes.size() >= ENTRY_PATH_BYTES) {
            step.kind = Step::PATH_TOO_LONG;
        } else if (TextFromWide(NameOfPath(path)).size() >= ENTRY_NAME_BYTES) {
            step.kind = Step::REFUSED;
        } else {
            step.kind = Step::FILE;
            auto read = std::make_shared<Read>();
            read->path = path;
            read->nFileSize = nFileSize;
            step.read = read;
            std::shared_ptr<const std::atomic<bool>> pStop = m_job.m_pStop;
            m_readers.Post([read, pStop] {
                if (!*pStop)
                    read->entry = ReadFileEntry(read->path, read->nFileSize);
                read->bDone = true;
            });
        }
        Push(std::move(step));
    }
    // Reports every step left, in order; false once stopped.
    bool ReportAll()
    {
        return m_steps.ReportAll([this](Step& step) { return Report(step); });
    }

private:
    // Tags read ahead of the report; enough to keep the readers busy while
    // the worker waits on a slow file or a message. The worker, waiting,
    // wakes once a batch of reads has ended, not for each: the readers end
    // nearly in order, and the screen shows rows ten times a second anyway.
    enum { READERS = 3, AHEAD = 64, BATCH = 16 };

    struct Read
    {
        std::wstring path;
        uint64_t nFileSize = 0;
        std::unique_ptr<MP3FileEntry> entry;
        std::atomic<bool> bDone{false};
    };
    struct Step
    {
        enum Kind { FOLDER, FILE, PATH_TOO_LONG, REFUSED } kind;
        CShownText shown;   // the path
        std::shared_ptr<Read> read;
        bool IsReady() const { return !read || read->bDone; }
    };

    void Push(Step step)
    {
        m_steps.Add(std::move(step), [this](Step& s) { return Report(s); });
    }

    bool Report(Step& step)
    {
        CCollectJob& job = m_job;
        if (job.IsStopRequested())
            return false;
        switch (step.kind) {
        case Step::FOLDER:
            job.SetStatus(TEXT_FOLDER_FORMAT, {step.shown});
            return true;
        case Step::PATH_TOO_LONG: {
            ++job.m_nTotal;
            char message[JOB_TEXT_SIZE];
            wsprintfA(message, TEXT_PATH_TOO_LONG_FORMAT, step.shown.bytes.c_str());
            message[sizeof message - 1] = 0;
            job.Tell(message);
            ++job.m_nFailed;
            return true;
        }
        case Step::REFUSED:
            ++job.m_nTotal;
            ++job.m_nFailed;
            return true;
        case Step::FILE:
            break;
        }
        ++job.m_nTotal;
        job.SetStatus(TEXT_ANALYSING_FORMAT, {step.shown});
        if (!m_readers.WaitUntil(step.read->bDone, BATCH))
            return false;
        if (!step.read->entry) {
            ++job.m_nFailed;
            return true;
        }
        job.ListEntry(std::move(step.read->entry), step.shown);
        return true;
    }

    CCollectJob& m_job;
    CInOrderReports<Step> m_steps;
    CWorkPool m_readers;
};

void CCollectJob::SearchFolder(const std::wstring& path)
{
    m_visitedFolders.Clear();
    CScanPipe pipe(*this);
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
        if (std::unique_ptr<CFileFind> finder = OpenFolder(root, ::GetFileAttributesW(root.c_str()), pipe))
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
            const DWORD dwAttributes = ::GetFileAttributesW(sub.c_str());
            if (dwAttributes == INVALID_FILE_ATTRIBUTES)
                continue;
            if (std::unique_ptr<CFileFind> inner = OpenFolder(sub, dwAttributes, pipe))
                walk.push_back({std::move(inner), true});
            continue;
        }
        if (ExtensionOf(finder.GetFileNameW()) == L".mp3") {
            const std::wstring file = finder.GetFilePathW();
            pipe.File(file, CShownText::Of(PlainPath(file)), finder.GetLength());
        }
    }
    if (!IsStopRequested())
        pipe.ReportAll();
    m_visitedFolders.Clear();
}

std::unique_ptr<CFileFind> CCollectJob::OpenFolder(const std::wstring& path, DWORD dwAttributes, CScanPipe& pipe)
{
    pipe.Folder(path);
    const bool bFolder = IsFolderAttributes(dwAttributes);
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
    uint64_t nId = 0;
    // Without an identity the folder cannot be recognised again; walk it.
    if (!AskFolderId(path, nId))
        return true;
    return m_visitedFolders.Enter(path, nId);
}

std::unique_ptr<MP3FileEntry> ReadFileEntry(const std::wstring& path, uint64_t nFileSize)
{
    CMP3Info info;
    CID3v2Fields v2;
    CSongFields song;
    if (!ReadSongFields(path, info, v2, song))
        return nullptr;
    std::unique_ptr<MP3FileEntry> e(new MP3FileEntry());
    PutEntryTexts(*e, song);
    e->SetWidePath(info.m_wstrPath);
    e->nFileSize = nFileSize;
    e->nTailSum = info.m_nTailSum;
    return e;
}

void CCollectJob::ListEntry(std::unique_ptr<MP3FileEntry> e, const CShownText& text)
{
    SetStatus(TEXT_FINGERPRINTING_FORMAT, {text});
    // The scan is the rows' only writer while it runs, so the row it appends
    // lands at the current count.
    e->nIndex = int(m_rows.size());
    m_rows.push_back(std::move(e));
    m_screen.ShowRow(*m_rows.back());
    SetStatus(TEXT_LISTED_FORMAT, {text});
}
