#include "tests/e2e/driver/ListView.h"

#include <commctrl.h>

#include <cstring>

#include "tests/e2e/driver/Remote.h"

namespace e2e {

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionSuccess;

constexpr size_t kMaxText = 1 << 20;

} // namespace

int ListView::RowCount() const
{
    if (!Exists())
        return -1;
    return static_cast<int>(Ask(LVM_GETITEMCOUNT, 0, 0, -1));
}

int ListView::ColumnCount() const
{
    if (!Exists())
        return -1;
    Window header(reinterpret_cast<HWND>(Ask(LVM_GETHEADER)));
    if (!header)
        return -1;
    return static_cast<int>(header.Ask(HDM_GETITEMCOUNT, 0, 0, -1));
}

std::string ListView::HeaderText(int column) const
{
    if (!Exists())
        return "";
    for (size_t cap = 256; cap <= kMaxText; cap *= 4) {
        RemoteMemory mem(ProcessId(), sizeof(LVCOLUMNA) + cap);
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT;
        col.pszText = static_cast<char*>(mem.At(sizeof(col)));
        col.cchTextMax = static_cast<int>(cap);
        if (!mem.IsValid() || !mem.Write(0, &col, sizeof(col)) || !mem.Write(sizeof(col), "", 1))
            return "";
        if (!Ask(LVM_GETCOLUMNA, column, mem.Param(), 0))
            return "";
        std::vector<char> buf(cap + 1, '\0');
        if (!mem.Read(sizeof(col), buf.data(), cap))
            return "";
        size_t len = strnlen(buf.data(), cap);
        if (len + 1 < cap)
            return std::string(buf.data(), len);
    }
    return "";
}

std::string ListView::CellText(int row, int column) const
{
    return AsProgramText(CellTextW(row, column));
}

std::wstring ListView::CellTextW(int row, int column) const
{
    if (!Exists())
        return L"";
    // Grow the buffer until the text fits with room to spare: a text that
    // fills it exactly may have been cut.
    for (size_t cap = 512; cap <= kMaxText; cap *= 4) {
        RemoteMemory mem(ProcessId(), sizeof(LVITEMW) + cap * sizeof(wchar_t));
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = static_cast<wchar_t*>(mem.At(sizeof(item)));
        item.cchTextMax = static_cast<int>(cap);
        const wchar_t empty = 0;
        if (!mem.IsValid() || !mem.Write(0, &item, sizeof(item)) || !mem.Write(sizeof(item), &empty, sizeof empty))
            return L"";
        LRESULT len = Ask(LVM_GETITEMTEXTW, row, mem.Param(), -1);
        if (len < 0)
            return L"";
        std::vector<wchar_t> buf(cap + 1, L'\0');
        if (!mem.Read(sizeof(item), buf.data(), cap * sizeof(wchar_t)))
            return L"";
        size_t got = wcsnlen(buf.data(), cap);
        if (got + 1 < cap)
            return std::wstring(buf.data(), got);
    }
    return L"";
}

std::vector<std::string> ListView::RowTexts(int row) const
{
    std::vector<std::string> texts;
    for (int c = 0, n = ColumnCount(); c < n; ++c)
        texts.push_back(CellText(row, c));
    return texts;
}

int ListView::SelectedRow() const
{
    if (!Exists())
        return -1;
    return static_cast<int>(Ask(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, -1));
}

int ListView::StateImage(int row) const
{
    if (!Exists())
        return -1;
    const LRESULT state = Ask(LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK, -1);
    return state < 0 ? -1 : static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

std::wstring ListView::HoverTip(int row, DWORD timeoutMs) const
{
    RECT r = {};
    if (!RowRect(row, &r))
        return L"";
    // A tip of the program's that is on screen, with its text.
    const DWORD pid = ProcessId();
    const auto shownTip = [pid](std::wstring& text) {
        WindowQuery q;
        q.processId = pid;
        q.className = "tooltips_class32";
        for (const Window& w : FindTopWindows(q)) {
            text = w.WideText();
            if (!text.empty())
                return true;
        }
        return false;
    };
    // Off the list, onto its parent just above it, until no tip shows: the
    // program then sees the pointer come to the row and rest there.
    RECT box = {};
    ::GetWindowRect(Handle(), &box);
    ::SetCursorPos(box.left + 4, box.top - 4);
    std::wstring text;
    WaitUntil([&] { return !shownTip(text); }, "no tip", 5000);
    POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(Handle(), &at);
    ::SetCursorPos(at.x, at.y);
    text.clear();
    if (!WaitUntil([&] { return shownTip(text); }, "a tip", timeoutMs))
        return L"";
    return text;
}

Check ListView::RowRect(int row, RECT* rect) const
{
    if (!Exists())
        return AssertionFailure() << "no list" << (Why().empty() ? "" : ": " + Why());
    int count = RowCount();
    if (row < 0 || row >= count)
        return AssertionFailure() << "no row " << row << " in " << Describe() << " (" << count << " rows)";
    Ask(LVM_ENSUREVISIBLE, row, FALSE);
    RemoteMemory mem(ProcessId(), sizeof(RECT));
    RECT r = {};
    r.left = LVIR_LABEL;
    if (!mem.IsValid() || !mem.Write(0, &r, sizeof(r)))
        return AssertionFailure() << "no memory in the list's process: " << mem.Why();
    if (Ask(LVM_GETITEMRECT, row, mem.Param(), 0) <= 0 || !mem.Read(0, &r, sizeof(r)))
        return AssertionFailure() << "LVM_GETITEMRECT failed for row " << row << " of " << Describe();
    *rect = r;
    return AssertionSuccess();
}

Check ListView::PostRowClicks(int row, bool twice) const
{
    if (!Exists())
        return AssertionFailure() << "no list" << (Why().empty() ? "" : ": " + Why());
    RECT r = {};
    Check found = RowRect(row, &r);
    if (!found)
        return found;
    RECT client = {};
    ::GetClientRect(Handle(), &client);
    // The label's middle, kept inside the visible part of the list.
    int x = (r.left + r.right) / 2;
    if (x >= client.right)
        x = r.left + 2;
    if (x < client.left + 2)
        x = client.left + 2;
    int y = (r.top + r.bottom) / 2;
    return twice ? DoubleClickAt(x, y) : ClickAt(x, y);
}

Check ListView::ClickRow(int row) const { return PostRowClicks(row, false); }
Check ListView::DoubleClickRow(int row) const { return PostRowClicks(row, true); }

} // namespace e2e
