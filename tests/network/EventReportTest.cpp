#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "backend/ApiManager.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "events/EventContext.h"
#include "events/PostJson.h"
#include "events/TrelvoException.h"
#include "net/HttpClient.h"
#include "net/NetLimits.h"
#include "tests/support/Prefix.h"
#include "tests/support/TestBackend.h"

using nlohmann::json;

namespace {

const char kMachineId[] = "{0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0}";
const char kSessionId[] = "20250102030405";
const char kSignature[] = "Signature=a9eca2bd3e332fe8ca473d3179fdee0f2f5506baf304dc7b5317ae978be557fd";

class EventReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto config = ConfigurationManager::GetInstance();
        config->machineId = kMachineId;
        config->sessionId = kSessionId;
        config->eventUrl = L"https://localhost/qdd";
        config->countryCode.clear();
        backend.SetScenario(json::object());
    }

    std::shared_ptr<Package> MakeOffer() {
        json offer = {{"ad", {{"o", "offer-7"}, {"f", "flow-b"}}},
                      {"ps", {{"i", "i.png"}, {"dn", "Seven"}, {"u", "https://localhost/f/s.exe"}, {"c", "chan-{cc}"}}}};
        return std::make_shared<Package>(MakeEventContext(), offer, false, "", 1);
    }

    std::shared_ptr<Package> MakeProduct() {
        return std::make_shared<Package>(MakeEventContext(), true, 0, L"Fennix_Web", L"", L"Fennix Web", L"", 0);
    }

    TestBackend backend;
};

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

// The wire format of a rejection: body, data members in byte order, signature and header order.
TEST_F(EventReportTest, RejectionReportIsByteExact) {
    auto offer = MakeOffer();
    size_t mark = backend.Mark();
    offer->ReportEvent(2, {{"13", "NOT ENOUGH RAM"}});
    offer->WaitForReports();

    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request["method"], "POST");
    EXPECT_EQ(request["path"], "/qdd");
    EXPECT_EQ(request["port"], 443);

    const std::string data = std::string("{\"0\":\"\",\"1\":\"") + kMachineId + "\",\"10\":2,\"11\":\"\",\"12\":\"\","
                             "\"13\":\"NOT ENOUGH RAM\",\"14\":\"\",\"15\":0,\"16\":\"chan-{cc}\",\"17\":\"2\","
                             "\"18\":\"flow-b\",\"19\":\"\",\"2\":\"" + kSessionId + "\",\"20\":\"\",\"21\":\"\","
                             "\"22\":\"Fennix Web\",\"3\":\"Quorvane\",\"31\":\"" + testing_support::kPrefixWindowsVersion + "\","
                             "\"38\":\"" + (testing_support::PrefixIs64BitWindows() ? "1" : "0") + "\",\"4\":\"Fennix_Web\",\"5\":\"offer-7\","
                             "\"6\":\"2\",\"7\":\"2.7.0.318\",\"8\":\"\",\"9\":\"\"}";
    EXPECT_EQ(request["body_text"], "{\"data\":\"" + Escaped(data) + "\",\"table\":\"qd_analytics\"}");

    auto names = HeaderNames(request);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
              (std::vector<std::string>{"Authorization", "Expect", "Content-Type"}));
    EXPECT_EQ(HeaderValue(request, "Authorization"), kSignature);
    EXPECT_EQ(HeaderValue(request, "Expect"), "100-continue");
    EXPECT_EQ(HeaderValue(request, "Content-Type"), "application/json");
}

TEST_F(EventReportTest, ProductEventDataAndOverrides) {
    auto product = MakeProduct();
    size_t mark = backend.Mark();
    product->ReportEvent(1);
    product->WaitForReports();
    product->ReportEvent(3, {{"5", "replaced"}, {"12", "text"}});
    product->WaitForReports();
    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 2u) << "event 1 is not terminal, so event 3 still goes out";
    json first = json::parse(json::parse(requests[0]["body_text"].get<std::string>())["data"].get<std::string>());
    EXPECT_EQ(first["5"], "Fennix Web");
    EXPECT_EQ(first["10"], 1);
    EXPECT_EQ(first["6"], "1");
    EXPECT_EQ(first["16"], "");
    EXPECT_EQ(first["17"], "");
    json second = json::parse(json::parse(requests[1]["body_text"].get<std::string>())["data"].get<std::string>());
    EXPECT_EQ(second["5"], "replaced");
    EXPECT_EQ(second["12"], "text");
    EXPECT_TRUE(product->reportingClosed);
}

TEST_F(EventReportTest, NothingAfterAnAcceptedTerminalEvent) {
    backend.SetScenario({{"routes", {{{"path", "/qdd"}, {"status", 204}}}}});
    auto offer = MakeOffer();
    size_t mark = backend.Mark();
    offer->ReportEvent(4);
    offer->WaitForReports();
    offer->ReportEvent(3);
    offer->WaitForReports();
    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 1u) << "204 is an acceptance, and event 4 closes the package's reporting";
    EXPECT_NE(requests[0]["body_text"].get<std::string>().find("\\\"6\\\":\\\"4\\\""), std::string::npos);
}

TEST_F(EventReportTest, PostsToPort443AndThePathAlone) {
    ConfigurationManager::GetInstance()->eventUrl = L"https://localhost:8080/qdd?k=v&z=1";
    auto offer = MakeOffer();
    size_t mark = backend.Mark();
    offer->ReportEvent(2, {{"13", "X"}});
    offer->WaitForReports();
    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["port"], 443);
    EXPECT_EQ(requests[0]["path"], "/qdd");
}

TEST_F(EventReportTest, WaitForReportsWithoutReportsReturnsAtOnce) {
    auto offer = MakeOffer();
    DWORD start = GetTickCount();
    offer->WaitForReports();
    EXPECT_LT(GetTickCount() - start, 100u);
}

// A failed connection is tried once more 5 s later, like a refused status; the pending count still falls.
TEST_F(EventReportTest, TransportFailureIsTriedOnceMore) {
    backend.SetScenario({{"routes", {{{"path", "/qdd"}, {"fault", "reset"}}}}});
    auto offer = MakeOffer();
    size_t mark = backend.Mark();
    offer->ReportEvent(5);
    offer->WaitForReports();
    EXPECT_EQ(backend.Requests(mark).size(), 2u);
    EXPECT_FALSE(offer->reportingClosed);
}

// A refused status is retried once, 5 s later, with the same body: a second refusal loses the report,
// an acceptance of the retry closes the package's reporting as the first answer would have.
TEST_F(EventReportTest, RefusedReportIsSentOnceMoreFiveSecondsLater) {
    const struct {
        const char* name;
        std::vector<int> statuses;
        bool closed;
    } cases[] = {
        {"refused twice", {500}, false},
        {"refused once, then accepted", {503, 200}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend.SetScenario({{"routes", {{{"path", "/qdd"}, {"statuses", c.statuses}}}}});
        auto offer = MakeOffer();
        size_t mark = backend.Mark();
        offer->ReportEvent(2, {{"13", "FILE EXISTS"}});
        offer->WaitForReports();
        auto requests = backend.Requests(mark);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0]["body_text"], requests[1]["body_text"]);
        double gap = requests[1]["time"].get<double>() - requests[0]["time"].get<double>();
        EXPECT_GE(gap, 4.9);
        EXPECT_LT(gap, 7.0);
        EXPECT_EQ(offer->reportingClosed, c.closed);
    }
}

TEST_F(EventReportTest, PostJsonReturnsAnyStatusAndTheBody) {
    backend.SetScenario({{"routes", {{{"path", "/echo"}, {"status", 418}, {"body", "teapot body"}}}}});
    std::string response = "kept:";
    unsigned long status = 0;
    EXPECT_TRUE(PostJson(L"https://localhost/echo", "{}", {}, response, status));
    EXPECT_EQ(status, 418u);
    EXPECT_EQ(response, "kept:teapot body");
    EXPECT_THROW(PostJson(L"not a url", "{}", {}, response, status), TrelvoException);
}

// A silent server ends the post at the time limit: without an answer it fails, inside the body it keeps what came.
TEST_F(EventReportTest, PostJsonEndsAtTheTimeLimit) {
    ScopedNetLimits limits({2000, 2000, 2000, 2000});
    backend.SetScenario({{"routes",
                          {{{"path", "/silent"}, {"fault", "hang"}, {"hang_seconds", 20}},
                           {{"path", "/stalls"}, {"body", std::string(1000, 'b')}, {"fault", "hang"},
                            {"send_bytes", 300}, {"hang_seconds", 20}}}}});
    std::string response;
    unsigned long status = 0;
    EXPECT_THROW(PostJson(L"https://localhost/silent", "{}", {}, response, status), TrelvoException);
    EXPECT_TRUE(PostJson(L"https://localhost/stalls", "{}", {}, response, status));
    EXPECT_EQ(status, 200u);
    EXPECT_EQ(response, std::string(300, 'b'));
}

// A post follows an https redirect with its body, never one to plain http, and at most five: a 3xx is
// never the answer (a report answered so would count as delivered and be lost).
TEST_F(EventReportTest, PostJsonFollowsHttpsRedirectsOnly) {
    backend.SetScenario({{"routes",
                          {{{"path", "/moved"}, {"redirect", {{"to", "/qdd"}}}},
                           {{"path", "/qdd"}, {"status", 200}, {"body", "landed"}},
                           {{"path", "/down"}, {"redirect", {{"to", "http://localhost/qdd"}}}},
                           {{"path", "/loop"}, {"redirect", {{"to", "/loop"}}}}}}});
    size_t mark = backend.Mark();
    std::string response;
    unsigned long status = 0;
    EXPECT_TRUE(PostJson(L"https://localhost/moved", "{\"a\":1}", {}, response, status));
    EXPECT_EQ(status, 200u);
    EXPECT_EQ(response, "landed");
    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].value("path", ""), "/qdd");
    EXPECT_EQ(requests[1].value("method", ""), "POST");
    EXPECT_EQ(requests[1].value("body_text", ""), "{\"a\":1}");

    mark = backend.Mark();
    EXPECT_THROW(PostJson(L"https://localhost/down", "{}", {}, response, status), TrelvoException);
    for (const auto& request : backend.Requests(mark))
        EXPECT_TRUE(request["tls"].get<bool>());
    mark = backend.Mark();
    EXPECT_THROW(PostJson(L"https://localhost/loop", "{}", {}, response, status), TrelvoException);
    EXPECT_EQ(backend.Requests(mark).size(), 6u);
}

// WinHTTP refuses the automatic-proxy access type before Windows 8.1: the default proxy there.
TEST(ProxyChoice, ByWindowsVersion) {
    const struct {
        DWORD major, minor;
        DWORD byVersion;
    } cases[] = {
        {5, 1, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY},   {6, 0, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY},
        {6, 1, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY},   {6, 2, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY},
        {6, 3, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY}, {10, 0, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY},
        {0, 0, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY},  // the version could not be read
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProxyAccessType(ProxyRule::ByWindowsVersion, c.major, c.minor), c.byVersion) << c.major << "." << c.minor;
        EXPECT_EQ(ProxyAccessType(ProxyRule::Default, c.major, c.minor), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
    }
}
