#include "afx/ShownText.h"

#include <windows.h>

#include "afx/WidePath.h"

CShownText CShownText::Of(const std::wstring& wide)
{
    CShownText t;
    t.bytes = TextFromWide(wide);
    if (WideFromText(t.bytes) != wide)
        t.whole = wide;
    return t;
}

CShownText CShownText::Of(const char* bytes, const std::wstring& wide)
{
    CShownText t(bytes);
    if (WideFromText(t.bytes) != wide)
        t.whole = wide;
    return t;
}

std::wstring CShownText::Wide() const
{
    return whole.empty() ? WideFromText(bytes) : whole;
}

void FormatShown(char* out, size_t cb, std::wstring& whole, const char* format, std::initializer_list<CFormatArg> args)
{
    // The bytes are the format's run by run with each argument in its place,
    // as wsprintfA puts them; the whole text the same with whole arguments.
    std::string bytes;
    whole.clear();
    bool bAnyWhole = false;
    const CFormatArg* arg = args.begin();
    const char* run = format;
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        const std::string text(run, p);
        bytes += text;
        whole += WideFromText(text);
        const char conversion = p[1];
        if (conversion == '%') {
            bytes += '%';
            whole += L'%';
        } else if ((conversion == 's' || conversion == 'd') && arg != args.end()) {
            if (arg->m_bNumber) {
                char number[16];
                wsprintfA(number, "%d", arg->m_nNumber);
                bytes += number;
                whole += WideFromText(number);
            } else {
                bytes += arg->m_text.bytes;
                whole += arg->m_text.Wide();
                bAnyWhole = bAnyWhole || !arg->m_text.whole.empty();
            }
            ++arg;
        }
        if (conversion)
            ++p;
        run = p + 1;
    }
    const std::string rest(run);
    bytes += rest;
    whole += WideFromText(rest);
    if (!bAnyWhole)
        whole.clear();
    if (cb == 0)
        return;
    const size_t n = bytes.size() < cb - 1 ? bytes.size() : cb - 1;
    bytes.copy(out, n);
    out[n] = 0;
}
