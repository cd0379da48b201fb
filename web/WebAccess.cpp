#include "web/WebAccess.h"

#include <process.h>

#include <algorithm>
#include <atomic>

namespace {

// Offset of the first occurrence of needle that starts on a character
// boundary of the ANSI code page, or npos. In CP949 a trail byte may be an
// ASCII letter, so a plain byte search could match inside a Korean character.
size_t FindOnBoundary(const std::string& s, const char* needle)
{
    const size_t n = std::char_traits<char>::length(needle);
    for (size_t i = 0; i + n <= s.size();) {
        if (s.compare(i, n, needle) == 0)
            return i;
        i += (::IsDBCSLeadByte(static_cast<BYTE>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return std::string::npos;
}

// Records the platform's error text and gives its number, or fallback when the
// platform left none.
int Failure(std::string& lastError, int fallback)
{
    const DWORD err = ::GetLastError();
    if (err == 0)
        return fallback;
    char text[1024] = {};
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                               ::GetModuleHandleA("wininet.dll"), err, 0, text, sizeof text - 1, nullptr);
    if (n == 0)
        n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0, text,
                             sizeof text - 1, nullptr);
    lastError.assign(text, std::min<DWORD>(n, sizeof text - 1));
    return static_cast<int>(err);
}

void SetTimeouts(HINTERNET h)
{
    DWORD timeout = WEB_TIMEOUT_MS;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(h, option, &timeout, sizeof timeout);
}

// One request, run on a thread of its own: a server that trickles its answer
// holds that thread inside the platform's calls, out of reach of any look at
// the clock, and closing the handles from another thread does not free it
// everywhere (under Wine the blocked call keeps its socket). So the caller
// waits only as long as it likes, and the exchange owns everything it uses:
// given up, it ends when the platform lets it, and frees itself.
struct CExchange
{
    CExchange(const std::string& h, const std::string& o, const CWebAccess& session)
        : host(h), object(o), pSession(session.SharedSession()), dwContext(session.GetContext())
    {
    }

    void Run();

    const std::string host;
    const std::string object;
    const std::shared_ptr<CInternetHandle> pSession;
    const DWORD_PTR dwContext;
    // Set by the caller that gave up: the rest of the body is not read.
    std::atomic<bool> bAbandoned{false};

    // Read by the caller only once the thread has ended.
    int nCode = WEB_RESULT_NO_REQUEST;
    std::string strBody;
    std::string strLastError;
};

void CExchange::Run()
{
    // Declared before the request so that the request is closed first.
    CInternetHandle connection(::InternetConnectA(pSession->Get(), host.c_str(), INTERNET_INVALID_PORT_NUMBER,
                                                  nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, dwContext));
    if (!connection) {
        nCode = Failure(strLastError, WEB_RESULT_NO_REQUEST);
        return;
    }

    // The request line needs an absolute path; SplitUrl leaves the leading
    // slash off.
    const std::string path = "/" + object;
    // A redirect is an answer like any other non-200 one: following it would
    // take the start-up to a site we never named.
    CInternetHandle request(::HttpOpenRequestA(connection.Get(), "POST", path.c_str(), "HTTP/1.0", nullptr, nullptr,
                                               INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT,
                                               dwContext));
    if (!request) {
        nCode = Failure(strLastError, WEB_RESULT_NO_REQUEST);
        return;
    }
    // Requests should inherit the session's time-outs; under Wine the send
    // and receive ones take effect only when set on the request itself.
    SetTimeouts(request.Get());

    if (!::HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) {
        nCode = Failure(strLastError, WEB_RESULT_NO_REQUEST);
        return;
    }

    DWORD status = 0;
    DWORD cb = sizeof status;
    if (!::HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &cb, nullptr))
        return;
    if (status != HTTP_STATUS_OK) {
        nCode = static_cast<int>(status);
        return;
    }

    // Read what has arrived, never more than one byte past the limit, so an
    // endless body is cut off by the size.
    char buf[4096];
    while (!bAbandoned) {
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request.Get(), &available, 0, 0)) {
            nCode = Failure(strLastError, WEB_RESULT_NO_REQUEST);
            return;
        }
        if (available == 0)
            break;
        const DWORD want = static_cast<DWORD>(
            std::min<size_t>({available, sizeof buf, WEB_MAX_BODY + 1 - strBody.size()}));
        DWORD got = 0;
        if (!::InternetReadFile(request.Get(), buf, want, &got)) {
            nCode = Failure(strLastError, WEB_RESULT_NO_REQUEST);
            return;
        }
        if (got == 0)
            break;
        strBody.append(buf, got);
        if (strBody.size() > WEB_MAX_BODY) {
            nCode = WEB_RESULT_BODY_TOO_LARGE;
            return;
        }
    }
    nCode = WEB_RESULT_OK;
}

unsigned __stdcall ExchangeProc(void* pParam)
{
    // The thread's own share: the exchange lives until both sides let go.
    const std::unique_ptr<std::shared_ptr<CExchange>> pShare(static_cast<std::shared_ptr<CExchange>*>(pParam));
    (*pShare)->Run();
    return 0;
}

} // namespace

std::string GetApplicationName()
{
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, n < MAX_PATH ? n : MAX_PATH - 1);
    size_t nameStart = 0;
    for (size_t i = 0; i < full.size();) {
        if (full[i] == '\\' || full[i] == '/')
            nameStart = i + 1;
        i += (::IsDBCSLeadByte(static_cast<BYTE>(full[i])) && i + 1 < full.size()) ? 2 : 1;
    }
    std::string name = full.substr(nameStart);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

CWebAccess::CWebAccess()
    : m_pSession(std::make_shared<CInternetHandle>(
          ::InternetOpenA(GetApplicationName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)))
{
    if (*m_pSession)
        SetTimeouts(m_pSession->Get());
}

void SplitUrl(std::string& url, std::string& object)
{
    std::string rest = url;
    // Only a seven-character scheme prefix ("http://") is expected here.
    if (FindOnBoundary(rest, "http") != std::string::npos)
        rest.erase(0, std::min<size_t>(7, rest.size()));
    const size_t slash = FindOnBoundary(rest, "/");
    url = rest.substr(0, slash);
    if (slash != std::string::npos)
        object = rest.substr(slash + 1);
}

int RequestUrl(std::string& result, const std::string& url, CWebAccess& session, DWORD dwLimitMs)
{
    result.clear();
    std::string host = url;
    std::string object;
    SplitUrl(host, object);
    if (!session.GetSession())
        return WEB_RESULT_NO_REQUEST;

    const auto pExchange = std::make_shared<CExchange>(host, object, session);
    auto* pShare = new std::shared_ptr<CExchange>(pExchange);
    const uintptr_t h = ::_beginthreadex(nullptr, 0, ExchangeProc, pShare, 0, nullptr);
    if (!h) {
        delete pShare;
        return WEB_RESULT_NO_REQUEST;
    }
    const HANDLE hThread = reinterpret_cast<HANDLE>(h);
    const bool bEnded = ::WaitForSingleObject(hThread, dwLimitMs) == WAIT_OBJECT_0;
    ::CloseHandle(hThread);
    if (!bEnded) {
        pExchange->bAbandoned = true;
        return WEB_RESULT_DEADLINE;
    }
    session.m_strLastError = pExchange->strLastError;
    if (pExchange->nCode == WEB_RESULT_OK)
        result.swap(pExchange->strBody);
    return pExchange->nCode;
}
