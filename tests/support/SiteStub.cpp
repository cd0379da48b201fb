#include "tests/support/SiteStub.h"

#include <cstdio>

namespace testing_support {

namespace {

// A test that goes wrong must not leave the server thread running for long.
const DWORD CONNECTION_LIMIT_MS = 30000;

// Waits until the socket can be read, the stub stops, or ms pass.
bool WaitReadable(SOCKET s, DWORD ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{LONG(ms / 1000), LONG((ms % 1000) * 1000)};
    return ::select(0, &set, nullptr, nullptr, &tv) == 1;
}

bool WaitWritable(SOCKET s, DWORD ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{LONG(ms / 1000), LONG((ms % 1000) * 1000)};
    return ::select(0, nullptr, &set, nullptr, &tv) == 1;
}

} // namespace

StubAnswer Reply(int status, const std::string& body, const std::string& extraHeaders)
{
    char line[64];
    std::snprintf(line, sizeof line, "HTTP/1.0 %d Stub\r\n", status);
    StubAnswer a;
    a.bytes = std::string(line) + "Content-Type: text/plain\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
    return a;
}

StubAnswer Trickled(StubAnswer a, DWORD ms)
{
    a.trickleMs = ms;
    return a;
}

StubAnswer Endless(const std::string& head, const std::string& piece, DWORD everyMs)
{
    StubAnswer a;
    a.bytes = head;
    a.repeat = piece;
    a.repeatEveryMs = everyMs;
    return a;
}

StubAnswer Silent()
{
    StubAnswer a;
    a.silent = true;
    return a;
}

CSiteStub::CSiteStub()
{
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
}

CSiteStub::~CSiteStub()
{
    Stop();
    ::WSACleanup();
}

bool CSiteStub::Start()
{
    Stop();
    m_listen = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listen == INVALID_SOCKET)
        return false;
    // The previous case's closed connections may still hold the port.
    BOOL on = TRUE;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = ::htons(80);
    addr.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    bool bound = false;
    for (int attempt = 0; attempt < 50 && !bound; ++attempt) {
        bound = ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (!bound)
            ::Sleep(100);
    }
    if (!bound || ::listen(m_listen, 8) != 0) {
        ::closesocket(m_listen);
        m_listen = INVALID_SOCKET;
        return false;
    }
    m_bStop = false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CSiteStub::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen != INVALID_SOCKET)
        ::closesocket(m_listen);
    m_listen = INVALID_SOCKET;
}

void CSiteStub::SetAnswer(const std::string& path, const StubAnswer& answer)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_answers[path] = answer;
}

std::vector<std::string> CSiteStub::Requests() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

std::vector<std::string> CSiteStub::RequestLines() const
{
    std::vector<std::string> lines;
    for (const std::string& head : Requests())
        lines.push_back(head.substr(0, head.find("\r\n")));
    return lines;
}

void CSiteStub::ClearRequests()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_requests.clear();
}

void CSiteStub::Serve()
{
    while (!Stopping()) {
        if (!WaitReadable(m_listen, 50))
            continue;
        SOCKET s = ::accept(m_listen, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            continue;
        m_connections.emplace_back([this, s] {
            Handle(s);
            ::closesocket(s);
        });
    }
    for (std::thread& t : m_connections)
        t.join();
    m_connections.clear();
}

void CSiteStub::Handle(SOCKET s)
{
    const DWORD start = ::GetTickCount();
    auto expired = [&] { return Stopping() || ::GetTickCount() - start > CONNECTION_LIMIT_MS; };

    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && !expired()) {
        if (!WaitReadable(s, 50))
            continue;
        int n = ::recv(s, buf, sizeof buf, 0);
        if (n <= 0)
            return;
        head.append(buf, n);
    }
    head = head.substr(0, head.find("\r\n\r\n") + 2);

    StubAnswer answer = Reply(404, "not here");
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_requests.push_back(head);
        const size_t sp1 = head.find(' ');
        const size_t end = head.find_first_of(" ?", sp1 + 1);
        const std::string path = sp1 == std::string::npos ? "" : head.substr(sp1 + 1, end - sp1 - 1);
        auto it = m_answers.find(path);
        if (it != m_answers.end())
            answer = it->second;
    }

    auto sendAll = [&](const std::string& bytes) {
        for (size_t off = 0; off < bytes.size();) {
            if (expired() || !WaitWritable(s, 50)) {
                if (expired())
                    return false;
                continue;
            }
            int n = ::send(s, bytes.data() + off, int(bytes.size() - off), 0);
            if (n <= 0)
                return false;
            off += n;
        }
        return true;
    };
    // The client has gone when its side reads as closed or reset.
    auto clientGone = [&] {
        if (!WaitReadable(s, 0))
            return false;
        int n = ::recv(s, buf, sizeof buf, 0);
        return n <= 0;
    };

    if (answer.silent) {
        while (!expired() && !clientGone())
            ::Sleep(20);
        return;
    }
    if (answer.trickleMs) {
        for (char c : answer.bytes) {
            if (!sendAll(std::string(1, c)))
                return;
            for (DWORD t = ::GetTickCount(); ::GetTickCount() - t < answer.trickleMs;) {
                if (expired() || clientGone())
                    return;
                ::Sleep(20);
            }
        }
    } else if (!sendAll(answer.bytes)) {
        return;
    }
    while (!answer.repeat.empty() && !expired() && !clientGone()) {
        if (!sendAll(answer.repeat))
            return;
        if (answer.repeatEveryMs)
            ::Sleep(answer.repeatEveryMs);
    }
    // Close gracefully so that the client reads the whole body before the end.
    ::shutdown(s, SD_SEND);
    for (DWORD t = ::GetTickCount(); ::GetTickCount() - t < 2000 && !Stopping();) {
        if (WaitReadable(s, 50) && ::recv(s, buf, sizeof buf, 0) <= 0)
            break;
    }
}

} // namespace testing_support
