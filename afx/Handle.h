#pragma once
#include <windows.h>

// Owns one kernel handle and closes it on every path out of its scope.
class CHandle
{
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(other.Detach()) {}
    CHandle& operator=(CHandle&& other) noexcept
    {
        if (this != &other) { Close(); m_h = other.Detach(); }
        return *this;
    }

    HANDLE Get() const { return m_h; }
    operator HANDLE() const { return m_h; }
    bool IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Detach() { HANDLE h = m_h; m_h = nullptr; return h; }
    void Close()
    {
        if (IsValid())
            ::CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};
