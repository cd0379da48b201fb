#include <windows.h>

#include <cstdio>
#include <gtest/gtest.h>

#include "tests/support/SiteStub.h"
#include "web/WebAccess.h"

using namespace testing_support;

namespace {

int Request(const std::string& url, std::string& body)
{
    CWebAccess session;
    return RequestUrl(body, url, session);
}

class RequestUrlTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_site.Start()) << "cannot listen on 127.0.0.1:80"; }

    CSiteStub m_site;
};

} // namespace

TEST(SplitUrl, HostAndObject)
{
    struct Row {
        const char* label;
        std::string url;
        std::string host;
        std::string object; // the caller's default is "keep"
    };
    const Row rows[] = {
        {"scheme, path and query", "http://127.0.0.1/app/qorv/check.php?ver=1.0.0.3", "127.0.0.1",
         "app/qorv/check.php?ver=1.0.0.3"},
        {"no scheme: nothing is cut", "example.org/a/b", "example.org", "a/b"},
        {"https loses only seven characters", "https://example.org/a", "", "example.org/a"},
        {"no slash after the host keeps the default", "http://example.org", "example.org", "keep"},
        {"closing slash only", "http://example.org/", "example.org", ""},
        {"shorter than the prefix", "http", "", "keep"},
        // 0x81 0x68 is one CP949 character whose second byte is 'h'; the
        // "ttp" after it does not make an "http".
        {"no http across a character", "ex\x81http/x", "ex\x81http", "x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::string host = row.url;
        std::string object = "keep";
        SplitUrl(host, object);
        EXPECT_EQ(row.host, host);
        EXPECT_EQ(row.object, object);
    }
}

TEST(WebAccess, UserAgentIsTheExecutableName)
{
    EXPECT_EQ("web_tests", GetApplicationName());
}

TEST_F(RequestUrlTest, RequestLineAndHeaders)
{
    struct Row {
        const char* label;
        std::string url;
        std::string line;
    };
    const Row rows[] = {
        {"path and query", "http://127.0.0.1/app/qorv/check.php?ver=1.0.0.3",
         "POST /app/qorv/check.php?ver=1.0.0.3 HTTP/1.0"},
        {"no path", "http://127.0.0.1", "POST / HTTP/1.0"},
        {"no scheme", "127.0.0.1/plain", "POST /plain HTTP/1.0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        m_site.ClearRequests();
        std::string body;
        Request(row.url, body);
        const auto heads = m_site.Requests();
        ASSERT_EQ(1u, heads.size());
        const std::string& head = heads[0];
        EXPECT_EQ(row.line, head.substr(0, head.find("\r\n")));
        EXPECT_NE(std::string::npos, head.find("\r\nUser-Agent: web_tests\r\n")) << head;
        EXPECT_NE(std::string::npos, head.find("\r\nHost: 127.0.0.1\r\n")) << head;
        // No body: a length, if sent at all, is zero.
        const size_t len = head.find("Content-Length:");
        if (len != std::string::npos) {
            EXPECT_EQ(0u, head.find("Content-Length: 0\r\n", len) - len) << head;
        }
    }
}

TEST_F(RequestUrlTest, Answers)
{
    const StubAnswer endless = Endless(Reply(200, "").bytes, std::string(4096, 'x'), 0);
    const std::string nul("1.0\0.0.3", 8);
    const std::string full(WEB_MAX_BODY, 'a');

    struct Row {
        const char* label;
        StubAnswer answer;
        int code;
        std::string body;
    };
    const Row rows[] = {
        {"200 with a body", Reply(200, "1.0.0.3"), 1, "1.0.0.3"},
        {"200 with a length", Reply(200, "abc", "Content-Length: 3\r\n"), 1, "abc"},
        {"200 with an empty body", Reply(200, ""), 1, ""},
        {"zero bytes are part of the body", Reply(200, nul), 1, nul},
        {"404", Reply(404, "missing"), 404, ""},
        {"500", Reply(500, "broken"), 500, ""},
        {"a redirect is not followed", Reply(302, "", "Location: http://127.0.0.1/moved\r\n"), 302, ""},
        {"a body of exactly the limit", Reply(200, full), 1, full},
        {"a body one byte over the limit", Reply(200, full + "a"), WEB_RESULT_BODY_TOO_LARGE, ""},
        {"an endless body", endless, WEB_RESULT_BODY_TOO_LARGE, ""},
    };
    m_site.SetAnswer("/moved", Reply(200, "followed"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        m_site.SetAnswer("/v", row.answer);
        m_site.ClearRequests();
        std::string body = "stale";
        EXPECT_EQ(row.code, Request("http://127.0.0.1/v", body));
        EXPECT_EQ(row.body.size(), body.size());
        EXPECT_TRUE(row.body == body);
        EXPECT_EQ(1u, m_site.Requests().size());
    }
}

// Every failure is bounded: the start-up waits on each request.
TEST_F(RequestUrlTest, FailuresEndInTime)
{
    const StubAnswer dribble = Endless(Reply(200, "1").bytes, "1", 500);
    const StubAnswer slowHead = Endless("H", "T", 5000);
    const StubAnswer trickledHead = Trickled(Reply(200, "1.0.0.3"), 1000);

    struct Row {
        const char* label;
        bool listening;
        StubAnswer answer;
        std::string url;
        DWORD limitMs;
        bool reachesSite;
    };
    const Row rows[] = {
        {"nothing listening", false, {}, "http://127.0.0.1/v", 10000, false},
        {"https loses the host", true, Reply(200, "1.0.0.3"), "https://127.0.0.1/v", 10000, false},
        {"accepts and never answers", true, Silent(), "http://127.0.0.1/v", 10000, true},
        {"a body that dribbles without end", true, dribble, "http://127.0.0.1/v", 11000, true},
        {"a byte every five seconds", true, slowHead, "http://127.0.0.1/v", 10000, true},
        {"a header trickled a byte a second", true, trickledHead, "http://127.0.0.1/v", 10000, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        m_site.ClearRequests();
        if (row.listening) {
            ASSERT_TRUE(m_site.Start());
            m_site.SetAnswer("/v", row.answer);
        } else {
            m_site.Stop();
        }
        std::string body;
        CWebAccess session;
        const DWORD start = ::GetTickCount();
        const int code = RequestUrl(body, row.url, session);
        const DWORD elapsed = ::GetTickCount() - start;
        std::printf("%s: code %d after %lu ms (%s)\n", row.label, code, static_cast<unsigned long>(elapsed),
                    session.m_strLastError.c_str());
        EXPECT_NE(1, code);
        EXPECT_LT(elapsed, row.limitMs);
        if (row.listening) {
            EXPECT_EQ(row.reachesSite ? 1u : 0u, m_site.Requests().size());
        }
    }
}
