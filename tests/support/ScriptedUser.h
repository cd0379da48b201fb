#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "collect/JobUi.h"

namespace testing_support {

struct Question
{
    enum Kind { FOLDER, YESNO, MESSAGE } kind;
    std::string text;           // the title of a folder question, else the text
    std::string statusOnScreen; // what the watched status control showed while asked
    int rowsOnScreen;           // rows the watched list window showed while asked (-1: none watched)
};

// The user as a script, for the jobs and the work window alike. Folder
// questions take the next folder answer, Yes/No questions the next Yes/No
// answer; messages are recorded and need no answer. Everything asked is
// recorded in order. A question with no answer left fails the test and is
// answered like a cancel (or No). Runs on whichever thread asks.
class ScriptedUser : public IJobUi
{
public:
    using FolderAnswer = std::function<int(std::wstring& path, const char* title)>;

    static FolderAnswer Pick(const std::string& path);
    static FolderAnswer Pick(const std::wstring& path);
    static FolderAnswer Cancel();
    // Keeps the asking thread here, as an open chooser would, until stopped()
    // says so (a minute at most); then runs onStop there and cancels.
    static FolderAnswer BlockUntilStop(std::function<bool()> stopped, std::function<void()> onStop = nullptr);

    ScriptedUser& Folder(const std::string& path) { return Folder(Pick(path)); }
    ScriptedUser& Folder(const std::wstring& path) { return Folder(Pick(path)); }
    ScriptedUser& Folder(FolderAnswer answer);
    ScriptedUser& CancelFolder() { return Folder(Cancel()); }
    ScriptedUser& Answer(int idYesOrNo);
    ScriptedUser& Yes() { return Answer(IDYES); }
    ScriptedUser& No() { return Answer(IDNO); }
    // Runs on the asking thread when the answer added last is taken, before
    // it is given (for looking at the window while the question is open).
    ScriptedUser& Then(std::function<void()> action);
    // Runs on the asking thread when a message is shown, before it is recorded.
    void OnTell(std::function<void(const std::string&)> fn);
    // Forgets the script and the record.
    void Reset();
    // The controls whose state each question records.
    void Watch(HWND status, HWND list);

    std::vector<Question> Asked() const;
    // The record as "folder:<title>", "ask:<text>", "tell:<text>".
    std::vector<std::string> Log() const;
    // The texts of the messages shown.
    std::vector<std::string> Messages() const;
    int Count(const std::string& entry) const;
    size_t Unanswered() const;
    // True when a thread is inside ChooseFolder right now.
    bool InChooser() const { return m_nInChooser > 0; }

    int ChooseFolder(std::wstring& path, const char* title) override;
    int AskYesNo(HWND owner, const char* text) override;
    void ShowMessage(HWND owner, const char* text) override;

private:
    struct FolderStep
    {
        FolderAnswer answer;
        std::function<void()> action;
    };
    struct YesNoStep
    {
        int answer;
        std::function<void()> action;
    };
    void Record(Question::Kind kind, const char* text);

    mutable std::mutex m_lock;
    std::deque<FolderStep> m_folders;
    std::deque<YesNoStep> m_answers;
    std::function<void()>* m_pLastAction = nullptr;
    std::function<void(const std::string&)> m_onTell;
    std::vector<Question> m_asked;
    HWND m_hStatus = nullptr;
    HWND m_hList = nullptr;
    volatile LONG m_nInChooser = 0;
};

} // namespace testing_support
