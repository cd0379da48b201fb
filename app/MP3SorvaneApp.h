#pragma once
#include "afx/WinApp.h"

class CMP3SorvaneApp : public CWinAppEx
{
public:
    CMP3SorvaneApp() : CWinAppEx(TRUE) {}
    // The whole program: guard, platform, site check, launcher. Always FALSE.
    BOOL InitInstance() override;
};

extern CMP3SorvaneApp theApp;
