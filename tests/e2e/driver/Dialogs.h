#pragma once
#include <string>

#include "tests/e2e/driver/Window.h"

namespace e2e {

// A message box of another process (MessageBoxA): a dialog whose children are
// only labels and buttons with the standard answer ids.
class MsgBox : public Window
{
public:
    MsgBox() = default;
    explicit MsgBox(const Window& w) : Window(w) {}

    static bool Is(const Window& w);
    // The innermost enabled message box of the process (0: any) with this
    // caption; empty caption: any.
    static MsgBox Find(DWORD processId, const std::string& caption);
    static MsgBox Wait(DWORD processId, const std::string& caption, DWORD timeoutMs = kWait);

    // The question or report the box shows.
    std::string Message() const;
    bool HasButton(int id) const;
    // Clicks the answer with this id (IDYES, IDNO, IDOK, IDCANCEL...);
    // refused when the box has no such button.
    Check Press(int id) const;
    Check Yes() const { return Press(IDYES); }
    Check No() const { return Press(IDNO); }
    Check Ok() const { return Press(IDOK); }
    Check Cancel() const { return Press(IDCANCEL); }
};

// The shell's folder chooser (SHBrowseForFolderA) of another process: a
// dialog with a tree of the shell's namespace.
class FolderChooser : public Window
{
public:
    FolderChooser() = default;
    explicit FolderChooser(const Window& w) : Window(w) {}

    static bool Is(const Window& w);
    static FolderChooser Find(DWORD processId);
    static FolderChooser Wait(DWORD processId, DWORD timeoutMs = kWait);

    // The caller's title shown above the tree.
    std::string Title() const;
    // The text of the tree's selected item ("" when none).
    std::string SelectedText() const;
    // Selects a folder or file by its full path. The chooser ignores the
    // request until its tree is filled, so it is repeated until the tree's
    // selection shows the path's last part.
    Check Select(const std::string& path, DWORD timeoutMs = kWait) const;
    // Select, then OK.
    Check Choose(const std::string& path, DWORD timeoutMs = kWait) const;
    // The same by a wide path, for names outside the ANSI code page.
    Check Choose(const std::wstring& path, DWORD timeoutMs = kWait) const;
    Check Ok() const;
    Check Cancel() const;

private:
    Window Tree() const;
    std::wstring SelectedTextW() const;
};

} // namespace e2e
