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
#include "tests/support/ScriptedUser.h"
#include "ui/WorkDialog.h"

namespace ui_test {

using testing_support::PumpPending;
using testing_support::PumpUntil;

using testing_support::ScriptedUser;

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

    ScriptedUser m_ui;
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

// The pixels of a window, frame included, as they stand now; with width,
// only that many columns from its left edge.
std::vector<DWORD> Pixels(HWND hWnd, int width = 0);
// How many pixels two pictures of one window differ by (-1: other sizes).
int CountDifferent(const std::vector<DWORD>& a, const std::vector<DWORD>& b);

} // namespace ui_test
