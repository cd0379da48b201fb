#include "collect/PassOrder.h"

#include <windows.h>

std::wstring TargetKey(const std::wstring& path)
{
    std::wstring key = path;
    if (!key.empty())
        ::CharUpperBuffW(&key[0], DWORD(key.size()));
    return key;
}

bool Sees(const CTransferKeys& a, const CTransferKeys& next)
{
    return (a.nFileSize != 0 && a.nFileSize == next.nFileSize) || a.targetKey == next.targetKey ||
           a.targetKey == next.sourceKey || a.sourceKey == next.targetKey;
}
