// Control ids of the driver's practice program, shared with the tests that drive it.
#pragma once

#define IDD_TARGET          100

#define IDC_ASK             1001  // Yes/No question; the answer goes to IDC_ANSWER
#define IDC_ANSWER          1002
#define IDC_EDIT            1003
#define IDC_ECHO            1004  // mirrors IDC_EDIT on every change
#define IDC_COMBO           1005
#define IDC_PICKED          1006  // the combo's item on every selection change
#define IDC_LIST            1007
#define IDC_ACTIVATED       1008  // the row last double-clicked
#define IDC_BROWSE          1009  // folder chooser; the result goes to IDC_CHOSEN
#define IDC_CHOSEN          1010
#define IDC_DISABLED        1011  // never enabled; a click would write IDC_PRESSED
#define IDC_PRESSED         1012
#define IDC_NOTE            1013  // a fixed Korean label
#define IDC_CWD             1014  // the working folder the program was started in
