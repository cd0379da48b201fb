#include "afx/Dialog.h"

#include "afx/WinApp.h"

namespace {
// Updates other threads wrote are brought to the screen at least this often.
const UINT SYNC_INTERVAL_MS = 100;
const UINT_PTR SYNC_TIMER_ID = 0x5359;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (!control.m_hWnd) {
        control.Attach(pDX->m_pDlg->GetDlgItem(id));
        pDX->m_pDlg->AddBoundControl(&control);
    }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent)
    : m_nIDTemplate(nIDTemplate), m_hParent(pParent ? pParent->m_hWnd : nullptr)
{
}

CDialog::~CDialog()
{
    // The derived part, and with it the bound controls, is gone already.
    m_bound.clear();
    if (m_hWnd && !m_bModal)
        DestroyWindow();
}

HINSTANCE CDialog::ResourceModule()
{
    return ::GetModuleHandleA(nullptr);
}

INT_PTR CDialog::DoModal()
{
    m_bModal = true;
    HWND parent = m_hParent;
    if (!parent) {
        // An ownerless dialog is owned by the application's main window (on
        // its thread), which stays disabled while the dialog runs.
        parent = AfxGetMainWndHandle();
        if (parent == m_hWnd)
            parent = nullptr;
    }
    // Unicode windows, so that names outside the code page show whole.
    INT_PTR r = ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(m_nIDTemplate), parent, DialogProc,
                                  reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return r;
}

BOOL CDialog::Create(HWND hParent)
{
    m_bModal = false;
    HWND h = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_nIDTemplate), hParent, DialogProc,
                                  reinterpret_cast<LPARAM>(this));
    return h != nullptr;
}

void CDialog::DestroyWindow()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(int result)
{
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        DestroyWindow();
}

BOOL CDialog::OnInitDialog()
{
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return TRUE;
}

bool CDialog::WaitControlsFlushed(UINT nTimeoutMs) const
{
    const HWND hWnd = m_hWnd;
    if (!hWnd || !::IsWindow(hWnd))
        return true;
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(hWnd, WM_APP_SYNC, 0, 0, SMTO_NORMAL, nTimeoutMs, &result) != 0;
}

void CDialog::FlushControls()
{
    for (CWnd* c : m_bound)
        c->FlushDeferred();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lp);
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    return self->HandleMessage(msg, wp, lp);
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    HWND hWnd = m_hWnd;
    switch (msg) {
    case WM_INITDIALOG: {
        BOOL focus = OnInitDialog();
        m_nSyncTimer = ::SetTimer(hWnd, SYNC_TIMER_ID, SYNC_INTERVAL_MS, nullptr);
        return focus;
    }
    case WM_TIMER:
        if (wp == SYNC_TIMER_ID) {
            FlushControls();
            return TRUE;
        }
        break;
    case WM_APP_SYNC:
        FlushControls();
        ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, 1);
        return TRUE;
    default:
        break;
    }

    LRESULT result = 0;
    if (msg == WM_NCDESTROY) {
        OnWndMsg(msg, wp, lp, &result);
        ForgetWindow();
        return FALSE;
    }
    if (OnWndMsg(msg, wp, lp, &result)) {
        if (msg == WM_NOTIFY)
            ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }

    switch (msg) {
    case WM_NOTIFY: {
        // Reflect to the control that sent it (the virtual list draws itself).
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
        for (CWnd* c : m_bound) {
            if (c->m_hWnd == hdr->hwndFrom && c->OnReflectedNotify(hdr, &result)) {
                ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
                return TRUE;
            }
        }
        break;
    }
    case WM_COMMAND:
        if (lp == 0 || HIWORD(wp) == BN_CLICKED) {
            if (LOWORD(wp) == IDOK) { OnOK(); return TRUE; }
            if (LOWORD(wp) == IDCANCEL) { OnCancel(); return TRUE; }
        }
        break;
    default:
        break;
    }
    return FALSE;
}

void CDialog::ForgetWindow()
{
    if (m_nSyncTimer)
        ::KillTimer(m_hWnd, SYNC_TIMER_ID);
    m_nSyncTimer = 0;
    for (CWnd* c : m_bound)
        c->Detach();
    m_bound.clear();
    ::SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
    m_hWnd = nullptr;
}
