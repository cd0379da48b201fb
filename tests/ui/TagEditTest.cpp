#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "res/resource.h"
#include "tag/Genre.h"
#include "tag/ID3v2.h"
#include "tag/SongSave.h"
#include "tests/support/ID3v2Bytes.h"
#include "tests/support/TestFiles.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ModifyTagDlg.h"

using namespace testing_support;
using namespace ui_test;

namespace {

// Done from the helper thread, against the dialog running modally in the
// test's thread.
void SetBox(HWND dlg, int id, const std::string& text)
{
    ::SendMessageA(::GetDlgItem(dlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Box(HWND dlg, int id)
{
    char buf[1024] = "";
    ::SendMessageA(::GetDlgItem(dlg, id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

void Press(HWND dlg, int id) { ::PostMessageA(::GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

// As the keyboard would: the dialog's own key handling sees it.
void Key(HWND dlg, int id, UINT vk)
{
    HWND box = ::GetDlgItem(dlg, id);
    ::PostMessageA(box, WM_KEYDOWN, vk, 1);
    ::PostMessageA(box, WM_KEYUP, vk, 0xC0000001);
}

int Genre(HWND dlg) { return int(::SendMessageA(::GetDlgItem(dlg, IDC_COMBO_GENRE), CB_GETCURSEL, 0, 0)); }

// title, artist, album, track, genre number, genre name, year, comment
struct Values
{
    std::string title, artist, album, track;
    int genre;
    std::string genreName, year, comment;
};

Values EntryValues(const MP3FileEntry& e)
{
    return {e.Title(), e.Artist(), e.Album(), e.Track(), e.nGenre, e.Genre(), e.Year(), e.Comment()};
}

std::string Describe(const Values& v)
{
    return v.title + "|" + v.artist + "|" + v.album + "|" + v.track + "|" + std::to_string(v.genre) + "|" +
           v.genreName + "|" + v.year + "|" + v.comment;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

class TagEditTest : public WorkDialogTest
{
protected:
    // Columns 2 to 8 of a row, as the list draws them.
    std::string RowText(int row)
    {
        Flush();
        std::string s;
        for (int c = 2; c <= 8; ++c) {
            char buf[600] = "";
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = buf;
            item.cchTextMax = sizeof buf;
            ::SendMessageA(m_dlg->GetDlgItem(IDC_FILE_LIST), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            s += std::string(buf) + (c < 8 ? "|" : "");
        }
        return s;
    }
};

TEST_F(TagEditTest, EditingARowUpdatesTheEntryTheRowAndTheFilesTag)
{
    const Bytes audio(300, 0xAB);
    const TagFields old = {"Old", "Old Artist", "Old Album", "1999", "old comment", 3, 17};
    const Values oldValues = {"Old", "Old Artist", "Old Album", "3", 17, g_GenreNames[17], "1999", "old comment"};
    const std::string longTitle(40, 'T'), longComment(60, 'c');

    enum FileWant { RECORD, UNCHANGED, MISSING };
    struct Case
    {
        const char* label;
        Bytes file;
        std::function<void(HWND dlg, const std::string& path)> act;
        Values entry;
        FileWant fileWant;
        TagFields record;      // when RECORD: the tag the file ends with
        bool warned;           // the user is told the tag was not saved
    };
    HANDLE held = INVALID_HANDLE_VALUE;
    const Case cases[] = {
        {"Save writes what was typed", Concat(audio, MakeTagRecord(old)),
         [](HWND dlg, const std::string&) {
             SetBox(dlg, IDC_EDIT_TITLE, "새 제목");
             SetBox(dlg, IDC_EDIT_ARTIST, "새 가수");
             SetBox(dlg, IDC_EDIT_ALBUM, "새 앨범");
             SetBox(dlg, IDC_EDIT_TRACK, "12 tracks");
             SetBox(dlg, IDC_EDIT_YEAR, "2024");
             SetBox(dlg, IDC_EDIT_COMMENT, "좋은 노래");
             ::SendMessageA(::GetDlgItem(dlg, IDC_COMBO_GENRE), CB_SETCURSEL, 13, 0);
             Press(dlg, IDC_BTN_SAVE);
         },
         {"새 제목", "새 가수", "새 앨범", "12 tracks", 13, g_GenreNames[13], "2024", "좋은 노래"}, RECORD,
         {"새 제목", "새 가수", "새 앨범", "2024", "좋은 노래", 12, 13}},
        // A placeholder is what the scan showed for an empty field; saving it
        // unchanged must not put the placeholder into the file.
        {"an untagged file's placeholders are written as empty fields", audio,
         [](HWND dlg, const std::string&) { Press(dlg, IDC_BTN_SAVE); },
         {"no title", "no artist", "no album", "0", 255, "no genre", "no year", "no comment"}, RECORD,
         {"", "", "", "", "", 0, 255}},
        // No item can show genre 200; saving must not turn it into 255.
        {"no genre chosen keeps a nameless genre number", Concat(audio, MakeTagRecord({"T", "A", "B", "2000", "", 0, 200})),
         [](HWND dlg, const std::string&) {
             SetBox(dlg, IDC_EDIT_TITLE, "T2");
             Press(dlg, IDC_BTN_SAVE);
         },
         {"T2", "A", "B", "0", 200, "no genre", "2000", "no comment"}, RECORD, {"T2", "A", "B", "2000", "", 0, 200}},
        // Enter is the user's Save, not a rewrite of the old values.
        {"Enter saves what was typed", Concat(audio, MakeTagRecord(old)),
         [](HWND dlg, const std::string&) {
             SetBox(dlg, IDC_EDIT_TITLE, "엔터로 저장");
             Key(dlg, IDC_EDIT_TITLE, VK_RETURN);
         },
         {"엔터로 저장", "Old Artist", "Old Album", "3", 17, g_GenreNames[17], "1999", "old comment"}, RECORD,
         {"엔터로 저장", "Old Artist", "Old Album", "1999", "old comment", 3, 17}},
        {"Cancel keeps everything", Concat(audio, MakeTagRecord(old)),
         [](HWND dlg, const std::string&) {
             SetBox(dlg, IDC_EDIT_TITLE, "x");
             Press(dlg, IDC_BTN_CANCEL);
         },
         oldValues, UNCHANGED, {}},
        {"Esc keeps everything", Concat(audio, MakeTagRecord(old)),
         [](HWND dlg, const std::string&) {
             SetBox(dlg, IDC_EDIT_TITLE, "x");
             Key(dlg, IDC_EDIT_TITLE, VK_ESCAPE);
         },
         oldValues, UNCHANGED, {}},
        {"long texts stay whole in the entry and are cut in the file", Concat(audio, MakeTagRecord(old)),
         [&](HWND dlg, const std::string&) {
             SetBox(dlg, IDC_EDIT_TITLE, longTitle);
             SetBox(dlg, IDC_EDIT_YEAR, "20245");
             SetBox(dlg, IDC_EDIT_COMMENT, longComment);
             Press(dlg, IDC_BTN_SAVE);
         },
         {longTitle, "Old Artist", "Old Album", "3", 17, g_GenreNames[17], "20245", longComment}, RECORD,
         {longTitle, "Old Artist", "Old Album", "2024", longComment, 3, 17}},
        // A save that cannot be made is said, and the row shows what the file
        // holds, not what was typed.
        {"a file gone since the scan is not written again", Concat(audio, MakeTagRecord(old)),
         [](HWND dlg, const std::string& path) {
             ::DeleteFileA(path.c_str());
             SetBox(dlg, IDC_EDIT_TITLE, "gone");
             Press(dlg, IDC_BTN_SAVE);
         },
         oldValues, MISSING, {}, true},
        {"a file another program holds open", Concat(audio, MakeTagRecord(old)),
         [&](HWND dlg, const std::string& path) {
             held = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
             SetBox(dlg, IDC_EDIT_TITLE, "held");
             Press(dlg, IDC_BTN_SAVE);
         },
         oldValues, UNCHANGED, {}, true},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        TempDir src;
        const std::string path = src / "song.mp3";
        WriteFile(path, c.file);
        ScanDeclined(src.Path());
        ASSERT_EQ(1, Rows());
        const Values before = EntryValues(*Row(0));

        std::string shown, caption;
        int genreShown = -2, genreCount = 0;
        bool workWindowEnabled = true;
        HWND work = m_dlg->GetSafeHwnd();
        {
            ModalDriver driver(IDC_BTN_SAVE, [&](HWND dlg) {
                char text[64] = "";
                ::SendMessageA(dlg, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
                caption = text;
                workWindowEnabled = ::IsWindowEnabled(work) != FALSE;
                shown = Box(dlg, IDC_EDIT_TITLE) + "|" + Box(dlg, IDC_EDIT_ARTIST) + "|" + Box(dlg, IDC_EDIT_ALBUM) +
                        "|" + Box(dlg, IDC_EDIT_TRACK) + "|" + Box(dlg, IDC_EDIT_YEAR) + "|" +
                        Box(dlg, IDC_EDIT_COMMENT);
                genreShown = Genre(dlg);
                genreCount = int(::SendMessageA(::GetDlgItem(dlg, IDC_COMBO_GENRE), CB_GETCOUNT, 0, 0));
                c.act(dlg, path);
            });
            m_dlg->EditRowTag(0);
            ASSERT_TRUE(driver.Found());
        }
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        const std::vector<std::string> told = m_ui.Messages();
        EXPECT_EQ(c.warned ? 1 : 0, std::count(told.begin(), told.end(),
                                                "태그를 저장하지 못했습니다.\r\n파일 : " + path));

        EXPECT_EQ("MP3 Sorvane", caption);
        EXPECT_FALSE(workWindowEnabled) << "the work window takes no input while the tag is edited";
        EXPECT_EQ(before.title + "|" + before.artist + "|" + before.album + "|" + before.track + "|" + before.year +
                      "|" + before.comment,
                  shown);
        EXPECT_EQ(before.genre >= 0 && before.genre < GENRE_COUNT ? before.genre : -1, genreShown);
        EXPECT_EQ(GENRE_COUNT, genreCount);

        EXPECT_EQ(Describe(c.entry), Describe(EntryValues(*Row(0))));
        EXPECT_EQ(c.entry.artist + "|" + c.entry.album + "|" + c.entry.track + "|" + c.entry.title + "|" +
                      c.entry.genreName + "|" + c.entry.year + "|" + c.entry.comment,
                  RowText(0));
        switch (c.fileWant) {
        case RECORD:
            EXPECT_EQ(Concat(audio, MakeTagRecord(c.record)), ReadFile(path));
            break;
        case UNCHANGED:
            EXPECT_EQ(c.file, ReadFile(path));
            break;
        case MISSING:
            EXPECT_FALSE(Exists(path));
            break;
        }
    }
}

// Two copies of a song that differed only in their tags are the same bytes
// once both are edited alike: the pass must see them as duplicates, not go by
// how their files ended when they were listed.
TEST_F(TagEditTest, TwinsEditedAlikeAreDuplicates)
{
    TempDir src, dst;
    WriteFile(src / "a\\s.mp3", MakeMp3(Tagged("Band", "Disc", "one"), 300, 1));
    WriteFile(src / "b\\t.mp3", MakeMp3(Tagged("Band", "Disc", "two"), 300, 1));
    ScanDeclined(src.Path());
    ASSERT_EQ(2, Rows());
    for (int row = 0; row < 2; ++row) {
        ModalDriver driver(IDC_BTN_SAVE, [](HWND dlg) {
            SetBox(dlg, IDC_EDIT_TITLE, "same");
            Press(dlg, IDC_BTN_SAVE);
        });
        m_dlg->EditRowTag(row);
        ASSERT_TRUE(driver.Found());
    }
    ASSERT_EQ(ReadFile(src / "a\\s.mp3"), ReadFile(src / "b\\t.mp3"));

    m_ui.Yes();
    m_ui.Folder(dst.Path());
    EXPECT_EQ(1, m_dlg->Job().OrganiseFiles(MODE_COPY));

    EXPECT_EQ(1, m_dlg->Job().Succeeded());
    EXPECT_EQ(1, m_dlg->Job().Duplicates());
    EXPECT_TRUE(Exists(dst / "Band\\Disc\\s.mp3"));
    EXPECT_FALSE(Exists(dst / "Band\\Disc\\t.mp3"));
}

namespace {

// A row's every field saved, as the window saves an edit.
bool SaveEntry(const MP3FileEntry& e)
{
    return SaveSongTags(e.WidePath(), SongEditOf(e, ~0u));
}

} // namespace

TEST(EntryTagSave, TakesTheNumberAtTheStartOfTheTrackText)
{
    TempDir dir;
    const struct { const char* track; int stored; } cases[] = {
        {"7", 7}, {"  12abc", 12}, {"abc", 0}, {"", 0}, {"300", 255}, {"99999999999", 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.track);
        const std::string path = dir / "t.mp3";
        WriteFile(path, MakeMp3({"T", "A", "B", "2000", "", 5, 17}));
        MP3FileEntry e = {};
        e.SetWidePath(LongPath(path));
        e.SetTitle("T");
        e.SetArtist("A");
        e.SetAlbum("B");
        e.SetYear("2000");
        e.SetComment("");
        e.SetTrack(c.track);
        e.nGenre = 17;
        ASSERT_TRUE(SaveEntry(e));
        const Bytes all = ReadFile(path);
        EXPECT_EQ(MakeTagRecord({"T", "A", "B", "2000", "", c.stored, 17}), Bytes(all.end() - 128, all.end()));
    }
}

// The tag is written into the very file the row lists, whatever its name or
// depth, and nowhere else.
TEST(EntryTagSave, ReachesFilesOfEveryName)
{
    TempDir dir;
    const std::wstring root = LongPath(dir.Path());
    for (const std::wstring& rel : std::vector<std::wstring>{L"D\u00e9j\u00e0 Vu.mp3", L"\u6c17\u6301\u3061.mp3", L"CON.mp3", L"Album.\\s.mp3",
                                   L"Album \\s.mp3", std::wstring(200, L'd') + L"\\" + std::wstring(200, L'e') + L"\\" + std::wstring(200, L'f') + L"\\s.mp3"}) {
        SCOPED_TRACE(TextFromWide(rel));
        const std::wstring path = root + L"\\" + rel;
        WriteFile(path, MakeMp3({"T", "A", "B", "2000", "", 5, 17}));
        MP3FileEntry e = {};
        e.SetWidePath(path);
        e.SetTitle("New");
        e.SetArtist("A");
        e.SetAlbum("B");
        e.SetYear("2000");
        e.SetTrack("5");
        e.nGenre = 17;
        ASSERT_TRUE(SaveEntry(e));
        const Bytes all = ReadFile(path);
        EXPECT_EQ(MakeTagRecord({"New", "A", "B", "2000", "", 5, 17}), Bytes(all.end() - 128, all.end()));
        EXPECT_EQ(300u + 128u, all.size());
    }
    EXPECT_EQ(6u, FilesUnder(root).size());
}

TEST(EntryTagSave, AFileThatCannotBeOpenedIsNeitherWrittenNorMade)
{
    TempDir dir;
    MP3FileEntry e = {};
    e.SetWidePath(LongPath(dir / "missing.mp3"));
    e.SetTitle("T");
    EXPECT_FALSE(SaveEntry(e));
    EXPECT_FALSE(Exists(dir / "missing.mp3"));
}

// The dialog tells the save which boxes the user changed, and the save sets
// those fields alone in the ID3v2 tag: a box typed back to what it showed,
// or left alone, keeps its frames, whatever the record beside the tag says.
TEST_F(TagEditTest, TheSaveSetsTheBoxesTheUserChanged)
{
    const Bytes audio(500, 0x3C);
    const Bytes tag = MakeID3v2(3, {{"TIT2", TextBody(ENC_UTF16, L"Old")}, {"TPE1", TextBody(ENC_LATIN1, L"Band")},
                                    {"TALB", TextBody(ENC_LATIN1, L"Disc")}, {"TYER", TextBody(ENC_LATIN1, L"2004")},
                                    {"TRCK", TextBody(ENC_LATIN1, L"3/12")}, {"TCON", TextBody(ENC_LATIN1, L"(17)")},
                                    {"COMM", CommentBody(ENC_LATIN1, L"notes")}},
                                256);
    // The record holds the names, but no year, comment or track, and genre 12.
    const Bytes song = Concat(Concat(tag, audio), MakeTagRecord({"Old", "Band", "Disc", "", "", 0, 12}));
    struct Case
    {
        const char* label;
        std::function<void(HWND)> act;
        std::wstring title, artist, year, comment;
        int track, genre;
    } cases[] = {
        {"a title typed", [](HWND dlg) { SetBox(dlg, IDC_EDIT_TITLE, "New"); }, L"New", L"Band", L"2004", L"notes", 3,
         17},
        {"a box typed back to what it showed",
         [](HWND dlg) {
             SetBox(dlg, IDC_EDIT_ARTIST, "Someone");
             SetBox(dlg, IDC_EDIT_ARTIST, "Band");
         },
         L"Old", L"Band", L"2004", L"notes", 3, 17},
        {"a genre chosen",
         [](HWND dlg) { ::SendMessageA(::GetDlgItem(dlg, IDC_COMBO_GENRE), CB_SETCURSEL, 13, 0); }, L"Old", L"Band",
         L"2004", L"notes", 3, 13},
        {"the comment cleared", [](HWND dlg) { SetBox(dlg, IDC_EDIT_COMMENT, ""); }, L"Old", L"Band", L"2004", L"", 3,
         17},
        {"the track cleared", [](HWND dlg) { SetBox(dlg, IDC_EDIT_TRACK, ""); }, L"Old", L"Band", L"2004", L"notes",
         0, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        TempDir src;
        const std::string path = src / "song.mp3";
        WriteFile(path, song);
        ScanDeclined(src.Path());
        ASSERT_EQ(1, Rows());
        {
            ModalDriver driver(IDC_BTN_SAVE, [&](HWND dlg) {
                c.act(dlg);
                Press(dlg, IDC_BTN_SAVE);
            });
            m_dlg->EditRowTag(0);
            ASSERT_TRUE(driver.Found());
        }
        const Bytes saved = ReadFile(path);
        CID3v2Fields v2;
        ASSERT_TRUE(ParseID3v2(saved.data(), saved.size(), v2));
        EXPECT_EQ(c.title, v2.strTitle);
        EXPECT_EQ(c.artist, v2.strArtist);
        EXPECT_EQ(L"Disc", v2.strAlbum);
        EXPECT_EQ(c.year, v2.strYear);
        EXPECT_EQ(c.comment, v2.strComment);
        EXPECT_EQ(c.track, v2.nTrack);
        EXPECT_EQ(c.genre, v2.nGenre);
        EXPECT_EQ(song.size(), saved.size()) << "the tag keeps its room";
    }
}

// While the file is written the dialog shows it waits: nothing can be typed,
// chosen, sent again or cancelled, and it closes when the file is written.
TEST(TagDialog, ShowsTheWaitWhileTheFileIsWritten)
{
    MP3FileEntry entry;
    const char* texts[FIELD_COUNT] = {"Band", "Disc", "3", "Old", "Rock", "2004", "notes"};
    entry.SetTexts(texts);
    entry.nGenre = 17;
    CModifyTagDlg dlg;
    dlg.m_pEntry = &entry;
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool bSavedOnThisThread = true;
    const DWORD uiThread = ::GetCurrentThreadId();
    dlg.m_save = [&] {
        bSavedOnThisThread = ::GetCurrentThreadId() == uiThread;
        ::WaitForSingleObject(release, 20000);
        return true;
    };
    std::string waitText;
    bool editable = true, cancellable = true, stillOpenAfterEsc = false;
    {
        ModalDriver driver(IDC_BTN_SAVE, [&](HWND w) {
            SetBox(w, IDC_EDIT_TITLE, "New");
            Press(w, IDC_BTN_SAVE);
            for (int i = 0; i < 400 && waitText.empty(); ++i) {
                char text[64] = "";
                ::GetWindowTextA(::GetDlgItem(w, IDC_BTN_SAVE), text, sizeof text);
                if (std::string(text) != "저  장")
                    waitText = text;
                ::Sleep(5);
            }
            editable = ::IsWindowEnabled(::GetDlgItem(w, IDC_EDIT_TITLE)) != FALSE;
            cancellable = ::IsWindowEnabled(::GetDlgItem(w, IDC_BTN_CANCEL)) != FALSE;
            Key(w, IDC_EDIT_TITLE, VK_ESCAPE);
            ::PostMessageA(w, WM_CLOSE, 0, 0);
            ::Sleep(100);
            stillOpenAfterEsc = ::IsWindow(w) != FALSE;
            ::SetEvent(release);
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
        ASSERT_TRUE(driver.Found());
    }
    ::CloseHandle(release);
    EXPECT_EQ("저장 중...", waitText);
    EXPECT_FALSE(editable);
    EXPECT_FALSE(cancellable);
    EXPECT_TRUE(stillOpenAfterEsc) << "Esc and the close box wait for the file";
    EXPECT_FALSE(bSavedOnThisThread) << "the file is written off the window's thread";
    EXPECT_TRUE(dlg.m_bWritten);
    EXPECT_EQ(1u << FIELD_TITLE, dlg.m_nChanged);
    EXPECT_STREQ("New", entry.Title());
}
