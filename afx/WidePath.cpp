#include "afx/WidePath.h"

namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& s, const wchar_t* prefix)
{
    return s.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

} // namespace

std::wstring WideFromText(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_TEXTS, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_TEXTS, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

std::string TextFromWide(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_TEXTS, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                                        "?", nullptr);
    if (n <= 0)
        return std::string();
    std::string text(size_t(n), '\0');
    ::WideCharToMultiByte(CP_TEXTS, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), &text[0], n, "?", nullptr);
    return text;
}

std::wstring LongPath(const std::wstring& path)
{
    if (path.empty())
        return std::wstring();
    // Normalising would drop what the long form exists to keep: trailing dots
    // and blanks, device-like names.
    if (StartsWith(path, kLongPrefix))
        return path;
    const DWORD nFull = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (nFull == 0)
        return std::wstring();
    std::wstring full(nFull, L'\0');
    const DWORD nLen = ::GetFullPathNameW(path.c_str(), nFull, &full[0], nullptr);
    if (nLen == 0 || nLen >= nFull)
        return std::wstring();
    full.resize(nLen);
    if (StartsWith(full, L"\\\\.\\"))
        return full;   // a device, not a file
    if (StartsWith(full, L"\\\\"))
        return kLongUncPrefix + full.substr(2);
    return kLongPrefix + full;
}

std::wstring LongPath(const std::string& path)
{
    return LongPath(WideFromText(path));
}

std::wstring PlainPath(const std::wstring& path)
{
    if (StartsWith(path, kLongUncPrefix))
        return L"\\\\" + path.substr(std::char_traits<wchar_t>::length(kLongUncPrefix));
    if (StartsWith(path, kLongPrefix))
        return path.substr(std::char_traits<wchar_t>::length(kLongPrefix));
    return path;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

std::wstring NameOfPath(const std::wstring& path)
{
    const size_t sep = path.find_last_of(L'\\');
    return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

size_t VolumePrefixLength(const std::wstring& path)
{
    if (StartsWith(path, kLongUncPrefix)) {
        // Server and share.
        size_t at = std::char_traits<wchar_t>::length(kLongUncPrefix);
        for (int part = 0; part < 2 && at != std::wstring::npos; ++part) {
            at = path.find(L'\\', at);
            if (at != std::wstring::npos)
                ++at;
        }
        return at == std::wstring::npos ? path.size() : at;
    }
    if (StartsWith(path, kLongPrefix)) {
        const size_t sep = path.find(L'\\', std::char_traits<wchar_t>::length(kLongPrefix));
        return sep == std::wstring::npos ? path.size() : sep + 1;
    }
    return 0;
}
