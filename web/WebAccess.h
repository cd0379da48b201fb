#pragma once
#include <windows.h>
#include <wininet.h>

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
    // The request as a whole ran past WEB_REQUEST_DEADLINE_MS.
    WEB_RESULT_DEADLINE = -22,
};

// Time-out of each connect, send and receive. The platform's defaults let a
// server that accepts and never answers hold the start-up for minutes.
const DWORD WEB_TIMEOUT_MS = 3000;
// Bound of a whole request, tested between reads of the body: a server that
// dribbles bytes just faster than the receive time-out never trips that one.
// With one more read's time-out the start-up waits about 10 s at most.
const DWORD WEB_REQUEST_DEADLINE_MS = 7000;
// The largest answer body taken; anything longer is no version text and
// reading it without bound would let any server exhaust our memory.
const size_t WEB_MAX_BODY = 64 * 1024;

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

using PostArgument = std::pair<std::string, std::string>;

// A WinInet session that serves one request: construct, pass to RequestUrl,
// destroy. A session that cannot be opened makes every request fail quietly.
class CWebAccess
{
public:
    CWebAccess();
    ~CWebAccess() = default;
    CWebAccess(const CWebAccess&) = delete;
    CWebAccess& operator=(const CWebAccess&) = delete;

    HINTERNET GetSession() const { return m_hSession.Get(); }
    DWORD_PTR GetContext() const { return m_dwContext; }

    // Message text of the platform error that ended the last request.
    std::string m_strLastError;
    // Never filled: no request carries arguments or a body.
    std::vector<PostArgument> m_arrArguments;

private:
    CInternetHandle m_hSession;
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
// number or one of the negative WEB_RESULT_* codes.
int RequestUrl(std::string& result, const std::string& url, CWebAccess& session);
