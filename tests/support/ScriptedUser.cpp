#include "tests/support/ScriptedUser.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "afx/WidePath.h"

namespace testing_support {

ScriptedUser::FolderAnswer ScriptedUser::Pick(const std::string& path)
{
    return Pick(WideFromText(path));
}

ScriptedUser::FolderAnswer ScriptedUser::Pick(const std::wstring& path)
{
    return [path](std::wstring& chosen, const char*) {
        chosen = path;
        return 1;
    };
}

ScriptedUser::FolderAnswer ScriptedUser::Cancel()
{
    return [](std::wstring&, const char*) { return 0; };
}

ScriptedUser::FolderAnswer ScriptedUser::BlockUntilStop(std::function<bool()> stopped, std::function<void()> onStop)
{
    return [stopped, onStop](std::wstring&, const char*) {
        const DWORD start = ::GetTickCount();
        while (!stopped() && ::GetTickCount() - start < 60000)
            ::Sleep(1);
        if (onStop)
            onStop();
        return 0;
    };
}

ScriptedUser& ScriptedUser::Folder(FolderAnswer answer)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_folders.push_back({std::move(answer), nullptr});
    m_pLastAction = &m_folders.back().action;
    return *this;
}

ScriptedUser& ScriptedUser::Answer(int idYesOrNo)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_answers.push_back({idYesOrNo, nullptr});
    m_pLastAction = &m_answers.back().action;
    return *this;
}

ScriptedUser& ScriptedUser::Then(std::function<void()> action)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_pLastAction)
        *m_pLastAction = std::move(action);
    else
        ADD_FAILURE() << "Then without an answer to attach to";
    return *this;
}

void ScriptedUser::OnTell(std::function<void(const std::string&)> fn)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_onTell = std::move(fn);
}

void ScriptedUser::Reset()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_folders.clear();
    m_answers.clear();
    m_pLastAction = nullptr;
    m_asked.clear();
    m_onTell = nullptr;
}

void ScriptedUser::Watch(HWND status, HWND list)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_hStatus = status;
    m_hList = list;
}

void ScriptedUser::Record(Question::Kind kind, const char* text)
{
    HWND hStatus, hList;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        hStatus = m_hStatus;
        hList = m_hList;
    }
    Question q{kind, text, "", -1};
    if (hStatus) {
        char buf[2048] = "";
        ::GetWindowTextA(hStatus, buf, sizeof buf);
        q.statusOnScreen = buf;
    }
    if (hList)
        q.rowsOnScreen = int(::SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0));
    std::lock_guard<std::mutex> lock(m_lock);
    m_asked.push_back(q);
}

int ScriptedUser::ChooseFolder(std::wstring& path, const char* title)
{
    Record(Question::FOLDER, title);
    FolderStep step;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_folders.empty()) {
            ADD_FAILURE() << "unscripted folder question: " << title;
            return 0;
        }
        step = std::move(m_folders.front());
        m_folders.pop_front();
        m_pLastAction = nullptr;
    }
    ::InterlockedIncrement(&m_nInChooser);
    if (step.action)
        step.action();
    const int r = step.answer(path, title);
    ::InterlockedDecrement(&m_nInChooser);
    return r;
}

int ScriptedUser::AskYesNo(HWND, const char* text)
{
    Record(Question::YESNO, text);
    YesNoStep step;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_answers.empty()) {
            ADD_FAILURE() << "unscripted question: " << text;
            return IDNO;
        }
        step = std::move(m_answers.front());
        m_answers.pop_front();
        m_pLastAction = nullptr;
    }
    if (step.action)
        step.action();
    return step.answer;
}

void ScriptedUser::ShowMessage(HWND, const char* text)
{
    std::function<void(const std::string&)> onTell;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        onTell = m_onTell;
    }
    if (onTell)
        onTell(text);
    Record(Question::MESSAGE, text);
}

std::vector<Question> ScriptedUser::Asked() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_asked;
}

std::vector<std::string> ScriptedUser::Log() const
{
    static const char* const kPrefix[] = {"folder:", "ask:", "tell:"};
    std::vector<std::string> log;
    for (const Question& q : Asked())
        log.push_back(kPrefix[q.kind] + q.text);
    return log;
}

std::vector<std::string> ScriptedUser::Messages() const
{
    std::vector<std::string> texts;
    for (const Question& q : Asked())
        if (q.kind == Question::MESSAGE)
            texts.push_back(q.text);
    return texts;
}

int ScriptedUser::Count(const std::string& entry) const
{
    int n = 0;
    for (const std::string& e : Log())
        n += e == entry;
    return n;
}

size_t ScriptedUser::Unanswered() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_folders.size() + m_answers.size();
}

} // namespace testing_support
