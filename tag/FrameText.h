#pragma once
#include <cstddef>
#include <string>

// How the bytes of a frame's text are read where the tag does not say
// plainly what they are: Latin-1 that old Korean writers filled with CP949,
// UTF-16 that came without its byte order mark.

// True when the bytes read as CP949 with no byte the code page does not know
// (a lead byte without its trail, a pair outside the code page).
bool IsValidCP949(const char* bytes, size_t size);

// True when the bytes are what a Korean writer of old made of a text: valid
// CP949 with at least one pair of two bytes from 0xA1 up (KS X 1001, where
// that writer's Hangul and Hanja lie). A pair whose trail is an ASCII letter
// does not count: an accented Latin-1 capital before a letter makes one.
bool IsKoreanCP949(const char* bytes, size_t size);

// A text the way frames declared Latin-1 are read: as CP949 where
// IsKoreanCP949 says so (Korean writers of old put their code page there),
// else as Latin-1. The text ends at its first zero.
std::wstring Latin1FrameText(const char* bytes, size_t size);

// A text frame's values from byte from on, UTF-16 declared: each value that
// lacks a byte order mark gets the one its bytes make most plausible, so the
// tag library reads it (it reads such a value as nothing).
void MarkUtf16Values(std::string& data, size_t from);
