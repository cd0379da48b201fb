// What each row of a pass ends as, and why where its song stayed behind: the
// user reads it off the row, fixes the tag and runs the pass again.
#include "tests/collect/JobHarness.h"

#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "collect/RowOutcome.h"
#include "collect/SafeTransfer.h"

using namespace collect_test;
using namespace testing_support;

namespace {

const char* const kOutcomeNames[] = {"none", "deciding", "transferred", "duplicate", "failed", "not reached"};
const char* const kReasonNames[] = {"",
                                    "no artist",
                                    "no album",
                                    "name taken",
                                    "no folder",
                                    "path too long",
                                    "unreachable name",
                                    "no destination",
                                    "source gone",
                                    "source in use",
                                    "source unreadable",
                                    "disk full",
                                    "target refused",
                                    "source kept",
                                    "other"};
static_assert(sizeof kReasonNames / sizeof *kReasonNames == WHY_COUNT, "a name for each reason");

std::string Describe(const CPassOutcome& o)
{
    return std::string(kOutcomeNames[o.outcome]) + (o.reason ? std::string(": ") + kReasonNames[o.reason] : "");
}

const CPassOutcome kTransferred = {OUTCOME_TRANSFERRED, WHY_NONE};
const CPassOutcome kDuplicate = {OUTCOME_DUPLICATE, WHY_NONE};
const CPassOutcome kNotReached = {OUTCOME_NOT_REACHED, WHY_NONE};
CPassOutcome Failed(PassReason reason) { return {OUTCOME_FAILED, reason}; }

} // namespace

// Every error a failed step can give that the pass knows by name, and one it
// does not.
TEST(PassReason, OfEachFailedStepTable)
{
    struct Case
    {
        const char* label;
        TransferStep step;
        DWORD code;
        PassReason reason;
    } cases[] = {
        {"source deleted", STEP_READ_SOURCE, ERROR_FILE_NOT_FOUND, WHY_SOURCE_GONE},
        {"source's folder gone", STEP_READ_SOURCE, ERROR_PATH_NOT_FOUND, WHY_SOURCE_GONE},
        {"source held open", STEP_READ_SOURCE, ERROR_SHARING_VIOLATION, WHY_SOURCE_IN_USE},
        {"source locked", STEP_READ_SOURCE, ERROR_LOCK_VIOLATION, WHY_SOURCE_IN_USE},
        {"source refused", STEP_READ_SOURCE, ERROR_ACCESS_DENIED, WHY_SOURCE_UNREADABLE},
        {"source unreadable", STEP_READ_SOURCE, ERROR_CRC, WHY_SOURCE_UNREADABLE},
        {"disk full while copying", STEP_WRITE_TARGET, ERROR_DISK_FULL, WHY_DISK_FULL},
        {"disk full, as some file systems say it", STEP_WRITE_TARGET, ERROR_HANDLE_DISK_FULL, WHY_DISK_FULL},
        {"disk full making a folder", STEP_MAKE_FOLDER, ERROR_DISK_FULL, WHY_DISK_FULL},
        {"disk full flushing the copy", STEP_NAME_TARGET, ERROR_DISK_FULL, WHY_DISK_FULL},
        {"a name past the file system's length", STEP_WRITE_TARGET, ERROR_FILENAME_EXCED_RANGE, WHY_PATH_TOO_LONG},
        {"a folder level past it", STEP_MAKE_FOLDER, ERROR_FILENAME_EXCED_RANGE, WHY_PATH_TOO_LONG},
        {"a file where a folder goes", STEP_MAKE_FOLDER, ERROR_ALREADY_EXISTS, WHY_NO_FOLDER},
        {"a folder refused", STEP_MAKE_FOLDER, ERROR_ACCESS_DENIED, WHY_NO_FOLDER},
        {"album folder gone before the copy", STEP_WRITE_TARGET, ERROR_PATH_NOT_FOUND, WHY_NO_FOLDER},
        {"destination write-protected", STEP_WRITE_TARGET, ERROR_WRITE_PROTECT, WHY_TARGET_REFUSED},
        {"destination refused", STEP_WRITE_TARGET, ERROR_ACCESS_DENIED, WHY_TARGET_REFUSED},
        {"name found taken first", STEP_NAME_TARGET, ERROR_FILE_EXISTS, WHY_NAME_TAKEN},
        {"name taken at the naming", STEP_NAME_TARGET, ERROR_ALREADY_EXISTS, WHY_NAME_TAKEN},
        {"a move's rename onto a taken name", STEP_RENAME, ERROR_ALREADY_EXISTS, WHY_NAME_TAKEN},
        {"a move's source deleted", STEP_RENAME, ERROR_FILE_NOT_FOUND, WHY_SOURCE_GONE},
        {"a move's source held open", STEP_RENAME, ERROR_SHARING_VIOLATION, WHY_SOURCE_IN_USE},
        {"a move's rename refused", STEP_RENAME, ERROR_ACCESS_DENIED, WHY_SOURCE_KEPT},
        {"a moved source held open", STEP_REMOVE_SOURCE, ERROR_SHARING_VIOLATION, WHY_SOURCE_IN_USE},
        {"a moved source read-only", STEP_REMOVE_SOURCE, ERROR_ACCESS_DENIED, WHY_SOURCE_KEPT},
        {"an error the pass does not know", STEP_WRITE_TARGET, ERROR_INVALID_FUNCTION, WHY_OTHER},
        {"nor at a rename", STEP_RENAME, ERROR_NOT_READY, WHY_OTHER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(kReasonNames[c.reason], std::string(kReasonNames[ReasonOfFailure(CTransferError{c.step, c.code})]));
    }
}

using Outcomes = JobTest;

// Each way a pass can end a row, staged for real: the songs, what happens to
// them between the scan and the pass, and what each row ends as. A row that
// stayed behind for a taken name (or a folder that could not be made) names
// that file (or folder) in its tip.
TEST_F(Outcomes, EveryWayARowEndsTable)
{
    struct Song
    {
        std::string rel;
        TagFields tag;
        unsigned char fill;
    };
    enum Dest { DEST_FOLDER, DEST_TOO_LONG, DEST_NONE, DEST_OTHER_DRIVE };
    using Before = std::function<void(const std::string& src, const std::string& dst, std::vector<CHandle>& held)>;
    const Before nothing = [](const std::string&, const std::string&, std::vector<CHandle>&) {};
    const Before taken = [](const std::string&, const std::string& dst, std::vector<CHandle>&) {
        WriteFile(dst + "\\Band\\Disc\\s.mp3", "older");
    };
    const Before fileInTheWay = [](const std::string&, const std::string& dst, std::vector<CHandle>&) {
        WriteFile(dst + "\\Band", "not a folder");
    };
    const Before gone = [](const std::string& src, const std::string&, std::vector<CHandle>&) {
        ::DeleteFileA((src + "\\s.mp3").c_str());
    };
    const Before heldOpen = [](const std::string& src, const std::string&, std::vector<CHandle>& held) {
        held.emplace_back(
            ::CreateFileA((src + "\\s.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.back().IsValid());
    };
    const Before readOnly = [](const std::string& src, const std::string&, std::vector<CHandle>&) {
        ::SetFileAttributesA((src + "\\s.mp3").c_str(), FILE_ATTRIBUTE_READONLY);
    };
    const TagFields band = Tagged("Band", "Disc");
    const std::vector<Song> one = {{"s.mp3", band, 1}};
    const std::vector<Song> twins = {{"a\\s.mp3", band, 1}, {"b\\t.mp3", band, 1}};
    const std::vector<Song> sameName = {{"a\\s.mp3", band, 1}, {"b\\s.mp3", band, 2}};
    const std::vector<Song> three = {{"a.mp3", band, 1}, {"b.mp3", band, 2}, {"c.mp3", band, 3}};
    struct Case
    {
        const char* label;
        int mode;
        std::vector<Song> songs;
        Before before;
        std::vector<CPassOutcome> want;
        std::string named;  // under the destination, in the last row's tip
        Dest dest = DEST_FOLDER;
        bool stopAfterFirst = false;
    } cases[] = {
        {"copied", MODE_COPY, one, nothing, {kTransferred}},
        {"moved", MODE_MOVE, one, nothing, {kTransferred}},
        {"a twin of a song placed", MODE_COPY, twins, nothing, {kTransferred, kDuplicate}},
        {"no artist", MODE_COPY, {{"s.mp3", Tagged("", "Disc"), 1}}, nothing, {Failed(WHY_NO_ARTIST)}},
        {"no album", MODE_COPY, {{"s.mp3", Tagged("Band", ""), 1}}, nothing, {Failed(WHY_NO_ALBUM)}},
        {"neither", MODE_COPY, {{"s.mp3", Tagged("", ""), 1}}, nothing, {Failed(WHY_NO_ARTIST)}},
        {"an artist a lossy writer left as ?", MODE_COPY, {{"s.mp3", Tagged("??", "Disc"), 1}}, nothing,
         {Failed(WHY_NO_ARTIST)}},
        {"an album of dots", MODE_COPY, {{"s.mp3", Tagged("Band", ".."), 1}}, nothing, {Failed(WHY_NO_ALBUM)}},
        {"name taken in the destination, copied", MODE_COPY, one, taken, {Failed(WHY_NAME_TAKEN)},
         "Band\\Disc\\s.mp3"},
        {"name taken in the destination, moved", MODE_MOVE, one, taken, {Failed(WHY_NAME_TAKEN)},
         "Band\\Disc\\s.mp3"},
        {"name taken by an earlier row, copied", MODE_COPY, sameName, nothing,
         {kTransferred, Failed(WHY_NAME_TAKEN)}, "Band\\Disc\\s.mp3"},
        {"name taken by an earlier row, moved", MODE_MOVE, sameName, nothing,
         {kTransferred, Failed(WHY_NAME_TAKEN)}, "Band\\Disc\\s.mp3"},
        {"a file where the artist's folder goes", MODE_COPY, one, fileInTheWay, {Failed(WHY_NO_FOLDER)},
         "Band\\Disc"},
        {"deleted after the scan, copied", MODE_COPY, one, gone, {Failed(WHY_SOURCE_GONE)}},
        {"deleted after the scan, moved", MODE_MOVE, one, gone, {Failed(WHY_SOURCE_GONE)}},
        {"held open by another program, copied", MODE_COPY, one, heldOpen, {Failed(WHY_SOURCE_IN_USE)}},
        {"held open by another program, moved", MODE_MOVE, one, heldOpen, {Failed(WHY_SOURCE_IN_USE)}},
        {"a target path longer than a row takes", MODE_COPY, one, nothing, {Failed(WHY_PATH_TOO_LONG)}, "",
         DEST_TOO_LONG},
        {"a file name ordinary paths cannot reach", MODE_COPY, {{"CON.mp3", band, 1}}, nothing,
         {Failed(WHY_UNREACHABLE_NAME)}},
        {"no destination with a path", MODE_COPY, one, nothing, {Failed(WHY_NO_DESTINATION)}, "", DEST_NONE},
        {"a read-only song moved to another drive", MODE_MOVE, one, readOnly, {Failed(WHY_SOURCE_KEPT)}, "",
         DEST_OTHER_DRIVE},
        {"stopped once the first row ended", MODE_COPY, three, nothing, {kTransferred, kNotReached, kNotReached}, "",
         DEST_FOLDER, true},
    };
    CTmpfsDrive drive;
    ASSERT_TRUE(drive.IsReady());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir root;
        const std::string src = root / "src";
        std::string dst = root / "dst";
        if (c.dest == DEST_TOO_LONG)
            dst = root / std::string(ENTRY_PATH_BYTES, 'd');
        else if (c.dest == DEST_OTHER_DRIVE)
            dst = drive.Root() + "outcome";
        ::CreateDirectoryA(dst.c_str(), nullptr);
        for (const Song& s : c.songs)
            WriteFile(JoinPath(LongPath(src), WideFromText(s.rel)), MakeMp3(s.tag, 300, s.fill));
        ClearList();
        m_ui.Folder(src).No();
        ASSERT_EQ(1, RunCollect(c.mode));
        ASSERT_EQ(int(c.songs.size()), Rows());
        for (int r = 0; r < Rows(); ++r) {
            EXPECT_EQ("none", Describe(Entry(r)->Outcome())) << "a new scan's row " << r;
        }
        std::vector<CHandle> held;
        c.before(src, dst, held);
        if (c.stopAfterFirst) {
            m_dlg.m_onOutcomes = [this](int first, int last) {
                if (first == 0 && last == 0)
                    m_job.RequestStop();
            };
        }
        m_ui.Yes();
        if (c.dest == DEST_NONE)
            m_ui.Folder("").Folder("");
        else
            m_ui.Folder(dst);

        EXPECT_EQ(c.stopAfterFirst ? 0 : 1, RunOrganise(c.mode));

        m_dlg.m_onOutcomes = nullptr;
        m_job.ClearStop();
        held.clear();
        for (int r = 0; r < Rows(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r));
            const CPassOutcome o = Entry(r)->Outcome();
            EXPECT_EQ(Describe(c.want[r]), Describe(o));
            const std::wstring tip = OutcomeTip(o, PlainPath(Entry(r)->WideTargetPath()), false);
            EXPECT_EQ(o.outcome == OUTCOME_TRANSFERRED, tip.empty()) << TextFromWide(tip);
        }
        if (!c.named.empty()) {
            const std::wstring tip = OutcomeTip(Entry(Rows() - 1)->Outcome(),
                                                PlainPath(Entry(Rows() - 1)->WideTargetPath()), false);
            EXPECT_NE(std::wstring::npos, tip.find(PlainPath(LongPath(dst + "\\" + c.named)))) << TextFromWide(tip);
        }
        ::SetFileAttributesA((src + "\\s.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(LongPath(dst));
    }
}

// A row whose tag is edited shows no outcome until the next pass, even when
// the edit comes after the pass decided the row and before it reported it:
// the pass decided on the old tag.
TEST_F(Outcomes, AnEditedRowHasNoneUntilTheNextPass)
{
    // Its copy takes long enough for the second row to be decided meanwhile.
    WriteSparseMp3(Src("a-large.mp3"), 64ull << 20, Tagged("Band", "Disc"));
    WriteFile(Src("b.mp3"), MakeMp3(Tagged("", "Disc"), 300, 2));
    m_ui.Folder(m_src).No();
    ASSERT_EQ(1, RunCollect(MODE_COPY));
    ASSERT_EQ(2, Rows());
    ASSERT_EQ(Src("b.mp3"), Entry(1)->Path());
    MP3FileEntry edit;
    edit.SetArtist("Band");
    edit.SetAlbum("Disc");
    CPassOutcome beforeEdit;
    m_dlg.m_onOutcomes = [&](int first, int last) {
        if (first == 0 && last == 0) {
            beforeEdit = Entry(1)->Outcome();
            m_job.CommitEdit(*Entry(1), edit);
        }
    };
    m_ui.Yes().Folder(m_dst);

    EXPECT_EQ(1, RunOrganise(MODE_COPY));

    m_dlg.m_onOutcomes = nullptr;
    EXPECT_EQ("deciding", Describe(beforeEdit)) << "the row was decided before the edit";
    EXPECT_EQ(1, m_job.Failed()) << "on the tag it had";
    EXPECT_EQ("transferred", Describe(Entry(0)->Outcome()));
    EXPECT_EQ("none", Describe(Entry(1)->Outcome()));

    // Edited after the pass: none, until the next pass says what now holds.
    m_job.CommitEdit(*Entry(0), edit);
    EXPECT_EQ("none", Describe(Entry(0)->Outcome()));
    m_ui.Yes().Folder(m_dst);
    EXPECT_EQ(1, RunOrganise(MODE_COPY));
    EXPECT_EQ("failed: name taken", Describe(Entry(0)->Outcome())) << "its copy from the first pass is there";
    EXPECT_EQ("transferred", Describe(Entry(1)->Outcome()));
}
