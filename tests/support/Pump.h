#pragma once
#include <windows.h>

#include <functional>

namespace testing_support {

// Runs whatever this thread's windows have queued now.
void PumpPending();
// Serves this thread's windows until cond holds or the time is up; true when
// it holds.
bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = 20000);

} // namespace testing_support
