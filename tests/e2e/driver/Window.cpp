#include "tests/e2e/driver/Window.h"

#include <cstdio>
#include <cstring>

namespace e2e {

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionSuccess;

bool Send(HWND h, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result = nullptr)
{
    DWORD_PTR r = 0;
    bool ok = ::SendMessageTimeoutA(h, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout, &r) != 0;
    if (result)
        *result = r;
    return ok;
}

BOOL CALLBACK CollectHandle(HWND h, LPARAM lp)
{
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Why a control cannot take user input now, or empty when it can.
std::string Unusable(const Window& w, const char* what)
{
    if (!w)
        return std::string("no ") + what + (w.Why().empty() ? "" : ": " + w.Why());
    if (!w.Exists())
        return std::string(what) + " is gone";
    if (!w.IsVisible())
        return w.Describe() + " is hidden";
    if (!w.IsEnabled())
        return w.Describe() + " is disabled";
    Window root = w.Root();
    if (root && !root.IsEnabled())
        return w.Describe() + " is in a disabled window (a modal window is open?): " + root.Describe();
    return "";
}

std::string Narrow(const wchar_t* wide)
{
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return "";
    std::string s(n - 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &s[0], n, nullptr, nullptr);
    return s;
}

HWND FocusOf(DWORD threadId)
{
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    return ::GetGUIThreadInfo(threadId, &gui) ? gui.hwndFocus : nullptr;
}

} // namespace

Window Window::Missing(std::string why)
{
    Window w;
    w.m_why = std::move(why);
    return w;
}

bool Window::Exists() const { return m_h && ::IsWindow(m_h); }

std::string Window::Text() const
{
    return AsProgramText(WideText());
}

std::wstring Window::WideText() const
{
    if (!Exists())
        return L"";
    DWORD_PTR len = 0;
    if (!::SendMessageTimeoutW(m_h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout, &len))
        return L"";
    std::vector<wchar_t> buf(len + 2, L'\0');
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(m_h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout, &r))
        return L"";
    return std::wstring(buf.data(), wcsnlen(buf.data(), buf.size()));
}

std::string AsProgramText(const std::wstring& text)
{
    // The program's own CP949 form: '?' for what the code page cannot spell,
    // never the look-alike letter an ANSI request would get.
    if (text.empty())
        return "";
    const int n = ::WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0, "?",
                                        nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), &out[0], n, "?", nullptr);
    return out;
}

std::string Window::Caption() const
{
    if (!Exists())
        return "";
    std::vector<char> buf(2 * ::GetWindowTextLengthA(m_h) + 2, '\0');
    ::GetWindowTextA(m_h, buf.data(), static_cast<int>(buf.size()));
    return std::string(buf.data(), strnlen(buf.data(), buf.size()));
}

std::string Window::ClassName() const
{
    char name[256] = {};
    if (m_h)
        ::GetClassNameA(m_h, name, sizeof(name));
    return name;
}

int Window::Id() const { return m_h ? static_cast<int>(::GetWindowLongPtrA(m_h, GWLP_ID)) : 0; }
bool Window::IsEnabled() const { return Exists() && ::IsWindowEnabled(m_h); }
bool Window::IsVisible() const { return Exists() && ::IsWindowVisible(m_h); }
LONG Window::Style() const { return m_h ? ::GetWindowLongA(m_h, GWL_STYLE) : 0; }

DWORD Window::ProcessId() const
{
    DWORD pid = 0;
    if (m_h)
        ::GetWindowThreadProcessId(m_h, &pid);
    return pid;
}

DWORD Window::ThreadId() const { return m_h ? ::GetWindowThreadProcessId(m_h, nullptr) : 0; }

Window Window::Owner() const { return Window(m_h ? ::GetWindow(m_h, GW_OWNER) : nullptr); }
Window Window::Root() const { return Window(m_h ? ::GetAncestor(m_h, GA_ROOT) : nullptr); }

LRESULT Window::Ask(UINT msg, WPARAM wp, LPARAM lp, LRESULT failed) const
{
    DWORD_PTR r = 0;
    if (!Exists() || !Send(m_h, msg, wp, lp, &r))
        return failed;
    return static_cast<LRESULT>(r);
}

Window Window::Child(int id) const
{
    if (!Exists())
        return Missing("no window to look for control " + std::to_string(id) + " in");
    if (HWND h = ::GetDlgItem(m_h, id))
        return Window(h);
    for (const Window& w : Descendants())
        if (w.Id() == id)
            return w;
    return Missing("no control " + std::to_string(id) + " in " + Describe());
}

std::vector<Window> Window::Descendants() const
{
    std::vector<Window> found;
    if (!Exists())
        return found;
    std::vector<HWND> all;
    ::EnumChildWindows(m_h, CollectHandle, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all)
        found.push_back(Window(h));
    return found;
}

std::string Window::Describe() const
{
    if (!m_h)
        return "(no window)";
    char handle[32];
    std::snprintf(handle, sizeof(handle), "%p", static_cast<void*>(m_h));
    std::string s = ClassName() + " #" + std::to_string(Id()) + " " + Quoted(Text()) + " [" + handle;
    if (!Exists())
        return s + " gone]";
    s += IsVisible() ? " visible" : " hidden";
    s += IsEnabled() ? " enabled" : " disabled";
    return s + " pid " + std::to_string(ProcessId()) + "]";
}

std::string Window::DescribeTree() const
{
    std::string s = Describe();
    for (const Window& w : Descendants())
        s += "\n  " + w.Describe();
    return s;
}

Check Window::Click() const
{
    std::string why = Unusable(*this, "button");
    if (!why.empty())
        return AssertionFailure() << "cannot click: " << why;
    if (!::PostMessageA(m_h, BM_CLICK, 0, 0))
        return AssertionFailure() << "cannot post a click to " << Describe() << ": error " << ::GetLastError();
    return AssertionSuccess();
}

Check Window::PostClicks(int x, int y, bool twice) const
{
    std::string why = Unusable(*this, "window");
    if (!why.empty())
        return AssertionFailure() << "cannot click: " << why;
    // The pointer goes there too: a mouse move the system makes up from the
    // real pointer position in the middle of the clicks would start a drag.
    POINT screen = {x, y};
    ::ClientToScreen(m_h, &screen);
    ::SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(x, y);
    bool ok = ::PostMessageA(m_h, WM_MOUSEMOVE, 0, at) && ::PostMessageA(m_h, WM_LBUTTONDOWN, MK_LBUTTON, at) &&
              ::PostMessageA(m_h, WM_LBUTTONUP, 0, at);
    if (ok && twice)
        ok = ::PostMessageA(m_h, WM_LBUTTONDBLCLK, MK_LBUTTON, at) && ::PostMessageA(m_h, WM_LBUTTONUP, 0, at);
    if (!ok)
        return AssertionFailure() << "cannot post clicks to " << Describe() << ": error " << ::GetLastError();
    return AssertionSuccess();
}

Check Window::ClickAt(int x, int y) const { return PostClicks(x, y, false); }
Check Window::DoubleClickAt(int x, int y) const { return PostClicks(x, y, true); }

Check Window::SetText(const std::string& text) const
{
    std::string why = Unusable(*this, "edit box");
    if (why.empty() && (Style() & ES_READONLY) && ClassName() == "Edit")
        why = Describe() + " is read-only";
    if (!why.empty())
        return AssertionFailure() << "cannot type into it: " << why;
    DWORD_PTR ok = 0;
    if (!Send(m_h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &ok) || !ok)
        return AssertionFailure() << "WM_SETTEXT failed on " << Describe();
    return AssertionSuccess();
}

int Window::ComboSelection() const
{
    DWORD_PTR sel = static_cast<DWORD_PTR>(CB_ERR);
    if (!Exists() || !Send(m_h, CB_GETCURSEL, 0, 0, &sel))
        return CB_ERR;
    return static_cast<int>(static_cast<LRESULT>(sel));
}

std::vector<std::string> Window::ComboItems() const
{
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    if (!Exists() || !Send(m_h, CB_GETCOUNT, 0, 0, &count) || static_cast<LRESULT>(count) < 0)
        return items;
    for (int i = 0; i < static_cast<int>(count); ++i) {
        // Asked in UTF-16: Wine hands CB_GETLBTEXT across processes to an ANSI
        // caller without converting it back. The round trip through UTF-16
        // gives back the program's CP949 bytes for any well-formed text.
        DWORD_PTR len = 0;
        if (!::SendMessageTimeoutW(m_h, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout, &len) ||
            static_cast<LRESULT>(len) < 0)
            break;
        std::vector<wchar_t> wide(len + 1, L'\0');
        DWORD_PTR got = 0;
        if (!::SendMessageTimeoutW(m_h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()),
                                   SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeout, &got))
            break;
        items.push_back(Narrow(wide.data()));
    }
    return items;
}

Check Window::PickComboItem(int index) const
{
    std::string why = Unusable(*this, "combo box");
    if (!why.empty())
        return AssertionFailure() << "cannot pick an item: " << why;
    DWORD_PTR count = 0;
    if (!Send(m_h, CB_GETCOUNT, 0, 0, &count) || index < 0 || index >= static_cast<int>(count))
        return AssertionFailure() << "no item " << index << " in " << Describe() << " (" << count << " items)";
    DWORD_PTR sel = 0;
    if (!Send(m_h, CB_SETCURSEL, index, 0, &sel) || static_cast<int>(sel) != index)
        return AssertionFailure() << "CB_SETCURSEL " << index << " failed on " << Describe();
    // Posted, not sent: the parent's handler may open a modal window.
    HWND parent = ::GetAncestor(m_h, GA_PARENT);
    if (!::PostMessageA(parent, WM_COMMAND, MAKEWPARAM(Id(), CBN_SELCHANGE), reinterpret_cast<LPARAM>(m_h)))
        return AssertionFailure() << "cannot tell the parent of " << Describe() << ": error " << ::GetLastError();
    return AssertionSuccess();
}

Check Window::PickComboItem(const std::string& text) const
{
    std::vector<std::string> items = ComboItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == text)
            return PickComboItem(static_cast<int>(i));
    std::string all;
    for (const std::string& item : items)
        all += " " + Quoted(item);
    return AssertionFailure() << "no item " << Quoted(text) << " in " << Describe() << "; items:" << all;
}

Check Window::PressKey(UINT vk) const
{
    std::string why = Unusable(*this, "window");
    if (!why.empty())
        return AssertionFailure() << "cannot press a key: " << why;
    // The focus as the window's own thread sees it; keys go where a user's
    // would, so that controls that want them (a multi-line edit) get them.
    HWND target = m_h;
    HWND focus = FocusOf(ThreadId());
    if (focus && (focus == m_h || ::IsChild(m_h, focus)))
        target = focus;
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
    if (!::PostMessageA(target, WM_KEYDOWN, vk, scan | 1) ||
        !::PostMessageA(target, WM_KEYUP, vk, scan | 1 | 0xC0000000))
        return AssertionFailure() << "cannot post a key to " << Window(target).Describe() << ": error " << ::GetLastError();
    return AssertionSuccess();
}

Check Window::Focus() const
{
    std::string why = Unusable(*this, "control");
    if (!why.empty())
        return AssertionFailure() << "cannot focus: " << why;
    // The nearest dialog above the control moves the focus; a control may sit
    // in a child window of its dialog.
    HWND dialog = ::GetAncestor(m_h, GA_PARENT);
    while (dialog && Window(dialog).ClassName() != "#32770" && dialog != ::GetAncestor(m_h, GA_ROOT))
        dialog = ::GetAncestor(dialog, GA_PARENT);
    if (!Send(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_h), TRUE))
        return AssertionFailure() << "WM_NEXTDLGCTL failed for " << Describe();
    const DWORD thread = ThreadId();
    return WaitUntil([&] { return FocusOf(thread) == m_h; }, "the focus on " + Describe(), 2000);
}

Check Window::Close() const
{
    if (!Exists())
        return AssertionFailure() << "cannot close: " << (m_why.empty() ? "no window" : m_why);
    if (!::PostMessageA(m_h, WM_CLOSE, 0, 0))
        return AssertionFailure() << "cannot post WM_CLOSE to " << Describe() << ": error " << ::GetLastError();
    return AssertionSuccess();
}

std::string WindowQuery::Describe() const
{
    std::string s = "a " + (kind.empty() ? std::string("top-level window") : kind);
    if (!caption.empty())
        s += " captioned " + Quoted(caption);
    if (!className.empty())
        s += " of class " + Quoted(className);
    if (processId)
        s += " of process " + std::to_string(processId);
    if (filter && kind.empty())
        s += " (filtered)";
    return s;
}

std::vector<Window> FindTopWindows(const WindowQuery& query)
{
    std::vector<HWND> all;
    ::EnumWindows(CollectHandle, reinterpret_cast<LPARAM>(&all));
    std::vector<Window> found;
    for (HWND h : all) {
        Window w(h);
        if (query.processId && w.ProcessId() != query.processId)
            continue;
        if (query.visibleOnly && !w.IsVisible())
            continue;
        if (!query.className.empty() && w.ClassName() != query.className)
            continue;
        if (!query.caption.empty() && w.Caption() != query.caption)
            continue;
        if (query.filter && !query.filter(w))
            continue;
        found.push_back(w);
    }
    return found;
}

Window FindTopWindow(const WindowQuery& query)
{
    std::vector<Window> found = FindTopWindows(query);
    return found.empty() ? Window::Missing("no " + query.Describe()) : found.front();
}

Window WaitDialogWithControl(DWORD processId, const std::string& caption, int controlId, DWORD timeoutMs)
{
    WindowQuery q;
    q.processId = processId;
    q.caption = caption;
    q.className = "#32770";
    q.filter = [controlId](const Window& w) { return static_cast<bool>(w.Child(controlId)); };
    q.kind = "dialog with control " + std::to_string(controlId);
    return WaitTopWindow(q, timeoutMs);
}

Window WaitTopWindow(const WindowQuery& query, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        Window w = FindTopWindow(query);
        if (w)
            return w;
        if (::GetTickCount() - start >= timeoutMs)
            break;
        ::Sleep(30);
    }
    std::string why = "no " + query.Describe() + " within " + std::to_string(timeoutMs) + " ms; there were:\n" +
                      DescribeTopWindows(query.processId);
    return Window::Missing(why);
}

std::string DescribeTopWindows(DWORD processId)
{
    WindowQuery all;
    all.processId = processId;
    std::string s;
    for (const Window& w : FindTopWindows(all))
        s += "  " + w.Describe() + "\n";
    return s.empty() ? "  (none visible)\n" : s;
}

Check WaitUntil(const std::function<bool()>& cond, const std::string& what, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (cond())
            return AssertionSuccess();
        if (::GetTickCount() - start >= timeoutMs)
            return AssertionFailure() << "timed out after " << timeoutMs << " ms waiting for " << what;
        ::Sleep(20);
    }
}

Check WaitText(const Window& w, const std::string& text, DWORD timeoutMs)
{
    if (!w)
        return AssertionFailure() << "no window to wait for " << Quoted(text) << " in: " << w.Why();
    std::string last;
    Check r = WaitUntil([&] { return (last = w.Text()) == text; }, "text " + Quoted(text), timeoutMs);
    if (!r)
        r << " in " << w.Describe() << "; last seen " << Quoted(last);
    return r;
}

Check WaitGone(const Window& w, DWORD timeoutMs)
{
    return WaitUntil([&] { return !w.Exists(); }, "the window to go: " + w.Describe(), timeoutMs);
}

Check WaitVisible(const Window& w, bool visible, DWORD timeoutMs)
{
    if (!w)
        return AssertionFailure() << "no window to wait on: " << w.Why();
    return WaitUntil([&] { return w.Exists() && w.IsVisible() == visible; },
                     std::string(visible ? "shown: " : "hidden: ") + w.Describe(), timeoutMs);
}

Check WaitEnabled(const Window& w, bool enabled, DWORD timeoutMs)
{
    if (!w)
        return AssertionFailure() << "no window to wait on: " << w.Why();
    return WaitUntil([&] { return w.Exists() && w.IsEnabled() == enabled; },
                     std::string(enabled ? "enabled: " : "disabled: ") + w.Describe(), timeoutMs);
}

std::string HostPath(const std::string& path)
{
    std::string p = path;
    if (!p.empty() && p[0] == '/') {
        // Wine knows its own drive mapping; Z: maps the whole Unix tree by
        // default, which is the fallback.
        using ToDos = WCHAR*(CDECL*)(const char*);
        auto toDos = reinterpret_cast<ToDos>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
        if (toDos) {
            if (WCHAR* wide = toDos(p.c_str())) {
                std::string dos = Narrow(wide);
                ::HeapFree(::GetProcessHeap(), 0, wide);
                if (!dos.empty())
                    return dos;
            }
        }
        p = "Z:" + p;
    }
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

} // namespace e2e
