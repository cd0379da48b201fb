// Works the windows of the program that the installed launcher started, as a
// user would: the launcher's start button, the work window's add-to-list, the
// folder chooser on a folder of the user's home. package_test.sh runs it in
// the user's own Wine prefix, so it sees that program's windows.
// Usage: package_drive.exe FOLDER [SONGS] [gtest options]; FOLDER is a
// Windows path holding SONGS MP3 files (one unless told), among them
// "가수 - 첫 노래.mp3", tagged 가수 / 첫 앨범 / 첫 노래. The program is left
// showing them (scripts/screenshot.sh takes its picture then).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "res/resource.h"
#include "tests/e2e/driver/Driver.h"

using namespace e2e;

namespace {

const char kCaption[] = "MP3 Sorvane";
const char kOrganise[] = "원본 파일을 복사 또는 이동 시키겠습니까?";
const char kDone[] = "작업완료";

std::string g_folder;
int g_songs = 1;

// The top-level dialog titled like the program's windows that holds this
// control: the launcher and the work window share their caption.
Window WaitProgramDialog(DWORD processId, int controlId, DWORD timeoutMs)
{
    return WaitDialogWithControl(processId, kCaption, controlId, timeoutMs);
}

Check Answer(DWORD processId, const std::string& text, int id)
{
    MsgBox box = MsgBox::Wait(processId, kCaption);
    if (!box)
        return ::testing::AssertionFailure() << box.Why();
    if (!WaitUntil([&] { return box.Message() == text; }, "a box saying " + text, 3000))
        return ::testing::AssertionFailure() << "the box says \"" << box.Message() << "\"";
    Check pressed = box.Press(id);
    return pressed ? WaitGone(box) : pressed;
}

int Column(const ListView& list, const std::string& header)
{
    for (int c = 0; c < list.ColumnCount(); ++c)
        if (list.HeaderText(c) == header)
            return c;
    return -1;
}

class InstalledProgram : public WindowTest
{
};

TEST_F(InstalledProgram, ListsAKoreanNamedSongOfTheUsersHome)
{
    // Already on screen: the test script waited for it.
    Window launcher = WaitProgramDialog(0, IDC_BTN_START, kWait);
    ASSERT_TRUE(launcher) << launcher.Why();
    const DWORD pid = launcher.ProcessId();
    ASSERT_TRUE(launcher.Child(IDC_BTN_START).Click());
    Window work = WaitProgramDialog(pid, IDC_BTN_ADD_LIST, kWait);
    ASSERT_TRUE(work) << work.Why();

    ASSERT_TRUE(work.Child(IDC_BTN_ADD_LIST).Click());
    FolderChooser chooser = FolderChooser::Wait(pid);
    ASSERT_TRUE(chooser) << chooser.Why();
    ASSERT_TRUE(chooser.Choose(g_folder));
    ASSERT_TRUE(Answer(pid, kOrganise, IDNO));
    ASSERT_TRUE(Answer(pid, kDone, IDOK));

    ListView list(work.Child(IDC_FILE_LIST));
    ASSERT_TRUE(WaitUntil([&] { return list.RowCount() == g_songs; }, "a row per song in the list"))
        << list.RowCount() << " rows";
    const int pathColumn = Column(list, "파일경로");
    const std::string name = "\\가수 - 첫 노래.mp3";
    int row = -1;
    for (int r = 0; r < list.RowCount() && row < 0; ++r) {
        const std::string path = list.CellText(r, pathColumn);
        if (path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0)
            row = r;
    }
    ASSERT_GE(row, 0) << "no row's path ends in " << name;
    EXPECT_EQ("가수", list.CellText(row, Column(list, "가수")));
    EXPECT_EQ("첫 앨범", list.CellText(row, Column(list, "앨범")));
    EXPECT_EQ("첫 노래", list.CellText(row, Column(list, "제목")));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2 || argc > 3 || (argc == 3 && (g_songs = std::atoi(argv[2])) < 1)) {
        std::fprintf(stderr, "usage: package_drive.exe FOLDER [SONGS] [gtest options]\n");
        return 2;
    }
    g_folder = argv[1];
    return RUN_ALL_TESTS();
}
