#include "tests/support/ID3v2Bytes.h"

namespace testing_support {

namespace {

void PutSynchsafe(Bytes& out, size_t n)
{
    out.push_back(static_cast<unsigned char>((n >> 21) & 0x7F));
    out.push_back(static_cast<unsigned char>((n >> 14) & 0x7F));
    out.push_back(static_cast<unsigned char>((n >> 7) & 0x7F));
    out.push_back(static_cast<unsigned char>(n & 0x7F));
}

void PutText(Bytes& out, TextEncoding enc, const std::wstring& text)
{
    switch (enc) {
    case ENC_LATIN1:
        for (wchar_t c : text)
            out.push_back(static_cast<unsigned char>(c));
        break;
    case ENC_UTF16:
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (wchar_t c : text) {
            out.push_back(static_cast<unsigned char>(c & 0xFF));
            out.push_back(static_cast<unsigned char>(c >> 8));
        }
        break;
    case ENC_UTF16BE:
        for (wchar_t c : text) {
            out.push_back(static_cast<unsigned char>(c >> 8));
            out.push_back(static_cast<unsigned char>(c & 0xFF));
        }
        break;
    case ENC_UTF8:
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned long c = static_cast<unsigned long>(text[i]);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size())
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned long>(text[++i]) - 0xDC00);
            if (c < 0x80) {
                out.push_back(static_cast<unsigned char>(c));
            } else if (c < 0x800) {
                out.push_back(static_cast<unsigned char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
            } else if (c < 0x10000) {
                out.push_back(static_cast<unsigned char>(0xE0 | (c >> 12)));
                out.push_back(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
            } else {
                out.push_back(static_cast<unsigned char>(0xF0 | (c >> 18)));
                out.push_back(static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
                out.push_back(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
            }
        }
        break;
    }
}

} // namespace

Bytes TextBody(TextEncoding enc, const std::wstring& text)
{
    Bytes out{static_cast<unsigned char>(enc)};
    PutText(out, enc, text);
    return out;
}

Bytes Latin1Body(const std::string& bytes)
{
    Bytes out{ENC_LATIN1};
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

Bytes CommentBody(TextEncoding enc, const std::wstring& text, const std::string& language)
{
    Bytes out{static_cast<unsigned char>(enc)};
    out.insert(out.end(), language.begin(), language.end());
    // The empty description and its terminator.
    if (enc == ENC_UTF16) {
        out.insert(out.end(), {0xFF, 0xFE, 0, 0});
    } else if (enc == ENC_UTF16BE) {
        out.insert(out.end(), {0, 0});
    } else {
        out.push_back(0);
    }
    PutText(out, enc, text);
    return out;
}

Bytes MakeID3v2(int version, const std::vector<Frame>& frames, size_t padding)
{
    Bytes body;
    for (const Frame& f : frames) {
        body.insert(body.end(), f.id.begin(), f.id.end());
        const size_t n = f.body.size();
        if (version == 2) {
            body.push_back(static_cast<unsigned char>(n >> 16));
            body.push_back(static_cast<unsigned char>(n >> 8));
            body.push_back(static_cast<unsigned char>(n));
        } else {
            if (version == 4) {
                PutSynchsafe(body, n);
            } else {
                body.push_back(static_cast<unsigned char>(n >> 24));
                body.push_back(static_cast<unsigned char>(n >> 16));
                body.push_back(static_cast<unsigned char>(n >> 8));
                body.push_back(static_cast<unsigned char>(n));
            }
            body.push_back(0);
            body.push_back(0);
        }
        body.insert(body.end(), f.body.begin(), f.body.end());
    }
    body.insert(body.end(), padding, 0);
    Bytes tag{'I', 'D', '3', static_cast<unsigned char>(version), 0, 0};
    PutSynchsafe(tag, body.size());
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

Bytes MakeID3v2Mp3(int version, const std::vector<Frame>& frames, size_t audioBytes, unsigned char fill)
{
    Bytes song = MakeID3v2(version, frames, 64);
    song.insert(song.end(), audioBytes, fill);
    return song;
}

} // namespace testing_support
