// Mutated tags of every version through the reader and the save: a crash
// fails the whole binary, a result that breaks their promises fails the
// test. The generator is seeded, so a failure comes back on every run.
#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "afx/WidePath.h"
#include "tag/Genre.h"
#include "tag/ID3v2.h"
#include "tag/ID3v2Format.h"
#include "tag/SongSave.h"
#include "tag/SongTag.h"
#include "tests/tag/SavedFrames.h"
#include "tests/support/ID3v2Bytes.h"

using namespace tag_bytes;
using namespace testing_support;

namespace {

std::vector<Bytes> Seeds()
{
    const std::wstring hangul = L"\uC11C\uD0DC\uC9C0";
    const Bytes ff = Text(UTF16, Utf16LE(L"\u00FF\u00E0 \uAC00"));
    return {
        Tag(2, Frame(2, "TT2", Text(LATIN1, Cp949(hangul))) + Frame(2, "TP1", Text(UTF16, Utf16BE(L"Artist"))) +
                   Frame(2, "TAL", Text(LATIN1, B("Album"))) + Frame(2, "TRK", Text(LATIN1, B("3/12"))) +
                   Frame(2, "TYE", Text(LATIN1, B("1999"))) + Frame(2, "TCO", Text(LATIN1, B("(17)Rock"))) +
                   Frame(2, "COM", Comment(LATIN1, B(""), B("c"))),
               0, 16),
        Tag(3, Unsynchronised(BigEndian(10, 4) + Bytes{0x80, 0} + BigEndian(0, 4) + BigEndian(0xFFFFFFFF, 4) + Frame(3, "TIT2", ff) +
                              Frame(3, "TPE1", Text(UTF16, Utf16LE(hangul, false))) + Frame(3, "TCON", Text(LATIN1, B("K-Pop"))) +
                              Frame(3, "COMM", Comment(UTF16, Utf16LE(L"d"), Utf16LE(L"x"))) +
                              Frame(3, "COMM", Comment(UTF16, Utf16LE(L""), Utf16BE(L"y")))),
            UNSYNC | EXTENDED, 32),
        Tag(4, Synchsafe(6) + Bytes{1, 0} + Frame(4, "TIT2", Unsynchronised(ff), 0x0002) +
                   Frame(4, "TPE1", Synchsafe(4) + Text(UTF8, Utf8(hangul)), 0x0001) + Frame(4, "TALB", Text(UTF16BE, Utf16BE(hangul, false))) +
                   Frame(4, "TDRC", Text(LATIN1, B("2004-05-01"))) + Frame(4, "TCON", Text(LATIN1, B(std::string("X\0" "17", 4)))) +
                   Frame(4, "TRCK", Text(UTF8, B("07"))) + Frame(4, "APIC", Bytes(300, 0xFF), 0x0008),
            EXTENDED | FOOTER),
        Tag(3, Frame(3, "TIT2", BigEndian(50, 4) + Bytes(20, 0x9C), 0x0080) + Frame(3, "TPE1", Bytes{0x80} + B("xx"), 0x0040) +
                   Frame(3, "TALB", Text(LATIN1, B("Beyonc\xE9"))) + Frame(3, "TYER", Text(LATIN1, B("2016"))),
            0, 64),
        // A picture larger than the reader's window before the title.
        Tag(4, Frame(4, "TPE1", Text(LATIN1, B("Before"))) + Frame(4, "APIC", Bytes(70000, 0x5A)) +
                   Frame(4, "TIT2", Text(UTF16, Utf16LE(L"After"))),
            0, 100),
    };
}

void ExpectSane(bool ok, const CID3v2Fields& f)
{
    const std::wstring* texts[] = {&f.strTitle, &f.strArtist, &f.strAlbum, &f.strYear, &f.strComment, &f.strGenre};
    if (!ok) {
        EXPECT_EQ(0, f.nVersion);
        for (const std::wstring* t : texts) {
            EXPECT_TRUE(t->empty());
        }
        EXPECT_EQ(0, f.nTrack);
        EXPECT_EQ(255, f.nGenre);
        return;
    }
    EXPECT_TRUE(f.nVersion >= 2 && f.nVersion <= 4) << f.nVersion;
    for (const std::wstring* t : texts) {
        EXPECT_EQ(std::wstring::npos, t->find(L'\0')) << "a zero inside a text";
    }
    EXPECT_GE(f.nTrack, 0);
    EXPECT_TRUE(f.nGenre == 255 || (f.nGenre >= 0 && f.nGenre < GENRE_COUNT)) << f.nGenre;
    if (f.nGenre != 255) {
        EXPECT_TRUE(f.strGenre.empty());
    }
}

class CMutator
{
public:
    CMutator(const std::vector<Bytes>& seeds, unsigned seed) : m_seeds(seeds), m_rng(seed) {}

    Bytes Next()
    {
        Bytes t = m_seeds[Below(m_seeds.size())];
        const size_t count = 1 + Below(4);
        for (size_t i = 0; i < count; ++i)
            Mutate(t);
        return t;
    }

    size_t Below(size_t n) { return n ? size_t(m_rng() % n) : 0; }

private:
    void Mutate(Bytes& t)
    {
        static const uint32_t sizes[] = {0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 0x7F, 0x80, 0xFF, 0x100, 0x3FFF, 0x7FFF, 0xFFFF,
                                         0x0FFFFFFF, 0x7F7F7F7F, 0x80808080, 0xFFFFFFFF};
        const size_t at = Below(t.size() + 1);
        switch (Below(8)) {
        case 0:   // a byte anywhere
            if (!t.empty())
                t[Below(t.size())] = static_cast<unsigned char>(m_rng());
            break;
        case 1:   // one bit
            if (!t.empty())
                t[Below(t.size())] ^= static_cast<unsigned char>(1u << Below(8));
            break;
        case 2: {   // a size where a size may be
            const uint32_t v = sizes[Below(sizeof sizes / sizeof *sizes)];
            for (int k = 0; k < 4 && at + k < t.size(); ++k)
                t[at + k] = static_cast<unsigned char>(v >> (8 * (3 - k)));
            break;
        }
        case 3:   // the tag's own size, or its flags
            if (t.size() >= 10) {
                if (Below(2))
                    t[5] = static_cast<unsigned char>(m_rng());
                else
                    t[6 + Below(4)] = static_cast<unsigned char>(Below(2) ? m_rng() & 0x7F : m_rng());
            }
            break;
        case 4:   // cut short
            t.resize(Below(t.size() + 1));
            break;
        case 5: {   // a piece of another tag spliced in
            const Bytes& other = m_seeds[Below(m_seeds.size())];
            const size_t from = Below(other.size()), n = Below(other.size() - from + 1);
            t.insert(t.begin() + at, other.begin() + from, other.begin() + from + n);
            break;
        }
        case 6: {   // a range dropped
            const size_t n = Below(t.size() - at + 1);
            t.erase(t.begin() + at, t.begin() + at + n);
            break;
        }
        default: {   // a range repeated
            const size_t n = Below(std::min<size_t>(t.size() - at, 64) + 1);
            const Bytes piece(t.begin() + at, t.begin() + at + n);
            t.insert(t.begin() + at, piece.begin(), piece.end());
            break;
        }
        }
    }

    const std::vector<Bytes>& m_seeds;
    std::mt19937 m_rng;
};

} // namespace

TEST(ID3v2Fuzz, MutatedTagsInMemory)
{
    const std::vector<Bytes> seeds = Seeds();
    for (const Bytes& s : seeds) {
        CID3v2Fields f;
        ASSERT_TRUE(ParseID3v2(s.data(), s.size(), f)) << "every seed is a sound tag";
        ASSERT_FALSE(f.strTitle.empty() && f.strArtist.empty() && f.strAlbum.empty());
    }
    CMutator mutator(seeds, 19);
    for (int i = 0; i < 50000; ++i) {
        const Bytes t = mutator.Next();
        CID3v2Fields f;
        const bool ok = ParseID3v2(t.data(), t.size(), f);
        SCOPED_TRACE(i);
        ExpectSane(ok, f);
        if (HasFailure())
            break;
    }
}

// The same through files, with the tag at the start or appended, and maybe
// a record after it, so that finding the tag meets the mutations too.
TEST(ID3v2Fuzz, MutatedTagsInFiles)
{
    const std::vector<Bytes> seeds = Seeds();
    CMutator mutator(seeds, 1919);
    TempDir dir;
    const std::wstring path = LongPath(dir / "fuzz.mp3");
    const Bytes audio(200, 0xAB);
    const Bytes record = MakeTagRecord(Tagged("???", std::string(30, 'a')));
    for (int i = 0; i < 1000; ++i) {
        const Bytes t = mutator.Next();
        const size_t layout = mutator.Below(4);
        Bytes file = layout < 2 ? t + audio : audio + t;
        if (layout & 1)
            file = file + record;
        WriteFile(path, file);
        CMP3Info v1;
        CID3v2Fields v2;
        CSongFields fields;
        SCOPED_TRACE(i);
        ASSERT_TRUE(ReadSongFields(path, v1, v2, fields));
        ExpectSane(v2.nVersion != 0, v2);
        for (const CSongText& text : fields.texts) {
            EXPECT_EQ(std::string::npos, text.bytes.find('\0'));
        }
        EXPECT_TRUE(ReadFile(path) == file) << "the reader wrote to the file";
        if (HasFailure())
            break;
    }
}

namespace {

// Each frame of a tag as the program's one walk sees it: its key (see
// saved_frames::KeyOf) and its data made plain (or as stored, where that
// cannot be).
std::vector<std::pair<std::string, Bytes>> Walked(const std::vector<unsigned char>& tag)
{
    std::vector<std::pair<std::string, Bytes>> frames;
    const int version = tag[3];
    const unsigned char flags = tag[5];
    const size_t size = size_t(ID3v2TagSize(tag.data(), false)) - 10 - (version == 4 && (flags & 0x10) ? 10 : 0);
    const std::string body = version <= 3 && (flags & 0x80)
                                 ? id3::Resynchronised(tag.data() + 10, size)
                                 : std::string(reinterpret_cast<const char*>(tag.data()) + 10, size);
    id3::CMemoryBody memory(reinterpret_cast<const unsigned char*>(body.data()), body.size());
    id3::CFrameWalk walk(version, flags, memory);
    if (!walk.Start())
        return frames;
    id3::CFrameSpan span;
    while (walk.Next(span)) {
        std::string data;
        if (!walk.Data(span, data))
            data = body.substr(size_t(span.nBegin + span.nHeaderSize), size_t(span.nDataSize));
        const Bytes plain(data.begin(), data.end());
        frames.emplace_back(saved_frames::KeyOf(span.Id(version), plain), plain);
    }
    return frames;
}

// The frames' keys of each field an edit sets, by its bit.
const struct { unsigned bit; std::vector<std::string> keys; } kFieldKeys[] = {
    {EDIT_TITLE, {"TT2", "TIT2"}},          {EDIT_ARTIST, {"TP1", "TPE1"}},  {EDIT_ALBUM, {"TAL", "TALB"}},
    {EDIT_YEAR, {"TYE", "TYER", "TDRC"}},   {EDIT_COMMENT, {"COM:", "COMM:"}}, {EDIT_TRACK, {"TRK", "TRCK"}},
    {EDIT_GENRE, {"TCO", "TCON"}},
};

std::vector<std::pair<std::string, Bytes>> Unedited(std::vector<std::pair<std::string, Bytes>> frames, unsigned changed)
{
    std::vector<std::pair<std::string, Bytes>> out;
    for (auto& f : frames) {
        bool edited = false;
        for (const auto& k : kFieldKeys)
            edited = edited || ((changed & k.bit) && std::find(k.keys.begin(), k.keys.end(), f.first) != k.keys.end());
        if (!edited)
            out.push_back(std::move(f));
    }
    return out;
}

CSongEdit RandomEdit(CMutator& m)
{
    static const std::wstring texts[] = {L"", L"  ", L"New", L"\uC0C8 \uB178\uB798", L"Beyonc\u00E9", L"\u00FF\u00E0",
                                         L"1999", L"x\U0001F600"};
    CSongEdit e;
    for (int f = 0; f < SONG_FIELD_COUNT; ++f)
        e.texts[f] = SongTextOf(texts[m.Below(sizeof texts / sizeof *texts)]);
    e.nTrack = int(m.Below(3)) * 7;
    e.nGenre = m.Below(3) ? int(m.Below(GENRE_COUNT)) : 255;
    e.nChanged = unsigned(m.Below(128));
    return e;
}

std::wstring Trim(const std::wstring& s)
{
    const size_t b = s.find_first_not_of(L" \t\r\n\v\f"), e = s.find_last_not_of(L" \t\r\n\v\f");
    return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
}

} // namespace

// Random edits over mutated tags: every tag the reader reads, the save edits
// into a tag the reader reads, the changed fields as edited, the others as
// they were, and every frame of a field not changed as it was.
TEST(ID3v2Fuzz, EditsOfMutatedTags)
{
    const std::vector<Bytes> seeds = Seeds();
    CMutator mutator(seeds, 77);
    int edited = 0;
    for (int i = 0; i < 20000; ++i) {
        const Bytes t = mutator.Next();
        CID3v2Fields before;
        if (!ParseID3v2(t.data(), t.size(), before))
            continue;
        const CSongEdit edit = RandomEdit(mutator);
        std::vector<unsigned char> out;
        SCOPED_TRACE(i);

        if (!EditID3v2(t.data(), t.size(), edit, out))
            continue;
        ++edited;
        CID3v2Fields after;
        ASSERT_TRUE(ParseID3v2(out.data(), out.size(), after));
        EXPECT_EQ(before.nVersion, after.nVersion);
        const std::wstring CID3v2Fields::*texts[] = {&CID3v2Fields::strTitle, &CID3v2Fields::strArtist,
                                                     &CID3v2Fields::strAlbum, &CID3v2Fields::strYear,
                                                     &CID3v2Fields::strComment};
        for (int f = 0; f < SONG_FIELD_COUNT; ++f) {
            const std::wstring want = (edit.nChanged & (1u << f)) ? Trim(edit.Whole(SongField(f))) : before.*texts[f];
            // A comment the library reads otherwise than the save (a
            // description it cannot read) is not the save's to find.
            if (f != SONG_COMMENT || !(edit.nChanged & EDIT_COMMENT)) {
                EXPECT_EQ(want, (edit.nChanged & (1u << f)) ? Trim(after.*texts[f]) : after.*texts[f]) << f;
            }
        }
        if (!(edit.nChanged & EDIT_TRACK)) {
            EXPECT_EQ(before.nTrack, after.nTrack);
        }
        if (!(edit.nChanged & EDIT_GENRE)) {
            EXPECT_EQ(before.nGenre, after.nGenre);
        }
        EXPECT_EQ(Unedited(Walked(std::vector<unsigned char>(t.begin(), t.end())), edit.nChanged),
                  Unedited(Walked(out), edit.nChanged));
        if (HasFailure())
            break;
    }
    EXPECT_GT(edited, 5000) << "too few mutated tags were edited to tell";
}

// Through files: the audio and whatever stands before an appended tag stay
// byte for byte, and a save that cannot be made leaves the file as it was.
TEST(ID3v2Fuzz, SavesOfMutatedTagsInFiles)
{
    const std::vector<Bytes> seeds = Seeds();
    CMutator mutator(seeds, 4242);
    TempDir dir;
    const std::wstring path = LongPath(dir / "fuzz.mp3");
    Bytes audio(3000);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<unsigned char>(i * 13 + 7);
    for (int i = 0; i < 300; ++i) {
        const Bytes t = mutator.Next();
        const bool appended = mutator.Below(2) != 0;
        const Bytes file = appended ? audio + t : t + audio;
        WriteFile(path, file);
        const CSongEdit edit = RandomEdit(mutator);
        SCOPED_TRACE(i);
        if (!SaveSongTags(path, edit)) {
            EXPECT_EQ(file, ReadFile(path));
            continue;
        }
        const Bytes saved = ReadFile(path);
        ASSERT_GE(saved.size(), audio.size() + 128);
        EXPECT_EQ(std::string("TAG"), std::string(saved.end() - 128, saved.end() - 125));
        // No tag the reader reads: the record alone was added.
        if (saved.size() == file.size() + 128 && Bytes(saved.begin(), saved.end() - 128) == file)
            continue;
        // What the old tag's header or footer says it spans was the tag's;
        // every byte outside it stays.
        if (appended) {
            const unsigned char* footer = &file[file.size() - 10];
            const size_t span = 20 + saved_frames::Synchsafe(footer + 6);
            ASSERT_LE(span, file.size());
            const size_t before = file.size() - span;
            EXPECT_EQ(Bytes(file.begin(), file.begin() + before), Bytes(saved.begin(), saved.begin() + before));
        } else {
            const size_t after = file.size() - saved_frames::TagSize(file, 0);
            EXPECT_EQ(Bytes(file.end() - after, file.end()), Bytes(saved.end() - 128 - after, saved.end() - 128));
        }
        EXPECT_EQ((std::vector<std::string>{"fuzz.mp3"}), FilesUnder(dir.Path()));
        if (HasFailure())
            break;
    }
}
