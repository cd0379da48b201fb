#pragma once
#include <string>
#include <vector>

#include "tests/e2e/driver/Window.h"

namespace e2e {

// A report-style list view of another process, owner-data or not. Texts come
// through memory allocated in that process, since list view messages carry
// pointers that are not marshalled.
class ListView : public Window
{
public:
    ListView() = default;
    explicit ListView(const Window& w) : Window(w) {}

    // -1 when the list cannot be asked.
    int RowCount() const;
    int ColumnCount() const;
    std::string HeaderText(int column) const;
    // Any length; an owner-data list fills it through its parent.
    std::string CellText(int row, int column) const;
    std::wstring CellTextW(int row, int column) const;
    std::vector<std::string> RowTexts(int row) const;
    // The first selected row, or -1.
    int SelectedRow() const;
    // The row's state image (LVIS_STATEIMAGEMASK): one-based, 0 for none;
    // -1 when the list cannot be asked.
    int StateImage(int row) const;
    // Takes the real pointer off the list, then rests it on the row, and
    // returns the text of the tip the program shows for it: "" when none
    // shows within timeoutMs.
    std::wstring HoverTip(int row, DWORD timeoutMs = kWait) const;
    // The row's label rectangle in the list's client coordinates, after
    // scrolling it into view.
    Check RowRect(int row, RECT* rect) const;
    // Posted mouse clicks at the row (down, up, double-click, up), so that the
    // list itself selects the row and notifies NM_CLICK / NM_DBLCLK.
    Check ClickRow(int row) const;
    Check DoubleClickRow(int row) const;

private:
    Check PostRowClicks(int row, bool twice) const;
};

} // namespace e2e
