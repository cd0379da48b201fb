#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

using namespace testing_support;

// Everything the program handles is CP949; this fails when Wine runs without
// the Korean locale and file names would turn into garbage.
TEST(Environment, AnsiCodePageIsKorean)
{
    EXPECT_EQ(949u, ::GetACP());
}

TEST(Environment, KoreanFileNamesArriveAsCp949Bytes)
{
    TempDir dir;
    const std::wstring wide = std::wstring(dir.Path().begin(), dir.Path().end()) + L"\\\xAC00\xC218.mp3"; // 가수.mp3
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ::CloseHandle(h);

    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA((dir / "*.mp3").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    ::FindClose(f);
    EXPECT_EQ(std::string("\xB0\xA1\xBC\xF6.mp3"), fd.cFileName);
    EXPECT_EQ("\xB0\xA1\xBC\xF6", std::string("가수")); // literals are compiled to CP949 too
}
