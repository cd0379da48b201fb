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
