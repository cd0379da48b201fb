#include "tests/ui/UiTestSupport.h"

#include <algorithm>

#include "afx/WidePath.h"

#include "res/resource.h"

namespace ui_test {

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
    if (m_dlg && m_dlg->m_runner.HasJob()) {
        m_ui.Yes();
        m_ui.Yes();
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
    m_ui.Folder(folder);
    m_ui.No();
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
    if (!PumpUntil([this] { return m_dlg->m_runner.HasJob() && m_dlg->m_runner.HasEnded(); }, timeoutMs))
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

std::vector<DWORD> Pixels(HWND hWnd, int width)
{
    RECT r;
    ::GetWindowRect(hWnd, &r);
    const int h = r.bottom - r.top;
    const int w = width > 0 ? std::min<int>(width, r.right - r.left) : r.right - r.left;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetWindowDC(hWnd);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    std::vector<DWORD> out(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + size_t(w) * h);
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(hWnd, screen);
    return out;
}

int CountDifferent(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

} // namespace ui_test
