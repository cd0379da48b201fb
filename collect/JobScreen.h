#pragma once
#include <windows.h>

#include <string>

struct MP3FileEntry;

// How a job reaches the screen: the status text, the path line, the progress
// and the rows. A job runs on a worker thread; none of these may make it wait
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

    // The rows listed so far; the row owns the entry it was added with.
    virtual int RowCount() const = 0;
    // Appends a row owning the entry; returns its index.
    virtual int AddRow(MP3FileEntry* pEntry) = 0;
    // The entry of a row, or null outside the rows.
    virtual MP3FileEntry* RowEntry(int nRow) const = 0;

    // Waits up to nTimeoutMs for the screen to show everything written so
    // far. True when it does, or when it never will (no window any more).
    virtual bool TrySync(UINT nTimeoutMs) = 0;
    // The window that owns the job's questions and messages; may be null.
    virtual HWND Owner() const = 0;

protected:
    ~IJobScreen() = default;
};
