#include "afx/Wnd.h"

#include <vector>

bool CWnd::IsOwnThread() const
{
    return ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId();
}

void CWnd::SetWindowText(const char* text)
{
    ::SetWindowTextA(m_hWnd, text);
}

std::string CWnd::GetWindowText() const
{
    int n = ::GetWindowTextLengthA(m_hWnd);
    std::vector<char> buf(n + 1);
    n = ::GetWindowTextA(m_hWnd, buf.data(), n + 1);
    return std::string(buf.data(), n > 0 ? n : 0);
}

std::wstring CWnd::GetWindowTextW() const
{
    const int n = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(size_t(n > 0 ? n : 0) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, &text[0], int(text.size()));
    text.resize(size_t(got > 0 ? got : 0));
    return text;
}
