// Opens the work window alone, as the launcher's start button would, with the
// program's own chooser and message boxes; for end-to-end tests of the window.
#include <windows.h>
#include <commctrl.h>

#include "ui/WorkDialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    CWorkDialog dlg;
    dlg.DoModal();
    return 0;
}
