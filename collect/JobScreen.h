#pragma once
#include <windows.h>

#include <string>

struct MP3FileEntry;

// How a job reaches the screen: the status text, the path line, the progress
// and the rows it shows. A job runs on a worker thread; none of these may make it wait
// for the window's thread, except TrySync, which is the one wait it asks for.
// The program's work window implements it over its controls; tests put a
// window of their own behind it.
class IJobScreen
{
public:
    virtual void ShowStatus(const char* text) = 0;
    virtual void ShowPathLine(const char* text) = 0;
    // The same where a name in the text is whole only in its UTF-16 form: a
    // screen that can show it does; the CP949 text is the one kept.
    virtual void ShowStatus(const char* text, const std::wstring& /*whole*/) { ShowStatus(text); }
    virtual void ShowPathLine(const char* text, const std::wstring& /*whole*/) { ShowPathLine(text); }
    // 0..PROGRESS_RANGE.
    virtual void ShowProgress(int nPos) = 0;
    virtual void ShowProgressText(const char* text) = 0;

    // Shows one more row, drawn from the entry. The job owns its rows'
    // entries and keeps them until it is reset or goes; the screen forgets
    // them first.
    virtual void ShowRow(const MP3FileEntry& entry) = 0;
    // Rows nFirst..nLast, shown already, have a new outcome (what the pass
    // made of them): a screen that shows outcomes draws them again.
    virtual void ShowOutcomes(int /*nFirst*/, int /*nLast*/) {}

    // Waits up to nTimeoutMs for the screen to show everything written so
    // far. True when it does, or when it never will (no window any more).
    virtual bool TrySync(UINT nTimeoutMs) = 0;
    // The window that owns the job's questions and messages; may be null.
    virtual HWND Owner() const = 0;

protected:
    ~IJobScreen() = default;
};
