#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afx/FileFind.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

struct Item
{
    std::string name, path;
    bool folder;
    uint64_t size;
    bool moreAfter;
};

std::vector<Item> Walk(const std::string& pattern, BOOL* found)
{
    std::vector<Item> items;
    CFileFind finder;
    *found = finder.FindFile(pattern.c_str());
    bool more = *found != FALSE;
    while (more) {
        more = finder.FindNextFile() != FALSE;
        items.push_back({finder.GetFileName(), finder.GetFilePath(), finder.IsDirectory() != FALSE,
                         finder.GetLength(), more});
    }
    return items;
}

} // namespace

// The walk relies on the look-ahead: FindNextFile says whether another item
// follows the one it just made current, so the last item is still handled.
TEST(FileFind, ListsEveryItemWithLookAheadSizeAndAbsolutePath)
{
    TempDir dir;
    WriteFile(dir / "a.mp3", std::string(5, 'x'));
    WriteFile(dir / "sub\\b.mp3", "");
    WriteFile(dir / "h.mp3", std::string(3, 'y'));
    ::SetFileAttributesA((dir / "h.mp3").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    BOOL found = FALSE;
    const std::vector<Item> items = Walk(dir / "*.*", &found);
    ASSERT_TRUE(found);
    // Wine lists a folder sorted by name.
    ASSERT_EQ(5u, items.size());
    const char* names[] = {".", "..", "a.mp3", "h.mp3", "sub"};
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(names[i], items[i].name);
        EXPECT_EQ(dir / names[i], items[i].path);
        EXPECT_EQ(i + 1 < items.size(), items[i].moreAfter);
    }
    EXPECT_EQ(5u, items[2].size);
    EXPECT_EQ(3u, items[3].size);
    EXPECT_TRUE(items[4].folder);
    EXPECT_FALSE(items[2].folder);
}

TEST(FileFind, PatternsTable)
{
    TempDir dir;
    WriteFile(dir / "x.mp3", std::string(7, 'z'));
    // Padding a pattern with stars keeps what it matches and sets its length.
    auto padded = [&](size_t length) {
        std::string p = dir / "x";
        return p + std::string(length > p.size() ? length - p.size() : 0, '*');
    };
    struct Case
    {
        const char* label;
        std::string pattern;
        BOOL found;
        std::string firstPath;
    } cases[] = {
        {"a single file is its own pattern", dir / "x.mp3", TRUE, dir / "x.mp3"},
        {"259 bytes", padded(259), TRUE, dir / "x.mp3"},
        {"260 bytes and more are no limit", padded(700), TRUE, dir / "x.mp3"},
        {"nothing matches", dir / "none.mp3", FALSE, ""},
        {"missing folder", dir / "none\\*.*", FALSE, ""},
        {"a drive root gives one backslash", "C:\\*.*", TRUE, "C:\\"},
        {"a drive root with the walk's own backslash", "C:\\\\*.*", TRUE, "C:\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        BOOL found = FALSE;
        const std::vector<Item> items = Walk(c.pattern, &found);
        EXPECT_EQ(c.found, found);
        if (!c.found) {
            EXPECT_TRUE(items.empty());
            continue;
        }
        ASSERT_FALSE(items.empty());
        if (c.firstPath == "C:\\")
            EXPECT_EQ("C:\\" + items[0].name, items[0].path);
        else
            EXPECT_EQ(c.firstPath, items[0].path);
    }
}
