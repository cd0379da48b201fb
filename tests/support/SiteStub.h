#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// What the stub does with one request.
struct StubAnswer
{
    std::string bytes;          // sent first, whole (status line, headers, body)...
    DWORD trickleMs = 0;        // ...or a byte at a time, this far apart
    std::string repeat;         // then sent again and again until the client gives up...
    DWORD repeatEveryMs = 0;    // ...this often (0: as fast as the client takes it)
    bool silent = false;        // accept, read the request, never answer
};

// A status line, Connection: close and the body; the body ends when the
// connection closes, as an HTTP/1.0 server may do.
StubAnswer Reply(int status, const std::string& body, const std::string& extraHeaders = "");

// Hostile answers. a whole, but a byte every ms:
StubAnswer Trickled(StubAnswer a, DWORD ms);
// head, then piece again and again, everyMs apart, until the client gives up:
StubAnswer Endless(const std::string& head, const std::string& piece, DWORD everyMs);
// accepts, reads the request, never answers:
StubAnswer Silent();

// The maker's site stood in for by a server on 127.0.0.1 port 80, each
// connection on a thread of its own, as a real site serves a new request
// while an old one still trickles. Records the head of each request and
// answers by path (the part before "?"); unknown paths get 404.
class CSiteStub
{
public:
    CSiteStub();
    ~CSiteStub();
    CSiteStub(const CSiteStub&) = delete;
    CSiteStub& operator=(const CSiteStub&) = delete;

    bool Start();
    void Stop();

    void SetAnswer(const std::string& path, const StubAnswer& answer);
    // Each request's head (request line and headers), in arrival order.
    std::vector<std::string> Requests() const;
    std::vector<std::string> RequestLines() const;
    void ClearRequests();

private:
    void Serve();
    void Handle(SOCKET s);
    bool Stopping() const { return m_bStop.load(); }

    SOCKET m_listen = INVALID_SOCKET;
    std::thread m_thread;
    std::vector<std::thread> m_connections;   // the accepting thread's only
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_lock;
    std::map<std::string, StubAnswer> m_answers;
    std::vector<std::string> m_requests;
};

} // namespace testing_support
