// A tag edit of one large song in the real work window: the song listed by
// the real scan, the real tag dialog opened on its row, its title typed and
// saved from another thread as a user would. Measures how long the save
// took and how late the window's thread answered meanwhile (a timer asks
// for a tick every 10 ms; a tick late by more than that means the thread
// was busy). --inline saves on the window's thread instead, as the program
// did before, for the figure to compare with.
//
//   bench_edit.exe FOLDER MB [--inline]
//   prints: mb=… save_ms=… ui_max_ms=… ui_p99_ms=… ticks=…
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "collect/JobUi.h"
#include "res/resource.h"
#include "tag/SongSave.h"
#include "ui/WorkDialog.h"

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(freq.QuadPart);
}

class CScriptedUser : public IJobUi
{
public:
    explicit CScriptedUser(std::wstring source) : m_source(std::move(source)) {}
    int ChooseFolder(std::wstring& path, const char*) override
    {
        path = m_source;
        return 1;
    }
    int AskYesNo(HWND, const char*) override { return IDNO; }
    void ShowMessage(HWND, const char*) override { m_bScanned = true; }

    std::wstring m_source;
    std::atomic<bool> m_bScanned{false};
};

// A v2.3 tag with a picture, then the audio: a song as large as asked.
bool WriteSong(const std::wstring& path, int mb)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string frames;
    const auto frame = [&frames](const char* id, const std::string& data) {
        const uint32_t n = uint32_t(data.size());
        frames.append(id, 4);
        for (int i = 3; i >= 0; --i)
            frames.push_back(char(n >> (8 * i)));
        frames.append(2, '\0');
        frames += data;
    };
    frame("TIT2", std::string("\0Title", 6));
    frame("TPE1", std::string("\0Band", 5));
    frame("TALB", std::string("\0Disc", 5));
    frame("APIC", std::string("\0image/jpeg\0\3\0", 14) + std::string(20000, '\x5A'));
    const uint32_t body = uint32_t(frames.size() + 2048);
    std::string tag = "ID3";
    tag += std::string("\3\0\0", 3);
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(char((body >> shift) & 0x7F));
    tag += frames + std::string(2048, '\0');
    DWORD n = 0;
    bool ok = ::WriteFile(h, tag.data(), DWORD(tag.size()), &n, nullptr) != FALSE;
    std::vector<char> chunk(1 << 20);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = char(i * 31 + 7);
    for (int i = 0; ok && i < mb; ++i)
        ok = ::WriteFile(h, chunk.data(), DWORD(chunk.size()), &n, nullptr) != FALSE;
    ::CloseHandle(h);
    return ok;
}

std::vector<double> g_late;
double g_lastTick = 0;
std::atomic<bool> g_bMeasuring{false};

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    const double t = Now();
    if (g_bMeasuring && g_lastTick > 0)
        g_late.push_back(std::max(0.0, t - g_lastTick - 10.0));
    g_lastTick = t;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

struct CFind
{
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindTagDialogProc(HWND w, LPARAM p)
{
    auto* f = reinterpret_cast<CFind*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == f->pid && ::IsWindowVisible(w) && ::GetDlgItem(w, IDC_BTN_SAVE)) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND FindTagDialog(DWORD pid)
{
    CFind find{pid, nullptr};
    ::EnumWindows(FindTagDialogProc, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_edit FOLDER MB [--inline]\n");
        return 2;
    }
    const std::wstring folder = LongPath(WideFromText(argv[1]));
    const int mb = std::atoi(argv[2]);
    const bool bInline = argc > 3 && std::strcmp(argv[3], "--inline") == 0;
    const std::wstring song = folder + L"\\big.mp3";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    if (!WriteSong(song, mb)) {
        std::fprintf(stderr, "cannot write the song\n");
        return 1;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    CScriptedUser user(song);
    CWorkDialog dlg(user);
    if (!dlg.Create()) {
        std::fprintf(stderr, "cannot create the work window\n");
        return 1;
    }
    dlg.ShowWindow(SW_SHOW);
    dlg.StartJob(JOB_SCAN);
    while (!user.m_bScanned) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    ::SetTimer(nullptr, 0, 10, OnTick);

    double tStart = 0, tEnd = 0;
    if (bInline) {
        // The save as it ran before: on this thread, from the row's entry.
        MP3FileEntry* e = dlg.RowEntry(0);
        e->SetTitle("New title");
        for (int i = 0; i < 20; ++i) {
            ::Sleep(10);
            Pump();
        }
        g_bMeasuring = true;
        ::PostMessageA(dlg.m_hWnd, WM_NULL, 0, 0);
        tStart = Now();
        const bool bSaved = SaveSongTags(e->WidePath(), SongEditOf(*e, 1u << FIELD_TITLE));
        tEnd = Now();
        for (int i = 0; i < 5; ++i) {
            ::Sleep(10);
            Pump();
        }
        if (!bSaved) {
            std::fprintf(stderr, "the save failed\n");
            return 1;
        }
    } else {
        // Typed and saved from another thread while this one runs the dialog.
        std::atomic<double> tClicked{0};
        std::thread user2([&] {
            HWND tag = nullptr;
            while (!(tag = FindTagDialog(::GetCurrentProcessId())))
                ::Sleep(5);
            ::Sleep(200);
            ::SendMessageA(::GetDlgItem(tag, IDC_EDIT_TITLE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("New title"));
            g_bMeasuring = true;
            tClicked = Now();
            ::PostMessageA(::GetDlgItem(tag, IDC_BTN_SAVE), BM_CLICK, 0, 0);
        });
        dlg.EditRowTag(0);
        tEnd = Now();
        user2.join();
        tStart = tClicked;
    }
    g_bMeasuring = false;
    std::sort(g_late.begin(), g_late.end());
    const double p99 = g_late.empty() ? 0 : g_late[std::min(g_late.size() - 1, size_t(double(g_late.size()) * 0.99))];
    std::printf("mb=%d save_ms=%.1f ui_max_ms=%.1f ui_p99_ms=%.1f ticks=%d mode=%s\n", mb, tEnd - tStart,
                g_late.empty() ? 0.0 : g_late.back(), p99, int(g_late.size()), bInline ? "inline" : "thread");
    dlg.StopJob();
    ::DeleteFileW(song.c_str());
    return 0;
}
