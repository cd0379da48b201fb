// The file list after a pass: each row's picture and tip tell what became of
// its song, F8 and Shift+F8 go from one song that stayed behind to the
// next, and an edited row shows nothing until the next pass.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "afx/WidePath.h"
#include "collect/EntryColumns.h"
#include "res/Texts.h"
#include "res/resource.h"
#include "tests/support/TestFiles.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/OutcomeIcons.h"

using namespace testing_support;
using namespace ui_test;

namespace {

class OutcomeListTest : public WorkDialogTest
{
protected:
    HWND List() const { return m_dlg->GetDlgItem(IDC_FILE_LIST); }
    int StateImage(int row) const
    {
        return int((::SendMessageW(List(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
    }
    int Selected() const { return int(::SendMessageW(List(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }
    int SelectedCount() const { return int(::SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0)); }
    // F8 as the keyboard gives it to the list, Shift held or not.
    void PressF8(bool bShift)
    {
        BYTE keys[256];
        ::GetKeyboardState(keys);
        const BYTE shift = keys[VK_SHIFT];
        keys[VK_SHIFT] = bShift ? 0x80 : 0;
        ::SetKeyboardState(keys);
        ::SendMessageW(List(), WM_KEYDOWN, VK_F8, 1);
        ::SendMessageW(List(), WM_KEYUP, VK_F8, 0xC0000001);
        keys[VK_SHIFT] = shift;
        ::SetKeyboardState(keys);
    }
    int RowOf(const std::string& path) const
    {
        for (int r = 0; r < Rows(); ++r)
            if (Row(r)->Path() == path)
                return r;
        return -1;
    }
};

} // namespace

TEST_F(OutcomeListTest, RowsShowWhatBecameOfTheirSongsAndF8GoesThroughThoseThatStayedBehind)
{
    TempDir src, dst;
    const Bytes song = MakeMp3(Tagged("Band", "Disc"), 300, 1);
    // Made in this order, walked in it.
    WriteFile(src / "1.mp3", song);
    WriteFile(src / "2.mp3", MakeMp3(Tagged("", "Disc"), 300, 2));
    WriteFile(src / "3\\twin.mp3", song);
    WriteFile(src / "4.mp3", MakeMp3(Tagged("Band", "Disc"), 300, 4));
    WriteFile(src / "5.mp3", MakeMp3(Tagged("Band", ""), 300, 5));
    WriteFile(dst / "Band\\Disc\\4.mp3", "another song of that name");
    ScanDeclined(src.Path());
    ASSERT_EQ(5, Rows());
    for (int r = 0; r < Rows(); ++r)
        EXPECT_EQ(IMAGE_NONE, StateImage(r)) << "a new scan's row " << r;

    m_ui.Yes();
    m_ui.Folder(dst.Path());
    Click(IDC_BTN_COPY_START);
    ASSERT_TRUE(WaitJobEnd());
    Flush();

    struct Want
    {
        std::string file;
        int image;
        std::string tip;
    } want[] = {
        {"1.mp3", IMAGE_TRANSFERRED, ""},
        {"2.mp3", IMAGE_FAILED, std::string(TEXT_TIP_NO_ARTIST) + TEXT_TIP_NEXT_HINT},
        {"3\\twin.mp3", IMAGE_DUPLICATE, TEXT_TIP_DUPLICATE},
        {"4.mp3", IMAGE_FAILED, "같은 이름의 다른 파일이 이미 있어 정리하지 못했습니다 : " + dst / "Band\\Disc\\4.mp3"},
        {"5.mp3", IMAGE_FAILED, TEXT_TIP_NO_ALBUM},
    };
    std::vector<int> stayed;
    for (const Want& w : want) {
        SCOPED_TRACE(w.file);
        const int row = RowOf(src / w.file);
        ASSERT_GE(row, 0);
        EXPECT_EQ(w.image, StateImage(row));
        EXPECT_EQ(w.tip, TextFromWide(m_dlg->RowTip(row)));
        if (w.image == IMAGE_FAILED)
            stayed.push_back(row);
    }
    std::sort(stayed.begin(), stayed.end());
    ASSERT_EQ(3u, stayed.size());

    // From no row selected: the first that stayed behind, the next, round.
    EXPECT_EQ(-1, Selected());
    for (int row : {stayed[0], stayed[1], stayed[2], stayed[0]}) {
        PressF8(false);
        EXPECT_EQ(row, Selected());
        EXPECT_EQ(1, SelectedCount());
    }
    for (int row : {stayed[2], stayed[1]}) {
        PressF8(true);
        EXPECT_EQ(row, Selected());
    }
    // From a row of another outcome, the next after it.
    m_dlg->m_listFiles.SelectRow(RowOf(src / "3\\twin.mp3"));
    PressF8(false);
    EXPECT_EQ(RowOf(src / "4.mp3"), Selected());

    // An edit gives the row no outcome until the next pass; the hint moves
    // to the first row that still stayed behind.
    MP3FileEntry edit;
    edit.SetArtist("Band");
    edit.SetAlbum("Disc");
    m_dlg->Job().CommitEdit(*Row(stayed[0]), edit);
    EXPECT_EQ(IMAGE_NONE, StateImage(stayed[0]));
    EXPECT_EQ("", TextFromWide(m_dlg->RowTip(stayed[0])));
    EXPECT_NE(std::wstring::npos, m_dlg->RowTip(stayed[1]).find(WideFromText(TEXT_TIP_NEXT_HINT)));
    m_dlg->m_listFiles.SelectRow(stayed[2]);
    PressF8(false);
    EXPECT_EQ(stayed[1], Selected()) << "round, past the edited row";
}

// Outcomes come from the worker while the rows are on screen: the rows in
// view are drawn again, as a full repaint would draw them.
TEST_F(OutcomeListTest, OutcomesFromTheWorkerRepaintTheRowsInView)
{
    std::vector<std::unique_ptr<MP3FileEntry>> entries;
    // The list lets go of the rows before they go.
    struct Forget
    {
        CListCtrl& list;
        ~Forget() { list.DeleteAllItems(); }
    } forget{m_dlg->m_listFiles};
    for (int i = 0; i < 300; ++i) {
        entries.emplace_back(new MP3FileEntry());
        entries.back()->SetWidePath(L"\\\\?\\C:\\music\\" + std::to_wstring(i) + L".mp3");
        m_dlg->m_listFiles.InsertItem(i, reinterpret_cast<LPARAM>(entries.back().get()));
    }
    Flush();
    ::UpdateWindow(List());
    // The rows' first column, where the pictures are (past the frame), as it stands now.
    const auto pixels = [this] { return Pixels(List(), 42); };
    const std::vector<DWORD> before = pixels();

    const PassOutcome kinds[] = {OUTCOME_TRANSFERRED, OUTCOME_DUPLICATE, OUTCOME_FAILED, OUTCOME_NOT_REACHED};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            entries[i]->SetOutcome(kinds[i % 4], WHY_OTHER);
            m_dlg->ShowOutcomes(i, i);
        }
    });
    worker.join();
    Flush();
    ::UpdateWindow(List());
    const std::vector<DWORD> refreshed = pixels();
    ::RedrawWindow(List(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_LT(0, CountDifferent(before, refreshed)) << "the pictures came";
    EXPECT_EQ(0, CountDifferent(pixels(), refreshed));
}

// The pictures for the screen: their size follows its dots per inch; round,
// so their corners let the row show through; a white mark on each, and no
// two alike. Their edges blend into any row: an edge pixel keeps its colour
// beside its alpha, as the image list takes it, not darkened by it.
TEST(OutcomeIcons, DrawnForTheScreensDotsPerInch)
{
    EXPECT_EQ(16, OutcomeIconSize(96));
    EXPECT_EQ(24, OutcomeIconSize(144));
    const auto brightness = [](uint32_t p) { return int(p & 0xFF) + int((p >> 8) & 0xFF) + int((p >> 16) & 0xFF); };
    for (int size : {16, 24}) {
        SCOPED_TRACE(size);
        const std::vector<uint32_t> pixels = DrawOutcomeIcons(size);
        const int count = IMAGE_COUNT - 1;
        ASSERT_EQ(size_t(size) * size * count, pixels.size());
        std::set<std::vector<uint32_t>> seen;
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            std::vector<uint32_t> icon;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    icon.push_back(pixels[size_t(y) * size * count + size_t(i) * size + x]);
            for (int corner : {0, size - 1, size * (size - 1), size * size - 1})
                EXPECT_EQ(0u, icon[corner] >> 24) << "corner " << corner;
            EXPECT_NE(icon.end(), std::find_if(icon.begin(), icon.end(), [](uint32_t p) {
                          return p >> 24 == 255 && (p & 0xFF) >= 0xD0 && ((p >> 8) & 0xFF) >= 0xD0 &&
                                 ((p >> 16) & 0xFF) >= 0xD0;
                      })) << "a white mark";
            int darkest = 3 * 255;
            for (uint32_t p : icon)
                if (p >> 24 == 255)
                    darkest = std::min(darkest, brightness(p));
            for (uint32_t p : icon) {
                const uint32_t alpha = p >> 24;
                if (alpha > 0 && alpha < 255) {
                    EXPECT_GE(brightness(p) * 4, darkest * 3) << std::hex << p;
                }
            }
            seen.insert(icon);
        }
        EXPECT_EQ(size_t(count), seen.size());
    }
}
