// A small program for the window driver to practise on: one dialog with a
// control of every kind the driver handles, each reporting what happened to it
// in a label the tests can read. The exit code is the dialog's result.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <process.h>
#include <shlobj.h>

#include <string>

#include "TargetIds.h"

namespace {

const char* const kColumns[] = {"이름", "크기", "비고"};
const int kColumnWidths[] = {180, 70, 200};
const char* const kComboItems[] = {"하나", "둘", "셋"};
constexpr int kRows = 40;
constexpr int kLongRow = 5;

// One cell of the list. One remark is longer than a path buffer, to catch
// readers that assume short texts; the list is longer than its window, to
// catch clicks at rows scrolled out of view.
std::string CellText(int row, int col)
{
    static const char* const cells[kLongRow][3] = {
        {"첫 노래.mp3", "1024", "가나다"},
        {"second.mp3", "2048", ""},
        {"셋째 곡.mp3", "4096", "비고 셋"},
        {"넷.mp3", "0", "마지막 앞"},
        {"다섯.mp3", "77", "끝에서 둘째"},
    };
    if (row < kLongRow)
        return cells[row][col];
    if (row > kLongRow) {
        const char* const generated[] = {"곡 ", "", "줄 "};
        return generated[col] + std::to_string(row);
    }
    if (col == 0)
        return "긴 비고.mp3";
    if (col == 1)
        return "1";
    std::string text;
    for (int i = 0; i < 150; ++i)
        text += "가";
    return text + "!";
}

void SetText(HWND dlg, int id, const std::string& text)
{
    ::SetDlgItemTextA(dlg, id, text.c_str());
}

void InitList(HWND dlg)
{
    HWND list = ::GetDlgItem(dlg, IDC_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = const_cast<char*>(kColumns[i]);
        col.cx = kColumnWidths[i];
        ::SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
    ::SendMessageA(list, LVM_SETITEMCOUNT, kRows, 0);
}

// The shell's chooser runs on a thread of its own with no owner, as a worker
// thread would open it, so that the dialog stays usable meanwhile.
unsigned __stdcall BrowseThread(void* param)
{
    HWND dlg = static_cast<HWND>(param);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char display[MAX_PATH] = {};
    BROWSEINFOA bi = {};
    bi.pszDisplayName = display;
    bi.lpszTitle = "원본 폴더나 파일을 고르세요";
    bi.ulFlags = BIF_BROWSEINCLUDEFILES;
    LPITEMIDLIST pidl = ::SHBrowseForFolderA(&bi);
    if (pidl == nullptr) {
        SetText(dlg, IDC_CHOSEN, "취소됨");
    } else {
        char path[MAX_PATH] = {};
        if (::SHGetPathFromIDListA(pidl, path))
            SetText(dlg, IDC_CHOSEN, path);
        else
            SetText(dlg, IDC_CHOSEN, "경로 없음");
        ::CoTaskMemFree(pidl);
    }
    ::CoUninitialize();
    return 0;
}

void OnCommand(HWND dlg, int id, int code)
{
    switch (id) {
    case IDC_ASK:
        // The box shares the dialog's caption, as a program's own boxes often do.
        if (code == BN_CLICKED) {
            int answer = ::MessageBoxA(dlg, "계속할까요?\r\n둘째 줄", "드라이버 연습장", MB_YESNO | MB_ICONQUESTION);
            SetText(dlg, IDC_ANSWER, answer == IDYES ? "예" : answer == IDNO ? "아니오" : "?");
        }
        break;
    case IDC_EDIT:
        if (code == EN_CHANGE) {
            char text[512] = {};
            ::GetDlgItemTextA(dlg, IDC_EDIT, text, sizeof(text));
            SetText(dlg, IDC_ECHO, text);
        }
        break;
    case IDC_COMBO:
        if (code == CBN_SELCHANGE) {
            LRESULT sel = ::SendDlgItemMessageA(dlg, IDC_COMBO, CB_GETCURSEL, 0, 0);
            SetText(dlg, IDC_PICKED, sel >= 0 && sel < 3 ? kComboItems[sel] : "");
        }
        break;
    case IDC_BROWSE:
        if (code == BN_CLICKED) {
            uintptr_t t = ::_beginthreadex(nullptr, 0, BrowseThread, dlg, 0, nullptr);
            if (t != 0)
                ::CloseHandle(reinterpret_cast<HANDLE>(t));
        }
        break;
    case IDC_DISABLED:
        SetText(dlg, IDC_PRESSED, "눌림");
        break;
    case IDOK:
    case IDCANCEL:
        ::EndDialog(dlg, id);
        break;
    }
}

INT_PTR OnNotify(HWND dlg, NMHDR* hdr)
{
    if (hdr->idFrom != IDC_LIST)
        return FALSE;
    if (hdr->code == LVN_GETDISPINFOA) {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(hdr)->item;
        if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
            std::string text = CellText(item.iItem, item.iSubItem);
            lstrcpynA(item.pszText, text.c_str(), item.cchTextMax);
        }
        return TRUE;
    }
    if (hdr->code == NM_DBLCLK) {
        int row = reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem;
        SetText(dlg, IDC_ACTIVATED, "두번 누름 " + std::to_string(row));
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG:
        for (const char* item : kComboItems)
            ::SendDlgItemMessageA(dlg, IDC_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        InitList(dlg);
        {
            char cwd[MAX_PATH] = {};
            ::GetCurrentDirectoryA(MAX_PATH, cwd);
            SetText(dlg, IDC_CWD, cwd);
        }
        return TRUE;
    case WM_COMMAND:
        OnCommand(dlg, LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_NOTIFY:
        ::SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        return OnNotify(dlg, reinterpret_cast<NMHDR*>(lp));
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_TARGET), nullptr, DialogProc, 0);
    return static_cast<int>(result);
}
