#include "tests/e2e/driver/Dialogs.h"

#include <cwchar>
#include <vector>

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "tests/e2e/driver/Remote.h"

namespace e2e {

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionSuccess;

// Ids the shell gives the chooser's title label and tree.
constexpr int kChooserTitleId = 0x3742;
constexpr int kChooserTreeId = 0x3741;

bool IsAnswerId(int id) { return id >= IDOK && id <= IDCONTINUE; }

bool SameText(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The last part of a path, and the same without its extension: the chooser
// may show a file's name either way.
bool ShowsLeaf(const std::string& text, const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && (p.back() == '\\' || p.back() == '/'))
        p.pop_back();
    size_t slash = p.find_last_of("\\/");
    std::string leaf = slash == std::string::npos ? p : p.substr(slash + 1);
    if (leaf.empty() || text.empty())
        return false;
    if (SameText(text, leaf))
        return true;
    size_t dot = leaf.find_last_of('.');
    if (dot != std::string::npos && dot > 0 && SameText(text, leaf.substr(0, dot)))
        return true;
    // A drive shows as a name with the letter in it ("Local Disk (C:)").
    return leaf.size() == 2 && leaf[1] == ':' && text.find(leaf) != std::string::npos;
}

} // namespace

bool MsgBox::Is(const Window& w)
{
    if (!w.Exists() || w.ClassName() != "#32770")
        return false;
    bool hasText = false, hasButton = false;
    for (const Window& c : w.Descendants()) {
        const std::string cls = c.ClassName();
        const int id = c.Id();
        if (cls == "Static") {
            hasText = hasText || id == 0xFFFF || id == -1;
        } else if (cls == "Button" && IsAnswerId(id)) {
            hasButton = true;
        } else {
            return false;
        }
    }
    return hasText && hasButton;
}

static WindowQuery BoxQuery(DWORD processId, const std::string& caption)
{
    WindowQuery q;
    q.processId = processId;
    q.caption = caption;
    q.className = "#32770";
    // A box that has opened another modal window is disabled behind it.
    q.filter = [](const Window& w) { return w.IsEnabled() && MsgBox::Is(w); };
    q.kind = "message box";
    return q;
}

MsgBox MsgBox::Find(DWORD processId, const std::string& caption)
{
    return MsgBox(FindTopWindow(BoxQuery(processId, caption)));
}

MsgBox MsgBox::Wait(DWORD processId, const std::string& caption, DWORD timeoutMs)
{
    return MsgBox(WaitTopWindow(BoxQuery(processId, caption), timeoutMs));
}

std::string MsgBox::Message() const
{
    for (const Window& c : Descendants())
        if (c.ClassName() == "Static" && (c.Id() == 0xFFFF || c.Id() == -1))
            return c.Text();
    return "";
}

bool MsgBox::HasButton(int id) const
{
    Window b = Child(id);
    return b && b.ClassName() == "Button";
}

Check MsgBox::Press(int id) const
{
    if (!Exists())
        return AssertionFailure() << "no message box to answer" << (Why().empty() ? "" : ": " + Why());
    if (!HasButton(id))
        return AssertionFailure() << "the message box has no button " << id << ":\n" << DescribeTree();
    return Child(id).Click();
}

bool FolderChooser::Is(const Window& w)
{
    if (!w.Exists() || w.ClassName() != "#32770")
        return false;
    Window tree = w.Child(kChooserTreeId);
    return tree && tree.ClassName() == WC_TREEVIEWA && w.Child(IDOK) && w.Child(IDCANCEL);
}

static WindowQuery ChooserQuery(DWORD processId)
{
    WindowQuery q;
    q.processId = processId;
    q.className = "#32770";
    q.filter = FolderChooser::Is;
    q.kind = "folder chooser";
    return q;
}

FolderChooser FolderChooser::Find(DWORD processId) { return FolderChooser(FindTopWindow(ChooserQuery(processId))); }

FolderChooser FolderChooser::Wait(DWORD processId, DWORD timeoutMs)
{
    return FolderChooser(WaitTopWindow(ChooserQuery(processId), timeoutMs));
}

Window FolderChooser::Tree() const { return Child(kChooserTreeId); }

std::string FolderChooser::Title() const
{
    Window title = Child(kChooserTitleId);
    return title ? title.Text() : "";
}

std::string FolderChooser::SelectedText() const
{
    Window tree = Tree();
    if (!tree)
        return "";
    HTREEITEM item = reinterpret_cast<HTREEITEM>(tree.Ask(TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return "";
    const size_t cap = 1024;
    RemoteMemory mem(ProcessId(), sizeof(TVITEMA) + cap);
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = static_cast<char*>(mem.At(sizeof(tv)));
    tv.cchTextMax = static_cast<int>(cap);
    if (!mem.IsValid() || !mem.Write(0, &tv, sizeof(tv)) || !mem.Write(sizeof(tv), "", 1))
        return "";
    if (!tree.Ask(TVM_GETITEMA, 0, mem.Param()))
        return "";
    std::vector<char> buf(cap + 1, '\0');
    if (!mem.Read(sizeof(tv), buf.data(), cap))
        return "";
    return std::string(buf.data(), strnlen(buf.data(), cap));
}

Check FolderChooser::Select(const std::string& path, DWORD timeoutMs) const
{
    if (!Exists())
        return AssertionFailure() << "no folder chooser" << (Why().empty() ? "" : ": " + Why());
    RemoteMemory mem(ProcessId(), path.size() + 1);
    if (!mem.IsValid() || !mem.Write(0, path.c_str(), path.size() + 1))
        return AssertionFailure() << "no memory for the path in the chooser's process: " << mem.Why();
    std::string last;
    Check r = WaitUntil(
        [&] {
            if (!Exists())
                return false;
            Ask(BFFM_SETSELECTIONA, TRUE, mem.Param());
            ::Sleep(50);
            last = SelectedText();
            return ShowsLeaf(last, path);
        },
        "the chooser to select \"" + path + "\"", timeoutMs);
    if (!r)
        r << "; its selection shows \"" << last << "\"" << (Exists() ? "" : " (the chooser has gone)");
    return r;
}

std::wstring FolderChooser::SelectedTextW() const
{
    Window tree = Tree();
    if (!tree)
        return L"";
    HTREEITEM item = reinterpret_cast<HTREEITEM>(tree.Ask(TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return L"";
    const size_t cap = 1024;
    RemoteMemory mem(ProcessId(), sizeof(TVITEMW) + cap * sizeof(wchar_t));
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = static_cast<wchar_t*>(mem.At(sizeof(tv)));
    tv.cchTextMax = static_cast<int>(cap);
    if (!mem.IsValid() || !mem.Write(0, &tv, sizeof(tv)) || !mem.Write(sizeof(tv), L"", sizeof(wchar_t)))
        return L"";
    if (!tree.Ask(TVM_GETITEMW, 0, mem.Param()))
        return L"";
    std::vector<wchar_t> buf(cap + 1, L'\0');
    if (!mem.Read(sizeof(tv), buf.data(), cap * sizeof(wchar_t)))
        return L"";
    return std::wstring(buf.data(), wcsnlen(buf.data(), cap));
}

Check FolderChooser::Choose(const std::wstring& path, DWORD timeoutMs) const
{
    if (!Exists())
        return AssertionFailure() << "no folder chooser" << (Why().empty() ? "" : ": " + Why());
    const size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    RemoteMemory mem(ProcessId(), bytes);
    if (!mem.IsValid() || !mem.Write(0, path.c_str(), bytes))
        return AssertionFailure() << "no memory for the path in the chooser's process: " << mem.Why();
    const std::wstring leaf = path.substr(path.find_last_of(L'\\') + 1);
    Check r = WaitUntil(
        [&] {
            if (!Exists())
                return false;
            Ask(BFFM_SETSELECTIONW, TRUE, mem.Param());
            ::Sleep(50);
            return SelectedTextW() == leaf;
        },
        "the chooser to select a wide path", timeoutMs);
    if (!r)
        return r;
    return Ok();
}

Check FolderChooser::Choose(const std::string& path, DWORD timeoutMs) const
{
    Check selected = Select(path, timeoutMs);
    if (!selected)
        return selected;
    return Ok();
}

Check FolderChooser::Ok() const
{
    if (!Exists())
        return AssertionFailure() << "no folder chooser" << (Why().empty() ? "" : ": " + Why());
    return Child(IDOK).Click();
}

Check FolderChooser::Cancel() const
{
    if (!Exists())
        return AssertionFailure() << "no folder chooser" << (Why().empty() ? "" : ": " + Why());
    return Child(IDCANCEL).Click();
}

} // namespace e2e
