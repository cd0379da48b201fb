#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

// Result codes of RequestUrl besides 1 (success), HTTP status codes and the
// platform's error numbers (ERROR_INTERNET_*).
enum : int {
    WEB_RESULT_OK = 1,
    // No connection or request was made, the send failed without an error
    // number, or the status could not be read.
    WEB_RESULT_NO_REQUEST = -20,
    // The answer body grew past WEB_MAX_BODY; it cannot be a version text.
    WEB_RESULT_BODY_TOO_LARGE = -21,
    // The request ran out of its time and was abandoned.
    WEB_RESULT_DEADLINE = -22,
};

// Time-out of each connect, send and receive. The platform's defaults let a
// server that accepts and never answers hold the start-up for minutes.
const DWORD WEB_TIMEOUT_MS = 3000;
// Bound of one whole request, header and body. The platform's time-outs
// bound each wait only: a server that trickles its answer a byte at a time
// never trips them, and would hold the request for as long as it likes.
const DWORD WEB_REQUEST_DEADLINE_MS = 7000;
// Bound of the start-up's requests together; the launcher never waits longer
// on the site, whatever it does. The usage ping can take at most
// WEB_REQUEST_DEADLINE_MS of it, so the version check always has some left.
const DWORD WEB_STARTUP_DEADLINE_MS = 10000;
// The largest answer body taken; anything longer is no version text and
// reading it without bound would let any server exhaust our memory.
const size_t WEB_MAX_BODY = 64 * 1024;

// A moment by which some requests together must be over.
class CDeadline
{
public:
    explicit CDeadline(DWORD dwMilliseconds) : m_dwStart(::GetTickCount()), m_dwLength(dwMilliseconds) {}
    // Milliseconds left, 0 once past.
    DWORD Left() const
    {
        const DWORD dwElapsed = ::GetTickCount() - m_dwStart;
        return dwElapsed >= m_dwLength ? 0 : m_dwLength - dwElapsed;
    }

private:
    DWORD m_dwStart;
    DWORD m_dwLength;
};

// Owns one WinInet handle (session, connection or request).
class CInternetHandle
{
public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET h) : m_h(h) {}
    ~CInternetHandle() { Close(); }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Close()
    {
        if (m_h)
            ::InternetCloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HINTERNET m_h = nullptr;
};

// A WinInet session that serves one request: construct, pass to RequestUrl,
// destroy. A session that cannot be opened makes every request fail quietly.
// A request given up at its deadline may still be running on its own thread;
// it keeps the session open until it ends.
class CWebAccess
{
public:
    CWebAccess();
    ~CWebAccess() = default;
    CWebAccess(const CWebAccess&) = delete;
    CWebAccess& operator=(const CWebAccess&) = delete;

    HINTERNET GetSession() const { return m_pSession->Get(); }
    const std::shared_ptr<CInternetHandle>& SharedSession() const { return m_pSession; }
    DWORD_PTR GetContext() const { return m_dwContext; }

    // Message text of the platform error that ended the last request.
    std::string m_strLastError;

private:
    std::shared_ptr<CInternetHandle> m_pSession;
    DWORD_PTR m_dwContext = 1;
};

// The executable's file name without folder and extension: the user agent.
std::string GetApplicationName();

// url in: the whole URL; out: the host name. object in: the default object
// name; out: path and query, without a leading slash (kept when the URL has
// no "/" after the host).
void SplitUrl(std::string& url, std::string& object);

// One POST request, HTTP/1.0, port 80, no headers or body of our own. Returns
// 1 when the server answered 200 and the body was read to its end (result
// holds it, zero bytes included); otherwise the status code, a platform error
// number or one of the negative WEB_RESULT_* codes. Returns within dwLimitMs
// whatever the server does: past it, the request is given up (it ends on its
// own thread, touching nothing of the caller's).
int RequestUrl(std::string& result, const std::string& url, CWebAccess& session,
               DWORD dwLimitMs = WEB_REQUEST_DEADLINE_MS);
