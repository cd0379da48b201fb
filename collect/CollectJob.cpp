#include "collect/CollectJob.h"

#include <cstdarg>

#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "collect/JobScreen.h"
#include "collect/JobUi.h"
#include "res/Texts.h"


namespace {
// How long one attempt to reach the window waits before the stop request
// and the window's life are looked at again.
const UINT SYNC_ATTEMPT_MS = 100;
}

CCollectJob::CCollectJob(IJobUi& ui, IJobScreen& screen) : m_ui(ui), m_screen(screen)
{
    Reset();
}

void CCollectJob::Reset()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_szText[0] = 0;
    m_nTotal = m_nSucceeded = m_nFailed = m_nDuplicates = 0;
    m_szSource[0] = 0;
    m_szDest[0] = 0;
    m_wstrSource.clear();
    m_wstrDest.clear();
    m_nShownPercent = -1;
    m_visitedFolders.Clear();
    m_knownFolders.clear();
    m_targetFolders.clear();
    m_sizeIndex.clear();
    m_nIndexedRows = 0;
    m_targetSums.clear();
}

void CCollectJob::ShowPaths()
{
    char line[JOB_TEXT_SIZE];
    std::wstring whole;
    FormatShown(line, sizeof line, whole, TEXT_PATHS_FORMAT,
                {CShownText::Of(m_szSource, m_wstrSource), CShownText::Of(m_szDest, m_wstrDest)});
    m_screen.ShowPathLine(line, whole);
}

void CCollectJob::SetProgress(int nDone, int nCount)
{
    if (nCount < 1)
        return;
    // In single precision, each step rounded to it, whatever the FPU keeps.
    volatile float ratio = float(nDone) / float(nCount);
    volatile float pos = ratio * float(PROGRESS_RANGE);
    volatile float scaled = float(nDone) * 100.0f;
    volatile float percent = scaled / float(nCount);
    m_screen.ShowProgress(int(pos));
    const int nPercent = int(percent);
    if (nPercent != m_nShownPercent) {
        char label[32];
        wsprintfA(label, TEXT_PROGRESS_FORMAT, nPercent);
        m_screen.ShowProgressText(label);
        m_nShownPercent = nPercent;
    }
}

void CCollectJob::SyncScreen()
{
    while (!IsStopRequested() && !m_screen.TrySync(SYNC_ATTEMPT_MS)) {
    }
}

void CCollectJob::SetStatus(const char* format, std::initializer_list<CFormatArg> args)
{
    std::wstring whole;
    FormatShown(m_szText, sizeof m_szText, whole, format, args);
    m_screen.ShowStatus(m_szText, whole);
}

void CCollectJob::SetStatus(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    wvsprintfA(m_szText, format, args);
    va_end(args);
    m_szText[sizeof m_szText - 1] = 0;
    m_screen.ShowStatus(m_szText);
}

// A stopped job asks nothing more: its question would open after the stop,
// perhaps after the window it belongs to is gone. (One opened just before
// the stop is closed by whoever stops it.)
int CCollectJob::AskFolder(std::wstring& path, const char* title)
{
    SyncScreen();
    if (IsStopRequested())
        return 0;
    return m_ui.ChooseFolder(path, title);
}

void CCollectJob::CommitEdit(MP3FileEntry& e, const MP3FileEntry& edited)
{
    std::lock_guard<std::mutex> lock(m_entryLock);
    CopyTagTexts(e, edited);
    e.nTailSum = 0;
    // What the last pass made of the row may no longer hold: a song that
    // lacked an album may have one now. The next pass tells.
    e.SetOutcome(OUTCOME_NONE);
}

void CCollectJob::SetSource(const std::wstring& path)
{
    m_wstrSource = path;
    lstrcpynA(m_szSource, TextFromWide(path).c_str(), sizeof m_szSource);
}

void CCollectJob::SetDest(const std::wstring& path)
{
    m_wstrDest = path;
    lstrcpynA(m_szDest, TextFromWide(path).c_str(), sizeof m_szDest);
}

int CCollectJob::AskYesNo(const char* text)
{
    SyncScreen();
    if (IsStopRequested())
        return IDNO;
    return m_ui.AskYesNo(m_screen.Owner(), text);
}

void CCollectJob::Tell(const char* text)
{
    SyncScreen();
    if (!IsStopRequested())
        m_ui.ShowMessage(m_screen.Owner(), text);
}
