#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "afx/Controls.h"
#include "afx/Dialog.h"
#include "collect/CollectJob.h"
#include "collect/EntryColumns.h"
#include "collect/JobScreen.h"
#include "collect/JobUi.h"
#include "res/Texts.h"
#include "tests/support/Pump.h"
#include "tests/support/ScriptedUser.h"
#include "tests/support/TestFiles.h"

namespace collect_test {

using testing_support::Bytes;
using testing_support::TagFields;

// The work window's opening text, at the head of the pass's texts.
inline constexpr const char* kOpening = TEXT_OPENING;

// A static text that remembers every text written to it, from any thread.
class CRecordingStatic : public CStatic
{
public:
    void SetWindowText(const char* text) override;
    std::vector<std::string> Texts() const;
    void ClearTexts();

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
};

// The controls a job writes to, in a window of their own, as its screen.
class CJobTestDialog : public CDialog, public IJobScreen
{
public:
    CJobTestDialog();
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void ShowStatus(const char* text) override { m_status.SetWindowText(text); }
    void ShowPathLine(const char* text) override { m_paths.SetWindowText(text); }
    void ShowProgress(int nPos) override { m_progress.SetPos(nPos); }
    void ShowProgressText(const char* text) override { m_progressText.SetWindowText(text); }
    void ShowRow(const MP3FileEntry& entry) override;
    void ShowOutcomes(int nFirst, int nLast) override;
    bool TrySync(UINT nTimeoutMs) override { return WaitControlsFlushed(nTimeoutMs); }
    HWND Owner() const override { return m_hWnd; }

    CRecordingStatic m_status;
    CListCtrl m_list;
    CProgressCtrl m_progress;
    CRecordingStatic m_progressText;
    CRecordingStatic m_paths;
    CEntryColumns m_columns;
    // Told on the worker of the rows given a new outcome: a test acts at a
    // row's end through it.
    std::function<void(int nFirst, int nLast)> m_onOutcomes;
};

using testing_support::Question;
using testing_support::ScriptedUser;

// Runs the real jobs on a worker thread against the test window, while this
// thread serves the window as the program's UI thread does.
class JobTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs fn on a worker, then brings the screen up to date as the program's
    // worker does before it reports; returns fn's result.
    int RunOnWorker(const std::function<int()>& fn);
    int RunCollect(int nMode) { return RunOnWorker([this, nMode] { return m_job.CollectFiles(nMode); }); }
    int RunOrganise(int nMode) { return RunOnWorker([this, nMode] { return m_job.OrganiseFiles(nMode); }); }
    // Back to an empty list and a reset context.
    void ClearList();

    int Rows() const;
    std::vector<std::string> Row(int row) const;
    MP3FileEntry* Entry(int row) { return m_job.RowEntry(row); }
    std::string Status() const { return m_dlg.m_status.GetWindowText(); }
    std::string PathLine() const { return m_dlg.m_paths.GetWindowText(); }
    std::string ProgressLabel() const { return m_dlg.m_progressText.GetWindowText(); }
    int ProgressPos() const { return m_dlg.m_progress.GetPos(); }
    std::string Src(const std::string& rel = "") const { return rel.empty() ? m_src : m_src + "\\" + rel; }
    std::string Dst(const std::string& rel = "") const { return rel.empty() ? m_dst : m_dst + "\\" + rel; }

    testing_support::TempDir m_tmp;
    std::string m_src;
    std::string m_dst;
    CJobTestDialog m_dlg;
    ScriptedUser m_ui;
    CCollectJob m_job{m_ui, m_dlg};
    DWORD m_dwWorkerId = 0;
};

using testing_support::FilesUnder;

using testing_support::PumpUntil;

// The Unix side of the Wine prefix, for what only it can make: folder links
// and drive letters.
std::string UnixPathOf(const std::string& windowsPath);
// Runs a command in the Unix shell; Wine does not report when it ends, so the
// caller waits for its effect.
bool RunUnixShell(const std::string& command);
// A folder link at linkPath pointing at target; true once it is there.
bool MakeFolderLink(const std::string& linkPath, const std::string& target);

// A drive letter of the prefix linked to a folder on another file system
// (tmpfs), removed with the object.
class CTmpfsDrive
{
public:
    CTmpfsDrive();
    ~CTmpfsDrive();
    bool IsReady() const { return m_cLetter != 0; }
    // "X:\".
    std::string Root() const { return std::string(1, m_cLetter) + ":\\"; }

private:
    char m_cLetter = 0;
    std::string m_strLink;
    std::string m_strFolder;
};

} // namespace collect_test
