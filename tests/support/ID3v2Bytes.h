#pragma once
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestFiles.h"

namespace testing_support {

// ID3v2 tags built byte by byte, independently of the code under test.

// How a text frame's text is encoded: the frame's encoding byte.
enum TextEncoding { ENC_LATIN1 = 0, ENC_UTF16 = 1, ENC_UTF16BE = 2, ENC_UTF8 = 3 };

// A text frame's body: the encoding byte, then the text (Latin-1 texts are
// given as their bytes, the others as UTF-16 and encoded here).
Bytes TextBody(TextEncoding enc, const std::wstring& text);
Bytes Latin1Body(const std::string& bytes);
// A comment's body: encoding, language, an empty description, the text.
Bytes CommentBody(TextEncoding enc, const std::wstring& text, const std::string& language = "eng");

struct Frame
{
    std::string id;   // three letters for v2.2, four for v2.3 and v2.4
    Bytes body;
};

// A whole tag of version 2, 3 or 4 holding the frames, then padding zeros.
Bytes MakeID3v2(int version, const std::vector<Frame>& frames, size_t padding = 0);
// A song: the tag, then some bytes standing in for audio; no ID3v1 record.
Bytes MakeID3v2Mp3(int version, const std::vector<Frame>& frames, size_t audioBytes = 300, unsigned char fill = 0xAB);

} // namespace testing_support
