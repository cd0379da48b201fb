// The window driver: end-to-end tests start a real program and work its
// windows from outside, as a user would, under Wine and Xvfb. Everything a
// test needs comes with this header; it knows nothing of the program it drives.
//
//   Process p = Process::Start(HostPath(EXE_PATH), "", workDir);
//   ASSERT_TRUE(p) << p.Why();                 // ended (with all it started) when p goes
//   Window dlg = p.WaitWindow("Caption", "#32770");
//   ASSERT_TRUE(dlg) << dlg.Why();            // Why() lists the windows that were there
//   Window main = p.WaitDialog("Caption", IDC_LIST); // when message boxes share the caption
//   ASSERT_TRUE(dlg.Child(IDC_GO).Click());     // refused when disabled or behind a modal window
//   EXPECT_TRUE(WaitText(dlg.Child(IDC_STATUS), "done"));
//
//   MsgBox box = MsgBox::Wait(p.Id(), "Caption");
//   EXPECT_EQ("Question?", box.Message());
//   ASSERT_TRUE(box.Yes());                    // No(), Ok(), Cancel(), Press(id)
//
//   FolderChooser fc = FolderChooser::Wait(p.Id());
//   EXPECT_EQ("Pick a folder", fc.Title());
//   ASSERT_TRUE(fc.Choose("C:\\some\\folder or file"));   // or fc.Cancel()
//
//   ListView list(dlg.Child(IDC_LIST));
//   list.RowCount(); list.ColumnCount(); list.HeaderText(c); list.CellText(r, c);
//   ASSERT_TRUE(list.DoubleClickRow(r));
//
//   edit.SetText("..."); combo.PickComboItem(2) or PickComboItem("text");
//   edit.Focus(); dlg.PressKey(VK_RETURN); dlg.Close();
//   link.ClickAt(x, y); progress.Ask(PBM_GETPOS);  // client coordinates; pointer-free messages
//   EXPECT_TRUE(p.WaitExit()); EXPECT_EQ(0u, p.ExitCode());
//
// Actions post their input and return at once (a click may open a modal
// window the test then answers); what the program did is checked with the
// Wait* functions, which poll until kWait (15 s) unless told otherwise. Every
// action and wait returns a Check (a gtest AssertionResult) that carries the
// reason of a failure into the test's output. Texts are CP949 bytes, exactly
// as the program holds them. A fixture derived from WindowTest saves the
// screen of a failed test into the build tree's shots folder.
#pragma once

#include "tests/e2e/driver/Dialogs.h"
#include "tests/e2e/driver/ListView.h"
#include "tests/e2e/driver/Process.h"
#include "tests/e2e/driver/Screenshot.h"
#include "tests/e2e/driver/Window.h"
