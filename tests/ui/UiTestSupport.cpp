#include "tests/ui/UiTestSupport.h"

#include "afx/WidePath.h"

#include "res/resource.h"

namespace ui_test {

ScriptedUi::FolderAnswer ScriptedUi::Pick(const std::string& path)
{
    return Pick(WideFromText(path));
}

ScriptedUi::FolderAnswer ScriptedUi::Pick(const std::wstring& path)
{
    return [path](std::wstring& chosen, const char*) {
        chosen = path;
        return 1;
    };
}

ScriptedUi::FolderAnswer ScriptedUi::Cancel()
{
    return [](std::wstring&, const char*) { return 0; };
}

ScriptedUi::FolderAnswer ScriptedUi::Then(std::function<void()> fn, FolderAnswer next)
{
    return [fn, next](std::wstring& chosen, const char* title) {
        fn();
        return next(chosen, title);
    };
}

ScriptedUi::FolderAnswer ScriptedUi::BlockUntilStop(const CCollectJob* job, std::function<void()> onStop)
{
    return [job, onStop](std::wstring&, const char*) {
        const DWORD start = ::GetTickCount();
        while (!job->IsStopRequested() && ::GetTickCount() - start < 60000)
            ::Sleep(1);
        if (onStop)
            onStop();
        return 0;
    };
}

void ScriptedUi::AddFolder(FolderAnswer a)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_folders.push_back(std::move(a));
}

void ScriptedUi::AddAnswer(int idYesOrNo)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_answers.push_back(idYesOrNo);
}

int ScriptedUi::ChooseFolder(std::wstring& path, const char* title)
{
    FolderAnswer answer;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_log.push_back(std::string("folder:") + title);
        if (m_folders.empty()) {
            ADD_FAILURE() << "unexpected folder question: " << title;
            return 0;
        }
        answer = std::move(m_folders.front());
        m_folders.pop_front();
    }
    ::InterlockedIncrement(&m_nInChooser);
    const int r = answer(path, title);
    ::InterlockedDecrement(&m_nInChooser);
    return r;
}

int ScriptedUi::AskYesNo(HWND, const char* text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_log.push_back(std::string("ask:") + text);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return IDNO;
    }
    const int r = m_answers.front();
    m_answers.pop_front();
    return r;
}

void ScriptedUi::OnTell(std::function<void(const std::string&)> fn)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_onTell = std::move(fn);
}

void ScriptedUi::Reset()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_folders.clear();
    m_answers.clear();
    m_log.clear();
    m_onTell = nullptr;
}

void ScriptedUi::ShowMessage(HWND, const char* text)
{
    std::function<void(const std::string&)> onTell;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        onTell = m_onTell;
    }
    if (onTell)
        onTell(text);
    std::lock_guard<std::mutex> lock(m_lock);
    m_log.push_back(std::string("tell:") + text);
}

std::vector<std::string> ScriptedUi::Log() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_log;
}

std::vector<std::string> ScriptedUi::Messages() const
{
    std::vector<std::string> out;
    for (const std::string& e : Log())
        if (e.compare(0, 5, "tell:") == 0)
            out.push_back(e.substr(5));
    return out;
}

int ScriptedUi::Count(const std::string& entry) const
{
    int n = 0;
    for (const std::string& e : Log())
        n += e == entry;
    return n;
}

void WorkDialogTest::SetUp()
{
    m_dlg.reset(new CWorkDialog(m_ui));
    ASSERT_TRUE(m_dlg->Create(nullptr));
    ::ShowWindow(m_dlg->GetSafeHwnd(), SW_SHOW);
    PumpPending();
}

void WorkDialogTest::TearDown()
{
    // A worker still in the slot is the dialog's to end; answer its question.
    if (m_dlg && m_dlg->m_pWorkThread) {
        m_ui.AddAnswer(IDYES);
        m_ui.AddAnswer(IDYES);
    }
    m_dlg.reset();
    PumpPending();
}

void WorkDialogTest::Reopen()
{
    TearDown();
    m_ui.Reset();
    SetUp();
}

void WorkDialogTest::ScanDeclined(const std::string& folder)
{
    m_ui.AddFolder(ScriptedUi::Pick(folder));
    m_ui.AddAnswer(IDNO);
    Click(IDC_BTN_ADD_LIST);
    ASSERT_TRUE(WaitJobEnd());
    Flush();
    m_ui.Reset();
}

void WorkDialogTest::Click(int id)
{
    m_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(m_dlg->GetDlgItem(id)));
}

bool WorkDialogTest::WaitJobEnd(DWORD timeoutMs)
{
    if (!PumpUntil([this] { return m_dlg->m_pWorkThread && m_dlg->m_pWorkThread->HasEnded(); }, timeoutMs))
        return false;
    // The report of its end was posted before it ended: handle it.
    PumpPending();
    return true;
}

std::string WorkDialogTest::Buttons() const
{
    std::string s;
    for (int id : {IDC_BTN_MOVE_START, IDC_BTN_COPY_START, IDC_BTN_STOP, IDC_BTN_OPEN_FOLDER, IDC_BTN_ADD_LIST,
                   IDC_BTN_WORK_EXIT})
        s += ::IsWindowEnabled(m_dlg->GetDlgItem(id)) ? '1' : '0';
    return s;
}

std::string WorkDialogTest::Text(int id) const
{
    char buf[2048] = "";
    ::GetWindowTextA(m_dlg->GetDlgItem(id), buf, sizeof buf);
    return buf;
}

namespace {
struct FindDialog
{
    int childId;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND hWnd, LPARAM lp)
{
    auto* f = reinterpret_cast<FindDialog*>(lp);
    char cls[32] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, f->childId)) {
        f->found = hWnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

ModalDriver::ModalDriver(int childId, std::function<void(HWND)> act)
{
    const DWORD uiThread = ::GetCurrentThreadId();
    m_thread = std::thread([this, uiThread, childId, act] {
        const DWORD start = ::GetTickCount();
        while (!m_bQuit && ::GetTickCount() - start < 20000) {
            FindDialog f = {childId, nullptr};
            ::EnumThreadWindows(uiThread, FindDialogProc, reinterpret_cast<LPARAM>(&f));
            if (f.found) {
                m_bFound = true;
                act(f.found);
                return;
            }
            ::Sleep(5);
        }
    });
}

ModalDriver::~ModalDriver()
{
    m_bQuit = true;
    m_thread.join();
}

std::string PromptPaths()
{
    return "mp3 가 존재하는 경로 : mp3 파일이 존재하는 경로를 지정하여 주십시오\r\n"
           "이동 및 복사를 할 경로 : mp3파일을 복사 또는 옮길 경로를 지정하여 주십시오";
}

} // namespace ui_test
