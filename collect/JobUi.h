#pragma once
#include <windows.h>

#include <string>

// How a job reaches the user: the one folder question, a Yes/No question and
// a message, all modal on the calling thread. The program's side runs the
// shell's folder chooser and message boxes; tests answer from a script.
class IJobUi
{
public:
    // Asks for a folder or a file under the title. Returns 1 with the chosen
    // path, exactly (left as it was when the item has no file-system path),
    // or 0 when the user cancelled.
    virtual int ChooseFolder(std::wstring& path, const char* title) = 0;
    // IDYES or IDNO.
    virtual int AskYesNo(HWND owner, const char* text) = 0;
    virtual void ShowMessage(HWND owner, const char* text) = 0;
    // A message about something that went wrong; a plain message unless the
    // user's side shows warnings otherwise.
    virtual void ShowWarning(HWND owner, const char* text) { ShowMessage(owner, text); }

protected:
    ~IJobUi() = default;
};

// The program's own user: the shell's folder chooser and message boxes
// captioned "MP3 Sorvane" (ui/ShellJobUi.cpp).
IJobUi& ShellJobUi();

// Closes the modal windows (folder chooser, message boxes) that the given
// thread has open, each as if the user had cancelled it or answered No.
// Returns how many it closed. A stopper calls it repeatedly while it waits,
// because the worker may open the next one just after a call.
int CloseThreadModalWindows(DWORD dwThreadId);
