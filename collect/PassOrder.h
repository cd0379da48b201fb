#pragma once
#include <cstdint>
#include <string>

// The rule the organise pass's overlap rests on: which transfers a row must
// see final before it is decided, so that its decision is the one a
// one-by-one pass would make.

// Paths that name one file, whatever their letter case, give one key.
std::wstring TargetKey(const std::wstring& path);

// What of a transfer another row's decision can depend on.
struct CTransferKeys
{
    std::wstring sourceKey;
    std::wstring targetKey;
    uint64_t nFileSize = 0;
};

// Whether the decision about transfer next could depend on transfer a: a
// file of next's size (a duplicate by its bytes; size 0 is never compared),
// or a path next writes or reads.
bool Sees(const CTransferKeys& a, const CTransferKeys& next);
