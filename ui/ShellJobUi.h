#pragma once
#include "collect/JobUi.h"

// The program's user: the shell's folder chooser and message boxes captioned
// "MP3 Sorvane", owned by the window the job names.
class CShellJobUi : public IJobUi
{
public:
    int ChooseFolder(std::wstring& path, const char* title) override;
    int AskYesNo(HWND owner, const char* text) override;
    void ShowMessage(HWND owner, const char* text) override;
    void ShowWarning(HWND owner, const char* text) override;
};

// The program's own user.
IJobUi& ShellJobUi();

// Closes the modal windows (folder chooser, message boxes) that the given
// thread has open, each as if the user had cancelled it or answered No.
// Returns how many it closed. A stopper calls it repeatedly while it waits,
// because the worker may open the next one just after a call.
int CloseThreadModalWindows(DWORD dwThreadId);
