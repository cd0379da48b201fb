#pragma once
#include <initializer_list>
#include <string>

// A text for the screen: its CP949 bytes, as the program has always shown
// and its tests read it, and the whole text where those bytes cannot spell
// it (a name outside the code page). The controls show the whole text.
struct CShownText
{
    std::string bytes;
    std::wstring whole;   // empty when the bytes say it all

    CShownText() = default;
    // A CP949 text: the bytes say it all.
    CShownText(const char* text) : bytes(text ? text : "") {}
    CShownText(std::string text) : bytes(std::move(text)) {}
    // A text made from a wide one (a file's name, a whole tag text).
    static CShownText Of(const std::wstring& wide);

    // A text made from a wide one, kept as those bytes (say a cut copy).
    static CShownText Of(const char* bytes, const std::wstring& wide);

    // What the screen shows.
    std::wstring Wide() const;
};

// One argument of a status format: a number for %d, a text for %s.
class CFormatArg
{
public:
    CFormatArg(int n) : m_bNumber(true), m_nNumber(n) {}
    CFormatArg(const char* text) : m_text(text) {}
    CFormatArg(const CShownText& text) : m_text(text) {}

    bool m_bNumber = false;
    int m_nNumber = 0;
    CShownText m_text;
};

// Formats a CP949 format of %s, %d and %% both ways: the bytes as wsprintfA
// makes them in a buffer of cb bytes (cut to fit), the whole text beside
// them, not cut; empty when no argument had more than its bytes say.
void FormatShown(char* out, size_t cb, std::wstring& whole, const char* format, std::initializer_list<CFormatArg> args);
