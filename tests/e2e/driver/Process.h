#pragma once
#include <windows.h>

#include <string>

#include "afx/Handle.h"
#include "tests/e2e/driver/Window.h"

namespace e2e {

// A program started for a test. It is ended when the object goes, and with
// it whatever it started: it runs in a job that dies with its last handle, so
// not even a crashed test binary leaves it behind.
class Process
{
public:
    Process() = default;
    ~Process() { Kill(); }
    Process(Process&&) = default;
    Process& operator=(Process&& other) noexcept;

    // exe and workDir are Windows paths (HostPath converts Unix ones); args
    // follow the quoted program name on the command line. An empty workDir
    // keeps the test's own.
    static Process Start(const std::string& exe, const std::string& args = "", const std::string& workDir = "");

    explicit operator bool() const { return m_process.IsValid(); }
    // Why Start failed.
    const std::string& Why() const { return m_why; }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }

    bool IsRunning() const;
    Check WaitExit(DWORD timeoutMs = kWait) const;
    // STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    // Ends the program and everything it started, and waits until it has gone.
    void Kill();

    // A visible top-level window of this process.
    Window WaitWindow(const std::string& caption, const std::string& className = "", DWORD timeoutMs = kWait) const;
    // WaitDialogWithControl for this process.
    Window WaitDialog(const std::string& caption, int controlId, DWORD timeoutMs = kWait) const;
    std::string DescribeWindows() const { return DescribeTopWindows(m_id); }

private:
    CHandle m_process;
    CHandle m_job;
    DWORD m_id = 0;
    std::string m_why;
};

} // namespace e2e
