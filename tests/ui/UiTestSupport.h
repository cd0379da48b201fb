#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collect/JobUi.h"
#include "tests/support/Pump.h"
#include "ui/WorkDialog.h"

namespace ui_test {

using testing_support::PumpPending;
using testing_support::PumpUntil;

// The user as a script. Each folder question takes the next answer; each
// Yes/No question the next answer; messages are recorded. Everything asked
// is logged in order ("folder:<title>", "ask:<text>", "tell:<text>"). Runs on
// whichever thread asks.
class ScriptedUi : public IJobUi
{
public:
    using FolderAnswer = std::function<int(std::wstring& path, const char* title)>;

    static FolderAnswer Pick(const std::string& path);
    static FolderAnswer Pick(const std::wstring& path);
    static FolderAnswer Cancel();
    // Runs fn, then answers with the next step (for looking at the window at
    // the moment the chooser would be open).
    static FolderAnswer Then(std::function<void()> fn, FolderAnswer next);
    // Keeps the worker here, as an open chooser would, until a stop is asked;
    // then runs onStop (on the worker) and cancels.
    static FolderAnswer BlockUntilStop(const CCollectJob* job, std::function<void()> onStop = nullptr);

    void AddFolder(FolderAnswer a);
    void AddAnswer(int idYesOrNo);
    // Runs on the worker when a message is shown, before it is logged.
    void OnTell(std::function<void(const std::string&)> fn);
    // Forgets the script and the log.
    void Reset();

    int ChooseFolder(std::wstring& path, const char* title) override;
    int AskYesNo(HWND owner, const char* text) override;
    void ShowMessage(HWND owner, const char* text) override;

    std::vector<std::string> Log() const;
    std::vector<std::string> Messages() const;   // the "tell:" entries' texts
    int Count(const std::string& entry) const;
    // True when a worker is inside ChooseFolder right now.
    bool InChooser() const { return m_nInChooser > 0; }

private:
    mutable std::mutex m_lock;
    std::deque<FolderAnswer> m_folders;
    std::deque<int> m_answers;
    std::function<void(const std::string&)> m_onTell;
    std::vector<std::string> m_log;
    volatile LONG m_nInChooser = 0;
};

// A work dialog, modeless in the test's thread, talking to a scripted user.
class WorkDialogTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a job by its button, as a click would (the handler runs now).
    void Click(int id);
    // Waits until the worker in the slot has ended, delivering its messages.
    bool WaitJobEnd(DWORD timeoutMs = 20000);
    // Brings the controls up to date with what the worker wrote.
    void Flush() { m_dlg->FlushControls(); }
    // A fresh dialog and script.
    void Reopen();
    // Scans the folder into the list and declines the pass, so the list
    // has rows and the slot a finished worker.
    void ScanDeclined(const std::string& folder);

    // move, copy, stop, open-folder, add-to-list, exit: 1 enabled, 0 not.
    std::string Buttons() const;
    std::string Text(int id) const;
    int Rows() const { return m_dlg->m_listFiles.GetItemCount(); }
    MP3FileEntry* Row(int i) const
    {
        return reinterpret_cast<MP3FileEntry*>(m_dlg->m_listFiles.GetItemData(i));
    }

    ScriptedUi m_ui;
    std::unique_ptr<CWorkDialog> m_dlg;
};

// Acts on the next dialog this thread opens that has a control with the id,
// from a helper thread, while the test's thread sits in the modal loop.
class ModalDriver
{
public:
    ModalDriver(int childId, std::function<void(HWND dlg)> act);
    ~ModalDriver();
    bool Found() const { return m_bFound; }

private:
    std::thread m_thread;
    volatile bool m_bFound = false;
    volatile bool m_bQuit = false;
};

// The path line as the dialog writes it before any folder is chosen.
std::string PromptPaths();

} // namespace ui_test
