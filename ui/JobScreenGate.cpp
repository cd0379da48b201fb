#include "ui/JobScreenGate.h"

void CJobScreenGate::Close()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pScreen = nullptr;
}

void CJobScreenGate::ShowStatus(const char* text)
{
    Pass([text](IJobScreen& s) { s.ShowStatus(text); });
}

void CJobScreenGate::ShowPathLine(const char* text)
{
    Pass([text](IJobScreen& s) { s.ShowPathLine(text); });
}

void CJobScreenGate::ShowStatus(const char* text, const std::wstring& whole)
{
    Pass([text, &whole](IJobScreen& s) { s.ShowStatus(text, whole); });
}

void CJobScreenGate::ShowPathLine(const char* text, const std::wstring& whole)
{
    Pass([text, &whole](IJobScreen& s) { s.ShowPathLine(text, whole); });
}

void CJobScreenGate::ShowProgress(int nPos)
{
    Pass([nPos](IJobScreen& s) { s.ShowProgress(nPos); });
}

void CJobScreenGate::ShowProgressText(const char* text)
{
    Pass([text](IJobScreen& s) { s.ShowProgressText(text); });
}

void CJobScreenGate::ShowRow(const MP3FileEntry& entry)
{
    Pass([&entry](IJobScreen& s) { s.ShowRow(entry); });
}

void CJobScreenGate::ShowOutcomes(int nFirst, int nLast)
{
    Pass([nFirst, nLast](IJobScreen& s) { s.ShowOutcomes(nFirst, nLast); });
}

bool CJobScreenGate::TrySync(UINT nTimeoutMs)
{
    // A close waits for this at most nTimeoutMs: the wait is a message with
    // a time limit, which the window's thread answers when it can.
    bool bSynced = true;
    Pass([&](IJobScreen& s) { bSynced = s.TrySync(nTimeoutMs); });
    return bSynced;
}

HWND CJobScreenGate::Owner() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pScreen ? m_pScreen->Owner() : nullptr;
}
