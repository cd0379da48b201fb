// Names a library really holds: outside the Korean code page, ending in a dot
// or a blank, device names, deep trees. Every such file is listed with its
// CP949 texts, reached by its exact name, and organised under that name.
#include <algorithm>

#include "afx/WidePath.h"
#include "collect/TargetPath.h"
#include "tests/collect/JobHarness.h"

using namespace collect_test;
using namespace testing_support;

namespace {

std::string Summary(int total, int ok, int dup, int failed)
{
    return std::string(kOpening) + "\r\n작업완료\r\n총 파일 수 : " + std::to_string(total) + " 개, 성공 : " +
           std::to_string(ok) + " 개, 중복파일 : " + std::to_string(dup) + "개, 실패 : " + std::to_string(failed) + " 개";
}

// A folder chain under which a file's CP949 path has about n bytes.
std::wstring Deep(size_t n)
{
    std::wstring rel;
    while (rel.size() + 60 < n)
        rel += std::wstring(40, L'd') + L"\\";
    return rel;
}

// No file of the tree may stand under a name that only its text spells.
bool AnyQuestionMark(const std::vector<std::wstring>& names)
{
    for (const std::wstring& n : names)
        if (n.find(L'?') != std::wstring::npos)
            return true;
    return false;
}

struct NameCase
{
    const char* label;
    std::wstring rel;      // the file under the source
    std::string relText;   // its CP949 text
    bool organised;        // false: listed, but its target cannot be reached by ordinary paths
};

const std::vector<NameCase>& NameCases()
{
    static const std::vector<NameCase> cases = {
        {"accents", L"Beyonc\u00e9 - D\u00e9j\u00e0 Vu.mp3", "Beyonc? - D?j? Vu.mp3", true},
        {"Vietnamese", L"Ti\u1ebfng Vi\u1ec7t.mp3", "Ti?ng Vi?t.mp3", true},
        {"simplified Chinese", L"\u7b80\u4f53\u4e2d\u6587\u6b4c\u66f2.mp3", "??中文歌曲.mp3", true},
        {"kanji outside KS X 1001", L"\u6c17\u6301\u3061.mp3", "?持ち.mp3", true},
        // One '?' for each half of the surrogate pair, as the platform gives it.
        {"emoji", L"\U0001F600 song.mp3", "?? song.mp3", true},
        {"Korean", L"\uac00\uc218 \ub178\ub798.mp3", "가수 노래.mp3", true},
        {"folder outside the code page", L"Caf\u00e9 del Mar\\s.mp3", "Caf? del Mar\\s.mp3", true},
        {"folder ending in a dot", L"Album.\\s.mp3", "Album.\\s.mp3", true},
        {"folder ending in a blank", L"Album \\s.mp3", "Album \\s.mp3", true},
        {"device name", L"CON.mp3", "CON.mp3", false},
        {"device name in small letters", L"prn.mp3", "prn.mp3", false},
        {"path of about 300 bytes", Deep(300) + L"s.mp3", TextFromWide(Deep(300)) + "s.mp3", true},
    };
    return cases;
}

} // namespace

using Names = JobTest;

// Each name in a source and a destination named outside the code page:
// listed with its texts, copied under its exact name with every byte, found a
// duplicate by its twin, moved; nothing appears under a '?' name.
TEST_F(Names, EveryNameIsListedCopiedFoundDuplicateAndMoved)
{
    const std::wstring root = LongPath(m_tmp.Path());
    const std::wstring src = root + L"\\Caf\u00e9 src";
    const std::wstring dst = root + L"\\D\u00e9j\u00e0 dst";
    const std::string srcText = TextFromWide(PlainPath(src));
    const Bytes song = MakeMp3(Tagged("Band", "Disc", "t"), 300, 7);
    for (const NameCase& c : NameCases()) {
        SCOPED_TRACE(c.label);
        RemoveTree(src);
        RemoveTree(dst);
        ClearList();
        WriteFile(src + L"\\" + c.rel, song);
        WriteFile(src + L"\\twin\\" + NameOfPath(c.rel), song);
        m_ui.Folder(src).Yes().Folder(dst);

        ASSERT_EQ(1, RunCollect(MODE_COPY));

        ASSERT_EQ(2, Rows());
        // The twin's folder sorts among the others.
        const int own = Entry(0)->WidePath() == src + L"\\" + c.rel ? 0 : 1;
        EXPECT_EQ(srcText + "\\" + c.relText, Entry(own)->Path());
        EXPECT_EQ(srcText + "\\" + c.relText, Row(own)[1]);
        EXPECT_EQ(NameOfPath(WideFromText(c.relText)), NameOfPath(WideFromText(Entry(own)->FileName())));
        EXPECT_EQ(src + L"\\" + c.rel, Entry(own)->WidePath());
        const std::wstring target = dst + L"\\Band\\Disc\\" + NameOfPath(c.rel);
        if (c.organised) {
            EXPECT_EQ(Summary(2, 1, 1, 0), Status());
            EXPECT_EQ(song, ReadFile(target));
            EXPECT_EQ(std::vector<std::wstring>({L"Band\\Disc\\" + NameOfPath(c.rel)}), FilesUnder(dst));
        } else {
            EXPECT_EQ(Summary(2, 0, 0, 2), Status());
            EXPECT_TRUE(FilesUnder(dst).empty());
        }
        EXPECT_EQ(2u, FilesUnder(src).size());

        // Moved to a fresh destination: the source goes, the bytes arrive.
        if (c.organised) {
            RemoveTree(dst);
            m_ui.Yes().Folder(dst);
            ASSERT_EQ(1, RunOrganise(MODE_MOVE));
            EXPECT_EQ(Summary(2, 1, 1, 0), Status());
            EXPECT_EQ(song, ReadFile(target));
            EXPECT_NE(Exists(Entry(0)->WidePath()), Exists(Entry(1)->WidePath())) << "the duplicate stays where it was";
        }
        EXPECT_FALSE(AnyQuestionMark(FilesUnder(root)));
    }
}

// Two names that the code page spells alike are two files, each organised
// under its own name.
TEST_F(Names, NamesSpelledAlikeStayApart)
{
    WriteFile(LongPath(Src()) + L"\\D\u00e9j\u00e0.mp3", MakeMp3(Tagged("Band", "Disc"), 300, 1));
    WriteFile(LongPath(Src()) + L"\\D\u00e8j\u00e0.mp3", MakeMp3(Tagged("Band", "Disc"), 300, 2));
    m_ui.Folder(m_src).Yes().Folder(m_dst);

    ASSERT_EQ(1, RunCollect(MODE_COPY));

    ASSERT_EQ(2, Rows());
    EXPECT_EQ(Entry(0)->FileName(), Entry(1)->FileName());
    EXPECT_EQ(Summary(2, 2, 0, 0), Status());
    EXPECT_EQ(std::vector<std::wstring>({L"Band\\Disc\\D\u00e8j\u00e0.mp3", L"Band\\Disc\\D\u00e9j\u00e0.mp3"}),
              FilesUnder(LongPath(m_dst)));
    EXPECT_EQ(2, Rows());
}

// A path the row cannot hold is counted and failed, with its message; a
// folder whose listing pattern passes the old 260-byte limit is walked.
TEST_F(Names, DeepTreesAreWalkedAndTooLongPathsCounted)
{
    const Bytes song = MakeMp3(Tagged("Band", "Disc"));
    const std::wstring src = LongPath(m_src);
    WriteFile(src + L"\\" + Deep(400) + L"a.mp3", song);
    WriteFile(src + L"\\" + Deep(600) + L"b.mp3", song);
    m_ui.Folder(m_src).No();

    ASSERT_EQ(1, RunCollect(MODE_COPY));

    ASSERT_EQ(1, Rows());
    EXPECT_EQ(src + L"\\" + Deep(400) + L"a.mp3", Entry(0)->WidePath());
    EXPECT_EQ(2, m_job.Total());
    EXPECT_EQ(1, m_job.Failed());
    ASSERT_EQ(3u, m_ui.Asked().size());
    EXPECT_EQ("전체경로가 너무 깁니다.\r\n경로 : " + TextFromWide(PlainPath(src + L"\\" + Deep(600))) + "b.mp3",
              m_ui.Asked()[1].text);
}

// A relative path of exactly n CP949 bytes: folders of ASCII letters, then
// the name.
std::string RelOfBytes(size_t n, const std::string& name)
{
    std::string rel;
    while (rel.size() + name.size() < n) {
        const size_t level = std::min<size_t>(100, n - name.size() - rel.size());
        rel += level >= 2 ? std::string(level - 1, 'd') + "\\" : "d";
    }
    return rel + name;
}

// The bytes a row's path and name may take, at the border: a path of one
// more is failed and counted, never listed under a cut text, and said with
// its text. (A name of 256 bytes cannot be made here: the host's file system
// stops a name at 255 bytes of UTF-8.)
TEST_F(Names, PathAndNameLimitsTable)
{
    const auto ga = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "가";
        return text;
    };
    struct Case
    {
        const char* label;
        size_t pathBytes;   // 0: as the name gives
        std::string name;
        bool listed;
        bool told;
    } cases[] = {
        {"path of 511 bytes", 511, "s.mp3", true, false},
        {"path of 512 bytes", 512, "s.mp3", false, true},
        {"name of 255 bytes", 0, std::string(251, 'n') + ".mp3", true, false},
        {"Korean name", 0, ga(80) + ".mp3", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string rel = c.pathBytes ? RelOfBytes(c.pathBytes - m_src.size() - 1, c.name) : c.name;
        const std::string path = Src(rel);
        ASSERT_EQ(c.pathBytes ? c.pathBytes : m_src.size() + 1 + c.name.size(), path.size());
        RemoveTree(m_src);
        WriteFile(path, MakeMp3(Tagged("Band", "Disc")));
        ClearList();
        const size_t asked = m_ui.Asked().size();
        m_ui.Folder(m_src).No();

        ASSERT_EQ(1, RunCollect(MODE_COPY));

        EXPECT_EQ(1, m_job.Total());
        EXPECT_EQ(c.listed ? 0 : 1, m_job.Failed());
        ASSERT_EQ(c.listed ? 1 : 0, Rows());
        if (c.listed) {
            EXPECT_EQ(path, Entry(0)->Path());
            EXPECT_EQ(c.name, Entry(0)->FileName());
            EXPECT_EQ(path, Row(0)[1]);
        }
        ASSERT_EQ(asked + (c.told ? 3 : 2), m_ui.Asked().size());
        if (c.told) {
            EXPECT_EQ("전체경로가 너무 깁니다.\r\n경로 : " + path, m_ui.Asked()[asked + 1].text);
        }
    }
}

// The target of a row, level by level: the folders made from the artist and
// album are ones the platform's ordinary paths reach, and the texts show
// them; a file name they cannot reach fails the row.
TEST(TargetPath, Table)
{
    const std::wstring dest = L"\\\\?\\C:\\Out";
    // "C:\Out\Band\" and "\s.mp3" around it: 512 bytes in all.
    const std::string album512(512 - 18, 'a');
    // 511 bytes as typed; the device's mark makes 512.
    const std::string device511 = "con." + std::string(511 - 18 - 4, 'a');
    const std::string com2 = TextFromWide(L"COM\u00b2");
    struct Case
    {
        const char* label;
        const char* artist;
        const char* album;
        const wchar_t* wholeArtist;  // null: the CP949 text says it all
        const wchar_t* wholeAlbum;
        std::wstring name;
        TargetResult result;
        std::wstring folder;  // under dest
        const char* text;     // the folder levels the user reads; null: folder in CP949
    } cases[] = {
        {"plain", "Band", "Disc", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Band\\Disc", nullptr},
        {"Korean", "가수", "앨범", nullptr, nullptr, L"s.mp3", TARGET_OK, L"\uac00\uc218\\\uc568\ubc94", nullptr},
        {"separators make levels", "AC/DC", "Live\\1991", nullptr, nullptr, L"s.mp3", TARGET_OK,
         L"AC\\DC\\Live\\1991", nullptr},
        {"trailing dot dropped", "Mr.", "Vol. 2.", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Mr\\Vol. 2", nullptr},
        {"trailing blanks dropped", "Band  ", "Disc . ", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Band\\Disc", nullptr},
        {"blank level goes", "Band\\  \\X", "Disc", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Band\\X\\Disc", nullptr},
        {"leading dots and blanks stay", "..a", " Disc", nullptr, nullptr, L"s.mp3", TARGET_OK, L"..a\\ Disc", nullptr},
        {"name outside the code page", "Band", "Disc", nullptr, nullptr, L"\u6c17.mp3", TARGET_OK, L"Band\\Disc",
         nullptr},
        {"colon in an album", "Various", "NieR:Automata Original Soundtrack", nullptr, nullptr, L"s.mp3", TARGET_OK,
         L"Various\\NieR_Automata Original Soundtrack", nullptr},
        {"every refused character", "a<b>c:d\"e|f?g*h", "Disc", nullptr, nullptr, L"s.mp3", TARGET_OK,
         L"a_b_c_d_e_f_g_h\\Disc", nullptr},
        {"control characters", "Band\t", "Dis\x01" "c", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Band_\\Dis_c",
         nullptr},
        {"refused character before a trailing dot", "Band", "Why?.", nullptr, nullptr, L"s.mp3", TARGET_OK,
         L"Band\\Why_", nullptr},
        {"device artist", "con", "Disc", nullptr, nullptr, L"s.mp3", TARGET_OK, L"con_\\Disc", nullptr},
        {"device with an extension", "Band", "LPT1.x", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Band\\LPT1_.x",
         nullptr},
        {"device, blanks before the dot", "Nul .x", "Disc", nullptr, nullptr, L"s.mp3", TARGET_OK,
         L"Nul_ .x\\Disc", nullptr},
        {"device once its dot is dropped", "Band", "aux.", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Band\\aux_",
         nullptr},
        {"console devices", "CONIN$", "conout$", nullptr, nullptr, L"s.mp3", TARGET_OK, L"CONIN$_\\conout$_",
         nullptr},
        {"superscript port", "Band", com2.c_str(), nullptr, L"COM\u00b2", L"s.mp3", TARGET_OK, L"Band\\COM\u00b2_",
         nullptr},
        {"a colon ends the device", "CON:", "Disc", nullptr, nullptr, L"s.mp3", TARGET_OK, L"CON_\\Disc", nullptr},
        {"not a device", "Console", "COM10", nullptr, nullptr, L"s.mp3", TARGET_OK, L"Console\\COM10", nullptr},
        {"a character the code page lacks stays '?' in the text", "Sigur R?s", "R?s?", L"Sigur R\u00f3s",
         L"R\u00f3s?", L"s.mp3", TARGET_OK, L"Sigur R\u00f3s\\R\u00f3s_", "Sigur R?s\\R?s_"},
        {"a name the code page spells as '?' alone", "Band", "?", nullptr, L"\u0e01", L"s.mp3", TARGET_OK,
         L"Band\\\u0e01", "Band\\?"},
        {"a cut text keeps to its bytes", "Band", "Live: Vol", nullptr, L"Live: Volume One", L"s.mp3", TARGET_OK,
         L"Band\\Live_ Volume One", "Band\\Live_ Vol"},
        {"placeholder", "no artist", "Disc", nullptr, nullptr, L"s.mp3", TARGET_NO_LEVEL, L"", nullptr},
        {"dots only", "..", "Disc", nullptr, nullptr, L"s.mp3", TARGET_NO_LEVEL, L"", nullptr},
        {"question marks alone", "Band", "???", nullptr, nullptr, L"s.mp3", TARGET_NO_LEVEL, L"", nullptr},
        {"question marks and blanks alone", "? ?.", "Disc", nullptr, nullptr, L"s.mp3", TARGET_NO_LEVEL, L"",
         nullptr},
        {"a level of question marks", "Band\\??", "Disc", nullptr, nullptr, L"s.mp3", TARGET_NO_LEVEL, L"", nullptr},
        {"device file name", "Band", "Disc", nullptr, nullptr, L"Nul .mp3", TARGET_UNREACHABLE, L"", nullptr},
        {"file name with a trailing dot", "Band", "Disc", nullptr, nullptr, L"s.mp3.", TARGET_UNREACHABLE, L"",
         nullptr},
        {"text of 512 bytes", "Band", album512.c_str(), nullptr, nullptr, L"s.mp3", TARGET_TOO_LONG, L"", nullptr},
        {"text of 512 bytes as made", "Band", device511.c_str(), nullptr, nullptr, L"s.mp3", TARGET_TOO_LONG, L"",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CTargetPath t;
        const std::string nameText = TextFromWide(c.name);
        const TargetResult result =
            c.wholeArtist || c.wholeAlbum
                ? MakeTargetPath("C:\\Out", dest, c.artist, c.album,
                                 c.wholeArtist ? c.wholeArtist : WideFromText(c.artist),
                                 c.wholeAlbum ? c.wholeAlbum : WideFromText(c.album), nameText.c_str(), c.name, t)
                : MakeTargetPath("C:\\Out", dest, c.artist, c.album, nameText.c_str(), c.name, t);
        EXPECT_EQ(c.result, result);
        if (c.result != TARGET_OK)
            continue;
        EXPECT_EQ(dest + L"\\" + c.folder, t.folder);
        EXPECT_EQ(dest + L"\\" + c.folder + L"\\" + c.name, t.path);
        const std::string folderText = "C:\\Out\\" + (c.text ? std::string(c.text) : TextFromWide(c.folder));
        EXPECT_EQ(folderText, t.folderText);
        EXPECT_EQ(folderText + "\\" + nameText, t.text);
        EXPECT_EQ(L"C:\\Out\\" + c.folder + L"\\" + c.name, t.wholeText);
    }
}
