#include "tests/collect/JobHarness.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "afx/WidePath.h"
#include "tests/collect/JobTestIds.h"

namespace collect_test {


// ---- recording static -------------------------------------------------------

void CRecordingStatic::SetWindowText(const char* text)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_texts.push_back(text);
    }
    CStatic::SetWindowText(text);
}

std::vector<std::string> CRecordingStatic::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

void CRecordingStatic::ClearTexts()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.clear();
}

// ---- test window ------------------------------------------------------------

CJobTestDialog::CJobTestDialog() : CDialog(IDD_JOB_TEST) {}

void CJobTestDialog::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, 1003, m_status);
    DDX_Control(pDX, 1002, m_list);
    DDX_Control(pDX, 1004, m_progress);
    DDX_Control(pDX, 1005, m_progressText);
    DDX_Control(pDX, 1010, m_paths);
}

BOOL CJobTestDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int c = 0; c < COLUMN_COUNT; ++c)
        m_list.InsertColumn(c, "", LVCFMT_LEFT, 60, c);
    m_list.SetTextSource(&m_columns);
    m_progress.SetRange(0, 500);
    return TRUE;
}

void CJobTestDialog::ShowRow(const MP3FileEntry& entry)
{
    m_list.InsertItem(m_list.GetItemCount(), reinterpret_cast<LPARAM>(&entry));
}

void CJobTestDialog::ShowOutcomes(int nFirst, int nLast)
{
    if (m_onOutcomes)
        m_onOutcomes(nFirst, nLast);
}

// ---- fixture ----------------------------------------------------------------

namespace {

struct WorkerCall
{
    const std::function<int()>* fn;
    CCollectJob* job;
    int result;
};

DWORD WINAPI WorkerProc(LPVOID p)
{
    auto* call = static_cast<WorkerCall*>(p);
    call->result = (*call->fn)();
    call->job->SyncScreen();
    return 0;
}

// Only a guard against a job that never ends: far beyond any job here on a
// busy machine, which measures nothing.
const DWORD JOB_TIMEOUT_MS = 600000;

} // namespace

void JobTest::SetUp()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    m_src = m_tmp / "src";
    m_dst = m_tmp / "dst";
    ::CreateDirectoryA(m_src.c_str(), nullptr);
    ::CreateDirectoryA(m_dst.c_str(), nullptr);
    ASSERT_TRUE(m_dlg.Create(nullptr));
    m_ui.Watch(m_dlg.m_status.m_hWnd, m_dlg.m_list.m_hWnd);
}

void JobTest::ClearList()
{
    m_dlg.m_list.DeleteAllItems();
    m_job.Reset();
}

void JobTest::TearDown()
{
    EXPECT_EQ(0u, m_ui.Unanswered()) << "scripted answers left over";
    ClearList();
    m_dlg.DestroyWindow();
}

int JobTest::RunOnWorker(const std::function<int()>& fn)
{
    WorkerCall call{&fn, &m_job, -1};
    HANDLE h = ::CreateThread(nullptr, 0, WorkerProc, &call, 0, &m_dwWorkerId);
    if (!h) {
        ADD_FAILURE() << "no worker thread";
        return -1;
    }
    auto ended = [h] { return ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0; };
    if (!PumpUntil(ended, JOB_TIMEOUT_MS)) {
        ADD_FAILURE() << "the job did not end";
        m_job.RequestStop();
        PumpUntil(ended, INFINITE);
    }
    ::CloseHandle(h);
    return call.result;
}

int JobTest::Rows() const
{
    return int(m_dlg.m_list.SendMessage(LVM_GETITEMCOUNT));
}

std::vector<std::string> JobTest::Row(int row) const
{
    std::vector<std::string> cells;
    // The list shows whole texts; their CP949 form is the program's own, with
    // '?' for what the code page cannot spell (an ANSI request would get the
    // system's look-alike letters instead).
    for (int c = 0; c < COLUMN_COUNT; ++c) {
        wchar_t buf[1024] = L"";
        LVITEMW item = {};
        item.iSubItem = c;
        item.pszText = buf;
        item.cchTextMax = sizeof buf / sizeof buf[0];
        ::SendMessageW(m_dlg.m_list.m_hWnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        cells.push_back(TextFromWide(buf));
    }
    return cells;
}

// ---- files and the Unix side ------------------------------------------------

std::string UnixPathOf(const std::string& windowsPath)
{
    typedef char*(CDECL * UnixFileName)(LPCWSTR);
    auto fn = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (!fn)
        return std::string();
    WCHAR wide[1024];
    if (!::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, 1024))
        return std::string();
    char* unix = fn(wide);
    if (!unix)
        return std::string();
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

bool RunUnixShell(const std::string& command)
{
    std::string line = "sh -c \"" + command + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!::CreateProcessA("/bin/sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

static bool WaitFor(const std::function<bool()>& done, DWORD dwTimeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > dwTimeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}

bool MakeFolderLink(const std::string& linkPath, const std::string& target)
{
    const size_t sep = linkPath.find_last_of('\\');
    const std::string unixParent = UnixPathOf(linkPath.substr(0, sep));
    const std::string unixTarget = UnixPathOf(target);
    if (unixParent.empty() || unixTarget.empty())
        return false;
    // Only ASCII names here: the Unix side spells them in UTF-8.
    if (!RunUnixShell("ln -s '" + unixTarget + "' '" + unixParent + "/" + linkPath.substr(sep + 1) + "'"))
        return false;
    return WaitFor([&] { return ::GetFileAttributesA(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

CTmpfsDrive::CTmpfsDrive()
{
    const std::string c = UnixPathOf("C:\\");
    const size_t at = c.find("dosdevices/");
    if (at == std::string::npos)
        return;
    const std::string dosdevices = c.substr(0, at + std::strlen("dosdevices/"));
    const DWORD used = ::GetLogicalDrives();
    char letter = 0;
    for (char l = 'S'; l <= 'Y' && !letter; ++l)
        if (!(used & (1u << (l - 'A'))))
            letter = l;
    if (!letter)
        return;
    char folder[128];
    wsprintfA(folder, "/dev/shm/sorvane-drive-%lu-%lu", ::GetCurrentProcessId(), ::GetTickCount());
    m_strFolder = folder;
    m_strLink = dosdevices + char(letter - 'A' + 'a') + ":";
    if (!RunUnixShell("mkdir -p '" + m_strFolder + "' && ln -sfn '" + m_strFolder + "' '" + m_strLink + "'"))
        return;
    const std::string root = std::string(1, letter) + ":\\";
    if (WaitFor([&] { return ::GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
        m_cLetter = letter;
}

CTmpfsDrive::~CTmpfsDrive()
{
    if (m_strLink.empty())
        return;
    RunUnixShell("rm -f '" + m_strLink + "'; rm -rf '" + m_strFolder + "'");
    if (m_cLetter) {
        const std::string root = Root();
        WaitFor([&] { return ::GetFileAttributesA(root.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000);
    }
}

} // namespace collect_test
