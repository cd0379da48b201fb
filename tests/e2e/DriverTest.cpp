#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/driver/Driver.h"
#include "tests/e2e/target/TargetIds.h"
#include "tests/support/TestFiles.h"

using namespace e2e;
using testing_support::TempDir;

namespace {

const char* const kCaption = "드라이버 연습장";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The practice program, started fresh for every test and ended after it.
class Target : public WindowTest
{
protected:
    void SetUp() override { StartIn(""); }

    void StartIn(const std::string& workDir)
    {
        target = Process::Start(HostPath(E2E_TARGET_EXE), "", workDir);
        ASSERT_TRUE(target) << target.Why();
        dlg = target.WaitWindow(kCaption, "#32770");
        ASSERT_TRUE(dlg) << dlg.Why();
    }

    Window Item(int id) const { return dlg.Child(id); }

    Process target;
    Window dlg;
};

// Posted input is handled in order; waiting for the effect of a later post
// proves that an earlier one (or a refused one) has been dealt with.
void SyncThroughCombo(const Window& dlg, int index, const std::string& text)
{
    ASSERT_TRUE(dlg.Child(IDC_COMBO).PickComboItem(index));
    ASSERT_TRUE(WaitText(dlg.Child(IDC_PICKED), text));
}

} // namespace

TEST_F(Target, FindsWindowsAndReadsKoreanTextsByteExact)
{
    EXPECT_EQ(kCaption, dlg.Text());
    EXPECT_EQ(kCaption, dlg.Caption());
    EXPECT_EQ("\xB5\xE5\xB6\xF3\xC0\xCC\xB9\xF6 \xBF\xAC\xBD\xC0\xC0\xE5", dlg.Text()); // CP949, not UTF-8
    EXPECT_EQ("한글 라벨: 가나다", Item(IDC_NOTE).Text());
    EXPECT_EQ("질문하기", Item(IDC_ASK).Text());
    EXPECT_EQ(IDC_ASK, Item(IDC_ASK).Id());
    EXPECT_EQ("Button", Item(IDC_ASK).ClassName());
    EXPECT_EQ(target.Id(), Item(IDC_ASK).ProcessId());
    EXPECT_TRUE(Item(IDC_ASK).IsEnabled());
    EXPECT_FALSE(Item(IDC_DISABLED).IsEnabled());
    EXPECT_TRUE(Item(IDC_DISABLED).IsVisible());
    EXPECT_TRUE(WaitVisible(dlg, true));

    WindowQuery byClassOnly;
    byClassOnly.processId = target.Id();
    byClassOnly.className = "#32770";
    EXPECT_EQ(dlg.Handle(), FindTopWindow(byClassOnly).Handle());

    Window missingControl = dlg.Child(4242);
    EXPECT_FALSE(missingControl);
    EXPECT_TRUE(Contains(missingControl.Why(), "4242")) << missingControl.Why();

    // A failed wait names what it looked for and lists what was there.
    Window wrongClass = target.WaitWindow(kCaption, "Edit", 300);
    EXPECT_FALSE(wrongClass);
    EXPECT_TRUE(Contains(wrongClass.Why(), "\"Edit\"") && Contains(wrongClass.Why(), kCaption)) << wrongClass.Why();

    Check missingText = WaitText(Item(IDC_NOTE), "다른 글", 200);
    EXPECT_FALSE(missingText);
    EXPECT_TRUE(Contains(missingText.message(), "가나다")) << missingText.message();
}

TEST_F(Target, StartsInTheGivenWorkingFolder)
{
    TempDir dir;
    const std::string folder = dir / "작업 폴더";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    Process first = std::move(target);
    first.Kill();
    ASSERT_TRUE(first.WaitExit(0));

    StartIn(folder);
    EXPECT_TRUE(WaitText(Item(IDC_CWD), folder));
}

TEST_F(Target, RefusesToClickADisabledButton)
{
    Check click = Item(IDC_DISABLED).Click();
    EXPECT_FALSE(click);
    EXPECT_TRUE(Contains(click.message(), "disabled")) << click.message();

    SyncThroughCombo(dlg, 0, "하나");
    EXPECT_EQ("", Item(IDC_PRESSED).Text());
}

TEST_F(Target, AnswersMessageBoxes)
{
    struct Row
    {
        const char* label;
        Check (*answer)(const MsgBox&);
        const char* shown;
    };
    const Row rows[] = {
        {"yes button", [](const MsgBox& b) { return b.Yes(); }, "예"},
        {"no button", [](const MsgBox& b) { return b.No(); }, "아니오"},
        {"enter takes the default answer", [](const MsgBox& b) { return b.PressKey(VK_RETURN); }, "예"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_TRUE(Item(IDC_ASK).Click());
        MsgBox box = MsgBox::Wait(target.Id(), kCaption);
        ASSERT_TRUE(box) << box.Why();
        EXPECT_EQ("계속할까요?\r\n둘째 줄", box.Message());
        EXPECT_TRUE(box.HasButton(IDYES) && box.HasButton(IDNO));
        EXPECT_EQ(dlg.Handle(), box.Owner().Handle());

        // The dialog behind the box takes no input, nor does the box take an
        // answer it does not offer.
        EXPECT_TRUE(WaitEnabled(dlg, false));
        Check behind = Item(IDC_ASK).Click();
        EXPECT_FALSE(behind);
        EXPECT_TRUE(Contains(behind.message(), "modal")) << behind.message();
        EXPECT_FALSE(box.Ok());
        // Box and dialog share their caption and are still told apart.
        EXPECT_EQ(box.Handle(), MsgBox::Find(target.Id(), kCaption).Handle());
        EXPECT_EQ(dlg.Handle(), target.WaitDialog(kCaption, IDC_LIST).Handle());

        ASSERT_TRUE(row.answer(box));
        EXPECT_TRUE(WaitGone(box));
        EXPECT_TRUE(WaitText(Item(IDC_ANSWER), row.shown));
        EXPECT_TRUE(WaitEnabled(dlg, true));
    }
}

TEST_F(Target, TypesIntoAnEditBox)
{
    const std::string typed = "한글 입력, ABC 123";
    ASSERT_TRUE(Item(IDC_EDIT).SetText(typed));
    EXPECT_EQ(typed, Item(IDC_EDIT).Text());
    EXPECT_TRUE(WaitText(Item(IDC_ECHO), typed)) << "the program is told of the change";

    EXPECT_FALSE(Item(IDC_DISABLED).SetText("x"));
}

TEST_F(Target, PicksComboItemsByIndexAndText)
{
    Window combo = Item(IDC_COMBO);
    EXPECT_EQ((std::vector<std::string>{"하나", "둘", "셋"}), combo.ComboItems());
    EXPECT_EQ(CB_ERR, combo.ComboSelection());

    ASSERT_TRUE(combo.PickComboItem(2));
    EXPECT_TRUE(WaitText(Item(IDC_PICKED), "셋"));
    EXPECT_EQ(2, combo.ComboSelection());

    ASSERT_TRUE(combo.PickComboItem("둘"));
    EXPECT_TRUE(WaitText(Item(IDC_PICKED), "둘"));
    EXPECT_EQ(1, combo.ComboSelection());

    Check noSuchText = combo.PickComboItem("넷");
    EXPECT_FALSE(noSuchText);
    EXPECT_TRUE(Contains(noSuchText.message(), "\"셋\"")) << "lists the items: " << noSuchText.message();
    EXPECT_FALSE(combo.PickComboItem(3));
    EXPECT_EQ(1, combo.ComboSelection());
}

TEST_F(Target, ReadsAnOwnerDataListAcrossProcesses)
{
    ListView list(Item(IDC_LIST));
    EXPECT_EQ(40, list.RowCount());
    EXPECT_EQ(3, list.ColumnCount());
    EXPECT_EQ("이름", list.HeaderText(0));
    EXPECT_EQ("비고", list.HeaderText(2));

    struct Cell
    {
        int row, col;
        std::string text;
    };
    std::string longRemark;
    for (int i = 0; i < 150; ++i)
        longRemark += "가";
    longRemark += "!";
    const Cell cells[] = {
        {0, 0, "첫 노래.mp3"}, {0, 2, "가나다"},  {1, 0, "second.mp3"}, {1, 2, ""},
        {3, 1, "0"},          {5, 2, longRemark}, {39, 0, "곡 39"},      {39, 2, "줄 39"},
    };
    for (const Cell& c : cells) {
        SCOPED_TRACE("row " + std::to_string(c.row) + " column " + std::to_string(c.col));
        EXPECT_EQ(c.text, list.CellText(c.row, c.col));
    }
    EXPECT_EQ(301u, list.CellText(5, 2).size());
    EXPECT_EQ((std::vector<std::string>{"셋째 곡.mp3", "4096", "비고 셋"}), list.RowTexts(2));
}

TEST_F(Target, DoubleClicksRowsEvenOutOfView)
{
    ListView list(Item(IDC_LIST));
    EXPECT_EQ(-1, list.SelectedRow());
    for (int row : {4, 39, 0}) {
        SCOPED_TRACE("row " + std::to_string(row));
        ASSERT_TRUE(list.DoubleClickRow(row));
        EXPECT_TRUE(WaitText(Item(IDC_ACTIVATED), "두번 누름 " + std::to_string(row)));
        EXPECT_EQ(row, list.SelectedRow());
    }
    ASSERT_TRUE(list.ClickRow(7));
    EXPECT_TRUE(WaitUntil([&] { return list.SelectedRow() == 7; }, "row 7 selected"));
    EXPECT_EQ("두번 누름 0", Item(IDC_ACTIVATED).Text()) << "a single click activates nothing";

    Check beyond = list.DoubleClickRow(40);
    EXPECT_FALSE(beyond);
    EXPECT_TRUE(Contains(beyond.message(), "40 rows")) << beyond.message();
}

TEST_F(Target, ChoosesAFolderOrAFileInTheShellChooser)
{
    TempDir dir;
    const std::string folder = dir / "한글 폴더";
    const std::string file = folder + "\\노래 하나.mp3";
    testing_support::WriteFile(file, "ID3");

    struct Row
    {
        const char* label;
        std::string path; // empty: cancel
        std::string shown;
    };
    const Row rows[] = {
        {"folder", folder, folder},
        {"file", file, file},
        {"cancel", "", "취소됨"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_TRUE(Item(IDC_BROWSE).Click());
        FolderChooser chooser = FolderChooser::Wait(target.Id());
        ASSERT_TRUE(chooser) << chooser.Why();
        EXPECT_EQ("원본 폴더나 파일을 고르세요", chooser.Title());
        if (row.path.empty()) {
            ASSERT_TRUE(chooser.Cancel());
        } else {
            ASSERT_TRUE(chooser.Choose(row.path));
        }
        EXPECT_TRUE(WaitGone(chooser));
        EXPECT_TRUE(WaitText(Item(IDC_CHOSEN), row.shown));
    }
}

TEST_F(Target, ReportsAPathTheChooserCannotSelect)
{
    ASSERT_TRUE(Item(IDC_BROWSE).Click());
    FolderChooser chooser = FolderChooser::Wait(target.Id());
    ASSERT_TRUE(chooser) << chooser.Why();
    Check select = chooser.Select("C:\\no such folder here", 1500);
    EXPECT_FALSE(select);
    EXPECT_TRUE(Contains(select.message(), "no such folder here")) << select.message();
    EXPECT_TRUE(chooser.Exists());
}

TEST_F(Target, EndsTheDialogWithKeysAndTheCloseBox)
{
    struct Row
    {
        const char* label;
        Check (*act)(const Window& dlg);
        DWORD exitCode;
    };
    const Row rows[] = {
        {"enter in the edit box takes the default button",
         [](const Window& d) {
             Check focused = d.Child(IDC_EDIT).Focus();
             return focused ? d.PressKey(VK_RETURN) : focused;
         },
         IDOK},
        {"escape cancels", [](const Window& d) { return d.PressKey(VK_ESCAPE); }, IDCANCEL},
        {"close box cancels", [](const Window& d) { return d.Close(); }, IDCANCEL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        if (!target.IsRunning())
            StartIn("");
        ASSERT_TRUE(row.act(dlg));
        ASSERT_TRUE(target.WaitExit());
        EXPECT_EQ(row.exitCode, target.ExitCode());
    }
}

TEST_F(Target, EndsTheProgramWhenTheProcessObjectGoes)
{
    HANDLE watch = nullptr;
    {
        Process second = Process::Start(HostPath(E2E_TARGET_EXE));
        ASSERT_TRUE(second) << second.Why();
        ASSERT_TRUE(second.WaitWindow(kCaption));
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), second.Handle(), ::GetCurrentProcess(), &watch, SYNCHRONIZE,
                                      FALSE, 0));
        Check stillRuns = second.WaitExit(100);
        EXPECT_FALSE(stillRuns);
        EXPECT_TRUE(Contains(stillRuns.message(), kCaption)) << "lists its windows: " << stillRuns.message();
        EXPECT_EQ(STILL_ACTIVE, second.ExitCode());
    }
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(watch, 0));
    ::CloseHandle(watch);

    Process missing = Process::Start("C:\\no\\such.exe");
    EXPECT_FALSE(missing);
    EXPECT_TRUE(Contains(missing.Why(), "C:\\no\\such.exe")) << missing.Why();
}

TEST_F(Target, SavesTheScreenAsPngOrBmp)
{
    TempDir dir;
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);

    ASSERT_TRUE(SaveScreenshot(dir / "screen.png"));
    testing_support::Bytes png = testing_support::ReadFile(dir / "screen.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string("\x89PNG\r\n\x1A\n", 8), std::string(png.begin(), png.begin() + 8));
    auto be32 = [&](size_t at) { return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3]; };
    EXPECT_EQ(width, be32(16));
    EXPECT_EQ(height, be32(20));

    ASSERT_TRUE(SaveScreenshot(dir / "screen.bmp"));
    testing_support::Bytes bmp = testing_support::ReadFile(dir / "screen.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ('B', bmp[0]);
    EXPECT_EQ('M', bmp[1]);
    EXPECT_EQ(54u + ((width * 3u + 3u) & ~3u) * height, bmp.size());

    EXPECT_FALSE(SaveScreenshot(dir / "no such folder\\screen.png"));
}
