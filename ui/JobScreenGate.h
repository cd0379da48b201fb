#pragma once
#include <mutex>

#include "collect/JobScreen.h"

// A job's way to the window's screen, which the window can close: once
// closed, what the job still writes is dropped and its waits for the screen
// end at once. A job abandoned after a stop keeps its gate, and nothing it
// writes reaches the screen of the jobs that follow.
class CJobScreenGate : public IJobScreen
{
public:
    explicit CJobScreenGate(IJobScreen& screen) : m_pScreen(&screen) {}

    // Returns once no call of the job is inside the screen.
    void Close();

    void ShowStatus(const char* text) override;
    void ShowPathLine(const char* text) override;
    void ShowStatus(const char* text, const std::wstring& whole) override;
    void ShowPathLine(const char* text, const std::wstring& whole) override;
    void ShowProgress(int nPos) override;
    void ShowProgressText(const char* text) override;
    void ShowRow(const MP3FileEntry& entry) override;
    void ShowOutcomes(int nFirst, int nLast) override;
    bool TrySync(UINT nTimeoutMs) override;
    HWND Owner() const override;

private:
    // Calls f on the screen while the gate is open, under its lock.
    template <class F>
    void Pass(F f)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_pScreen)
            f(*m_pScreen);
    }

    mutable std::mutex m_lock;
    IJobScreen* m_pScreen;
};
