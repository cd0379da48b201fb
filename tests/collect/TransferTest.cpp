#include "tests/collect/JobHarness.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "afx/WidePath.h"
#include "collect/EntryTexts.h"
#include "collect/SafeTransfer.h"

using namespace collect_test;
using namespace testing_support;

using Transfer = JobTest;

// A move to another file system is a copy, then the source goes; the target
// folder text keeps the destination root's own backslash.
TEST_F(Transfer, MoveToAnotherDrive)
{
    CTmpfsDrive drive;
    ASSERT_TRUE(drive.IsReady());
    const Bytes one = MakeMp3(Tagged("Band", "Disc"), 4000, 1);
    const Bytes two = MakeMp3(Tagged("Band", "Disc"), 5000, 2);
    const Bytes taken = MakeMp3(Tagged("Band", "Disc"), 10, 3);
    WriteFile(Src("1.mp3"), one);
    WriteFile(Src("2.mp3"), two);
    WriteFile(Src("3.mp3"), taken);
    WriteFile(drive.Root() + "Band\\Disc\\3.mp3", "older");
    m_ui.Folder(m_src).Yes().Folder(drive.Root());

    EXPECT_EQ(1, RunCollect(MODE_MOVE));

    EXPECT_EQ(2, m_job.Succeeded());
    EXPECT_EQ(1, m_job.Failed());
    EXPECT_EQ(drive.Root() + "\\Band\\Disc\\1.mp3", Entry(0)->TargetPath());
    EXPECT_EQ(one, ReadFile(drive.Root() + "Band\\Disc\\1.mp3"));
    EXPECT_EQ(two, ReadFile(drive.Root() + "Band\\Disc\\2.mp3"));
    EXPECT_EQ(Bytes({'o', 'l', 'd', 'e', 'r'}), ReadFile(drive.Root() + "Band\\Disc\\3.mp3"));
    EXPECT_EQ(std::vector<std::string>({"Band\\Disc\\1.mp3", "Band\\Disc\\2.mp3", "Band\\Disc\\3.mp3"}),
              FilesUnder(drive.Root()));
    EXPECT_EQ(std::vector<std::string>({"3.mp3"}), FilesUnder(m_src));
    EXPECT_EQ(taken, ReadFile(Src("3.mp3")));
}

// A stop in the middle of a large copy, with a small song before it and one
// after it: what stays is what a pass taking the rows one by one and stopped
// at the large one leaves. The first song is in place and counted; the large
// one was being copied, as the status says, and left no file; the last was
// never reached: movers that copied it ahead left nothing of it, not even
// its album's folder, and a move left its source where it was.
TEST_F(Transfer, StopDuringLargeCopyLeavesWhatOneByOneLeaves)
{
    CTmpfsDrive drive;
    ASSERT_TRUE(drive.IsReady());
    const uint64_t size = 768ull << 20;
    const uint64_t kStopAt = 16ull << 20;
    struct Case
    {
        const char* label;
        int mode;
        std::string dest;
        const char* lastText;
        bool abandoned;   // the window gave up waiting for the stop
    } cases[] = {
        {"copy on one drive", MODE_COPY, m_dst, "복사 중입니다.", false},
        {"move to another drive", MODE_MOVE, drive.Root() + "moved", "이동 중입니다.", false},
        // A job the window has given up on touches nothing more: the folder
        // it made ahead stays for whatever the next job makes of it.
        {"copy, the job abandoned", MODE_COPY, m_dst + "2", "복사 중입니다.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Bytes small = MakeMp3(Tagged("Big", "Stop"), 3000, 1);
        WriteFile(Src("a-small.mp3"), small);
        WriteSparseMp3(Src("b-large.mp3"), size, Tagged("Big", "Stop"));
        // Not a twin of the first: the pass would leave a duplicate where it is.
        const Bytes later = MakeMp3(Tagged("Big", "Later"), 5000, 2);
        WriteFile(Src("c-small.mp3"), later);
        const Bytes tail = LastBytes(Src("b-large.mp3"), 4096);
        ::CreateDirectoryA(c.dest.c_str(), nullptr);
        const std::string folder = c.dest + "\\Big\\Stop";
        ClearList();
        m_dlg.m_status.ClearTexts();
        m_ui.Folder(m_src).Yes().Folder(c.dest);

        // Asks for the stop once the large copy has that much written and the
        // pass reports its row (the scan's texts name it too): a mover may copy it ahead while the first
        // row is still being reported (a move to another drive), and a stop
        // then would stop at the first row.
        std::atomic<bool> done{false};
        std::atomic<bool> stopped{false};
        const auto reportsLarge = [&] {
            for (const std::string& text : m_dlg.m_status.Texts())
                if (text.find("b-large.mp3") != std::string::npos && text.find(c.lastText) != std::string::npos)
                    return true;
            return false;
        };
        std::thread watcher([&] {
            while (!done) {
                for (const std::string& file : FilesUnder(folder)) {
                    if (file[0] == '~' && FileSize(folder + "\\" + file) >= kStopAt && reportsLarge()) {
                        m_job.RequestStop();
                        if (c.abandoned)
                            m_job.Abandon();
                        stopped = true;
                        return;
                    }
                }
                ::Sleep(1);
            }
        });
        const int result = RunCollect(c.mode);
        done = true;
        watcher.join();

        ASSERT_TRUE(stopped) << "the large copy ended before a stop could be asked";
        EXPECT_EQ(0, result);
        EXPECT_EQ(1, m_job.Succeeded());
        EXPECT_EQ(0, m_job.Failed() + m_job.Duplicates());
        EXPECT_EQ(std::vector<std::string>({"a-small.mp3"}), FilesUnder(folder));
        EXPECT_EQ(c.abandoned, IsFolder(c.dest + "\\Big\\Later"));
        const std::vector<std::string> sources = c.mode == MODE_COPY
                                                     ? std::vector<std::string>({"a-small.mp3", "b-large.mp3", "c-small.mp3"})
                                                     : std::vector<std::string>({"b-large.mp3", "c-small.mp3"});
        ASSERT_EQ(sources, FilesUnder(m_src));
        EXPECT_EQ(size, FileSize(Src("b-large.mp3")));
        EXPECT_EQ(tail, LastBytes(Src("b-large.mp3"), 4096));
        EXPECT_EQ(later, ReadFile(Src("c-small.mp3")));
        // After a stop the job does not wait for the screen; the window's
        // timer brings it up to date. It names the large song as the one
        // being transferred.
        m_dlg.FlushControls();
        const std::string status = Status();
        EXPECT_NE(std::string::npos, status.find("b-large.mp3")) << status;
        EXPECT_EQ(std::string::npos, status.find("c-small.mp3")) << status;
        const std::string last = c.lastText;
        EXPECT_TRUE(status.size() >= last.size() && status.compare(status.size() - last.size(), last.size(), last) == 0)
            << status;
        m_job.ClearStop();
        for (const std::string& file : FilesUnder(m_src))
            ::DeleteFileA(Src(file).c_str());
    }
}

// A stop that arrives while the job waits for the user (the stopper closes
// that window, which reads as a cancel): the job asks nothing more, writes
// no report, and moves no file.
TEST_F(Transfer, StopWhileAskingTable)
{
    WriteFile(Src("s.mp3"), MakeMp3(Tagged("Band", "Disc")));
    struct Case
    {
        const char* label;
        int step;  // the question during which the stop comes
        size_t asked;
        bool scanned;
    } cases[] = {
        {"choosing the source", 0, 1, false},
        {"confirming the pass", 1, 2, true},
        {"choosing the destination", 2, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ClearList();
        m_job.ClearStop();
        m_dlg.m_status.ClearTexts();
        m_ui.Reset();
        m_ui.Watch(m_dlg.m_status.m_hWnd, m_dlg.m_list.m_hWnd);
        auto stop = [this] { m_job.RequestStop(); };
        m_ui.Folder(m_src);
        if (c.step == 0)
            m_ui.Then(stop);
        else if (c.step == 1)
            m_ui.No().Then(stop);
        else
            m_ui.Yes().CancelFolder().Then(stop);

        EXPECT_EQ(0, RunCollect(MODE_MOVE));

        EXPECT_EQ(c.asked, m_ui.Asked().size());
        EXPECT_EQ(c.scanned ? 1 : 0, Rows());
        EXPECT_EQ(c.scanned, !m_dlg.m_status.Texts().empty());
        for (const std::string& t : m_dlg.m_status.Texts())
            EXPECT_EQ(std::string::npos, t.find("작업완료")) << t;
        EXPECT_TRUE(Exists(Src("s.mp3")));
        EXPECT_TRUE(FilesUnder(m_dst).empty());
    }
    m_job.ClearStop();
}

// The transfers themselves: a free name gets the file, a taken one never
// loses its own (whether it is found before the copy or only when the copy is
// named), and no temporary is left either way; a copy prepared and never
// named leaves nothing; a move made final after its source was written (a tag
// edit) takes the source as it is then.
TEST(SafeTransfer, NeverReplacesAndLeavesNothingBehindTable)
{
    using Transfer = std::function<TransferResult(const std::wstring&, const std::wstring&,
                                                  const std::atomic<bool>&, TargetCheck)>;
    const Transfer copy = SafeCopyFile;
    const Transfer move = SafeMoveFile;
    const Transfer dropped = [](const std::wstring& s, const std::wstring& t, const std::atomic<bool>& stop,
                                TargetCheck check) {
        CPreparedCopy prepared;
        return prepared.Prepare(s, t, stop, check, false);
    };
    const Transfer takenMeanwhile = [](const std::wstring& s, const std::wstring& t, const std::atomic<bool>& stop,
                                       TargetCheck check) {
        CPreparedCopy prepared;
        const TransferResult r = prepared.Prepare(s, t, stop, check, false);
        WriteFile(TextFromWide(PlainPath(t)), "late");
        return r == TRANSFER_DONE ? prepared.Commit(stop) : r;
    };
    const Transfer editedMeanwhile = [](const std::wstring& s, const std::wstring& t, const std::atomic<bool>& stop,
                                        TargetCheck check) {
        CPreparedCopy prepared;
        const TransferResult r = prepared.Prepare(s, t, stop, check, true);
        ::Sleep(20);
        WriteFile(TextFromWide(PlainPath(s)), "edited");
        bool bCopied = false;
        return r == TRANSFER_DONE ? CompleteMove(s, t, prepared, stop, check, bCopied) : r;
    };
    const std::vector<std::string> before = {"dst\\TAKEN2.mp3", "dst\\taken.mp3", "src.mp3"};
    struct Case
    {
        const char* label;
        Transfer fn;
        std::string source;
        std::string target;
        TransferResult result;
        std::vector<std::string> after;
        const char* targetBytes;   // what the target holds after, if anything
    } cases[] = {
        {"copy to a free name", copy, "src.mp3", "dst\\new.mp3", TRANSFER_DONE,
         {"dst\\TAKEN2.mp3", "dst\\new.mp3", "dst\\taken.mp3", "src.mp3"}, "new"},
        {"move to a free name", move, "src.mp3", "dst\\new.mp3", TRANSFER_DONE,
         {"dst\\TAKEN2.mp3", "dst\\new.mp3", "dst\\taken.mp3"}, "new"},
        {"a move whose source was written after its copy", editedMeanwhile, "src.mp3", "dst\\new.mp3",
         TRANSFER_DONE, {"dst\\TAKEN2.mp3", "dst\\new.mp3", "dst\\taken.mp3"}, "edited"},
        {"copy over a file", copy, "src.mp3", "dst\\taken.mp3", TRANSFER_FAILED, before},
        {"copy over a file in other letter case", copy, "src.mp3", "dst\\taken2.mp3", TRANSFER_FAILED, before},
        {"move over a file", move, "src.mp3", "dst\\taken.mp3", TRANSFER_FAILED, before},
        {"copy into a missing folder", copy, "src.mp3", "none\\x.mp3", TRANSFER_FAILED, before},
        {"copy of a missing source", copy, "gone.mp3", "dst\\y.mp3", TRANSFER_FAILED, before},
        {"a copy prepared and never named", dropped, "src.mp3", "dst\\new.mp3", TRANSFER_DONE, before},
        {"a name taken while the copy waited", takenMeanwhile, "src.mp3", "dst\\late.mp3", TRANSFER_FAILED,
         {"dst\\TAKEN2.mp3", "dst\\late.mp3", "dst\\taken.mp3", "src.mp3"}, "late"},
    };
    const std::atomic<bool> go{false};
    for (const TargetCheck check : {TARGET_CHECK_FIRST, TARGET_CHECK_AT_RENAME}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.label) + (check == TARGET_CHECK_FIRST ? ", looked at first" : ", at the rename"));
            TempDir dir;
            WriteFile(dir / "src.mp3", "new");
            WriteFile(dir / "dst\\taken.mp3", "old");
            WriteFile(dir / "dst\\TAKEN2.mp3", "old");
            EXPECT_EQ(c.result, c.fn(LongPath(dir / c.source), LongPath(dir / c.target), go, check));
            EXPECT_EQ(c.after, FilesUnder(dir.Path()));
            EXPECT_EQ(Bytes({'o', 'l', 'd'}), ReadFile(dir / "dst\\taken.mp3"));
            if (c.targetBytes) {
                EXPECT_EQ(Bytes(c.targetBytes, c.targetBytes + std::strlen(c.targetBytes)), ReadFile(dir / c.target));
            }
        }
    }
}

// A row whose tag is saved while its copy, made ahead, waits for its turn is
// copied as it is when the pass reaches it, as a one-by-one pass would copy
// it: the edit is not lost in the destination.
TEST_F(Transfer, ACopyMadeAheadOfAnEditIsMadeAgain)
{
    WriteSparseMp3(Src("a-large.mp3"), 512ull << 20, Tagged("Band", "Disc"));
    const Bytes before = MakeMp3(Tagged("Band", "Disc", "old"), 4000, 3);
    const Bytes edited = MakeMp3(Tagged("Band", "Disc", "edited"), 4000, 3);
    WriteFile(Src("b-small.mp3"), before);
    m_ui.Folder(m_src).No();
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    ASSERT_EQ(2, Rows());

    // Once the small song's copy is made (a temporary of its size beside the
    // large one's), its file and its row are edited, as the tag dialog does.
    const std::string folder = Dst("Band\\Disc");
    std::atomic<bool> done{false}, editedAhead{false};
    std::thread editor([&] {
        while (!done) {
            for (const std::string& file : FilesUnder(folder)) {
                if (file[0] == '~' && FileSize(folder + "\\" + file) == before.size()) {
                    // The copy may still hold its source open for a moment
                    // after its last byte; the save would be refused then.
                    for (;;) {
                        try {
                            WriteFile(Src("b-small.mp3"), edited);
                            break;
                        } catch (const std::runtime_error&) {
                            ::Sleep(1);
                        }
                    }
                    MP3FileEntry texts;
                    CopyTagTexts(texts, *Entry(1));
                    texts.SetTitle("edited");
                    m_job.CommitEdit(*Entry(1), texts);
                    editedAhead = true;
                    return;
                }
            }
            ::Sleep(1);
        }
    });
    m_ui.Yes().Folder(m_dst);
    EXPECT_EQ(1, RunOrganise(MODE_COPY));
    done = true;
    editor.join();

    ASSERT_TRUE(editedAhead) << "the small song's copy was not made ahead of its turn";
    EXPECT_EQ(2, m_job.Succeeded());
    EXPECT_EQ(edited, ReadFile(Dst("Band\\Disc\\b-small.mp3")));
    EXPECT_EQ((std::vector<std::string>{"a-large.mp3", "b-small.mp3"}), FilesUnder(folder));
}
