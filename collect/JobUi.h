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
