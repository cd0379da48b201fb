#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// What every action and wait returns: success, or failure with the reason,
// which ASSERT_TRUE / EXPECT_TRUE print as they stand.
using Check = ::testing::AssertionResult;

// How long waits last unless told otherwise. Generous: a fresh Wine process
// on a loaded two-core machine takes seconds to show its first window.
constexpr DWORD kWait = 15000;
// How long one message sent to another process may take before it counts as
// hung; a hung target must fail a test, not freeze it.
constexpr UINT kSendTimeout = 5000;

// A window of any process, by handle; not owned. Lookups that find nothing
// return an empty Window that says why (Why()).
// A whole text as the program spells it in CP949: '?' for what the code
// page cannot spell.
std::string AsProgramText(const std::wstring& text);

class Window
{
public:
    Window() = default;
    explicit Window(HWND h) : m_h(h) {}
    static Window Missing(std::string why);

    HWND Handle() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    // Why a lookup came back empty (empty when it found its window).
    const std::string& Why() const { return m_why; }

    bool Exists() const;
    // The window's text through WM_GETTEXT, which is carried across processes:
    // a caption, a label, a button's or an edit box's text, as CP949 bytes.
    // The text in the program's CP949 form, and whole.
    std::string Text() const;
    std::wstring WideText() const;
    // A top-level window's caption as the system keeps it, without asking the
    // window: answers even while its program hangs.
    std::string Caption() const;
    std::string ClassName() const;
    int Id() const;
    bool IsEnabled() const;
    bool IsVisible() const;
    DWORD ProcessId() const;
    DWORD ThreadId() const;
    LONG Style() const;
    Window Owner() const;
    // The top-level window this one belongs to (itself for a top-level one).
    Window Root() const;

    // A message that carries no pointer (PBM_GETPOS, BM_GETCHECK...), with a
    // time limit; `failed` when the window does not answer.
    LRESULT Ask(UINT msg, WPARAM wp = 0, LPARAM lp = 0, LRESULT failed = 0) const;

    // A control by id: a direct child first, then any descendant.
    Window Child(int id) const;
    // Every descendant, depth first.
    std::vector<Window> Descendants() const;
    // One line: class, id, text, state; with children, one line each below.
    std::string Describe() const;
    std::string DescribeTree() const;

    // Posts BM_CLICK. Refused, and nothing is sent, when the button or its
    // top-level window is disabled or hidden: a user could not click it, and
    // BM_CLICK would click a disabled button anyway.
    Check Click() const;
    // Replaces an edit box's text (WM_SETTEXT, so the parent gets EN_CHANGE).
    // Refused for a disabled or read-only box.
    Check SetText(const std::string& text) const;
    // Selects a combo box item and tells the parent (CBN_SELCHANGE), as a
    // pick from the drop-down list would.
    Check PickComboItem(int index) const;
    Check PickComboItem(const std::string& text) const;
    int ComboSelection() const;
    std::vector<std::string> ComboItems() const;
    // A key press (WM_KEYDOWN, WM_KEYUP) posted to the control that has the
    // focus inside this window, or to the window itself; a dialog's own
    // handling then turns VK_RETURN into its default button, VK_ESCAPE into
    // IDCANCEL.
    Check PressKey(UINT vk) const;
    // Posted mouse clicks at a point of the window's client area, with the
    // pointer moved there, for controls without a click message (a link).
    Check ClickAt(int x, int y) const;
    Check DoubleClickAt(int x, int y) const;
    // Moves the keyboard focus to this control of a dialog (WM_NEXTDLGCTL),
    // as a click or the Tab key would, and waits until it has it.
    Check Focus() const;
    // Posts WM_CLOSE, as the caption's close box would.
    Check Close() const;

private:
    Check PostClicks(int x, int y, bool twice) const;

    HWND m_h = nullptr;
    std::string m_why;
};

// Which top-level windows to find. Empty fields match anything.
struct WindowQuery
{
    DWORD processId = 0;
    std::string caption;     // exact bytes
    std::string className;   // exact, e.g. "#32770" for dialogs
    bool visibleOnly = true;
    std::function<bool(const Window&)> filter;
    std::string kind;        // what the filter looks for, for messages

    std::string Describe() const;
};

std::vector<Window> FindTopWindows(const WindowQuery& query);
Window FindTopWindow(const WindowQuery& query);
// Polls until a window matches; on timeout the empty result's Why() lists
// the windows that were there instead.
Window WaitTopWindow(const WindowQuery& query, DWORD timeoutMs = kWait);
// A visible dialog of the process with this caption that holds a control with
// this id: tells apart windows that share a caption, such as a main window
// and its message boxes.
Window WaitDialogWithControl(DWORD processId, const std::string& caption, int controlId, DWORD timeoutMs = kWait);
// The visible top-level windows of a process, one line each.
std::string DescribeTopWindows(DWORD processId);

// Polls cond every few milliseconds until it holds.
Check WaitUntil(const std::function<bool()>& cond, const std::string& what, DWORD timeoutMs = kWait);
Check WaitText(const Window& w, const std::string& text, DWORD timeoutMs = kWait);
// Gone = destroyed; a hidden window is still there (WaitVisible).
Check WaitGone(const Window& w, DWORD timeoutMs = kWait);
Check WaitVisible(const Window& w, bool visible, DWORD timeoutMs = kWait);
Check WaitEnabled(const Window& w, bool enabled, DWORD timeoutMs = kWait);

// A path of the machine that runs the tests as the Windows side sees it:
// under Wine a Unix path becomes its drive path ("/work/x" -> "Z:\work\x").
std::string HostPath(const std::string& path);

} // namespace e2e
