#include "tests/e2e/driver/Process.h"

namespace e2e {

using ::testing::AssertionFailure;
using ::testing::AssertionSuccess;

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        Kill();
        m_process = std::move(other.m_process);
        m_job = std::move(other.m_job);
        m_id = other.m_id;
        m_why = std::move(other.m_why);
    }
    return *this;
}

Process Process::Start(const std::string& exe, const std::string& args, const std::string& workDir)
{
    Process p;
    if (::GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        p.m_why = "no program at \"" + exe + "\"";
        return p;
    }
    std::string cmd = "\"" + exe + "\"";
    if (!args.empty())
        cmd += " " + args;

    p.m_job = CHandle(::CreateJobObjectA(nullptr, nullptr));
    if (p.m_job.IsValid()) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(p.m_job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }

    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &si, &pi)) {
        p.m_why = "CreateProcess \"" + exe + "\" failed: error " + std::to_string(::GetLastError());
        p.m_job.Close();
        return p;
    }
    p.m_process = CHandle(pi.hProcess);
    CHandle thread(pi.hThread);
    p.m_id = pi.dwProcessId;
    if (p.m_job.IsValid() && !::AssignProcessToJobObject(p.m_job, pi.hProcess))
        p.m_job.Close();
    ::ResumeThread(thread);
    return p;
}

bool Process::IsRunning() const
{
    return m_process.IsValid() && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

Check Process::WaitExit(DWORD timeoutMs) const
{
    if (!m_process.IsValid())
        return AssertionFailure() << "no process to wait for" << (m_why.empty() ? "" : ": " + m_why);
    if (::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return AssertionFailure() << "process " << m_id << " still runs after " << timeoutMs
                                  << " ms; its windows:\n" << DescribeWindows();
    return AssertionSuccess();
}

DWORD Process::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_process.IsValid())
        ::GetExitCodeProcess(m_process, &code);
    return code;
}

void Process::Kill()
{
    if (m_job.IsValid())
        ::TerminateJobObject(m_job, 1);
    if (m_process.IsValid()) {
        if (IsRunning())
            ::TerminateProcess(m_process, 1);
        ::WaitForSingleObject(m_process, 10000);
    }
    m_job.Close();
}

Window Process::WaitWindow(const std::string& caption, const std::string& className, DWORD timeoutMs) const
{
    if (!m_process.IsValid())
        return Window::Missing("no process" + (m_why.empty() ? "" : ": " + m_why));
    WindowQuery q;
    q.processId = m_id;
    q.caption = caption;
    q.className = className;
    return WaitTopWindow(q, timeoutMs);
}

Window Process::WaitDialog(const std::string& caption, int controlId, DWORD timeoutMs) const
{
    if (!m_process.IsValid())
        return Window::Missing("no process" + (m_why.empty() ? "" : ": " + m_why));
    return WaitDialogWithControl(m_id, caption, controlId, timeoutMs);
}

} // namespace e2e
