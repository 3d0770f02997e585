#include <windows.h>

#include <gtest/gtest.h>

#include "backend/ApiManager.h"
#include "config/ConfigurationManager.h"
#include "events/TrelvoException.h"
#include "tests/support/Prefix.h"
#include "tests/support/TestBackend.h"

using nlohmann::json;
using namespace std::chrono_literals;

namespace {

class ConfigurationRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto config = ConfigurationManager::GetInstance();
        config->configUrl = L"https://localhost/o";
        config->localeName = L"es-ES";
    }
    TestBackend backend;
};

}  // namespace

TEST_F(ConfigurationRequestTest, BodyIsByteExactAndTheAnswerParsed) {
    backend.SetScenario({{"config", {{"l", "US"}, {"f", {{"m", 2}}}, {"o", json::array()}}}});
    size_t mark = backend.Mark();
    auto answer = ApiManager(10ms).RequestConfiguration();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["l"], "US");
    EXPECT_EQ((*answer)["f"]["m"], 2);

    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"], "/o");
    EXPECT_EQ(requests[0]["body_text"], "{\"a\":\"Quorvane\",\"i\":\"Fennix_Web\",\"l\":\"es\",\"o\":\"" +
                                            std::string(testing_support::kPrefixWindowsVersion) +
                                            "\",\"plv\":\"2.7.0.318\",\"prv\":\"0.1\",\"s\":\"Fennix_Web_CPP\",\"u\":\"\"}");
    EXPECT_EQ(HeaderNames(requests[0])[0], "Expect") << "no signature on the configuration request";
    EXPECT_EQ(HeaderValue(requests[0], "Content-Type"), "application/json");

    ConfigurationManager::GetInstance()->localeName = L"";
    EXPECT_NE(ApiManager::BuildRequestBody().find("\"l\":\"\","), std::string::npos);
}

// Failed statuses are retried; the last answer's body is parsed whatever its status.
TEST_F(ConfigurationRequestTest, RetriesAndWhatCountsAsAnAnswer) {
    struct Case {
        const char* name;
        json route;
        size_t requests;
        const char* outcome;  // "parse_error", "trelvo", or the expected "l" of the answer
    };
    const Case cases[] = {
        {"500 three times with an HTML page", {{"path", "/o"}, {"status", 500}, {"fault", "html"}}, 3, "parse_error"},
        {"500 three times with JSON still returns it", {{"path", "/o"}, {"status", 500}, {"body", {{"l", "ZZ"}}}}, 3,
         "ZZ"},
        {"whitespace only", {{"path", "/o"}, {"body", " \r\n\t \n"}}, 1, "trelvo"},
        {"trailing text after the value", {{"path", "/o"}, {"body", "{\"l\":\"US\"} x"}}, 1, "parse_error"},
        {"a dropped connection ends at once", {{"path", "/o"}, {"fault", "reset"}}, 1, "trelvo"},
        {"a 3xx is never the answer", {{"path", "/o"}, {"status", 302}, {"body", "{\"l\":\"US\"}"}}, 1, "trelvo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend.SetScenario({{"routes", {c.route}}});
        size_t mark = backend.Mark();
        std::string outcome;
        try {
            auto answer = ApiManager(10ms).RequestConfiguration();
            outcome = (*answer)["l"].get<std::string>();
        } catch (const json::parse_error&) {
            outcome = "parse_error";
        } catch (const TrelvoException&) {
            outcome = "trelvo";
        }
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(backend.Requests(mark).size(), c.requests);
    }
}

// The real pause: 503, 503, 200 takes three attempts 5 s apart and returns the third body.
TEST_F(ConfigurationRequestTest, ThirdAttemptAfterTwoFiveSecondPauses) {
    backend.SetScenario({{"routes",
                          {{{"path", "/o"},
                            {"sequence",
                             {{{"status", 503}, {"fault", "html"}},
                              {{"status", 503}, {"fault", "html"}},
                              {{"status", 200}, {"body", {{"l", "BR"}}}}}}}}}});
    size_t mark = backend.Mark();
    auto answer = ApiManager().RequestConfiguration();
    EXPECT_EQ((*answer)["l"], "BR");
    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 3u);
    for (int i = 1; i < 3; ++i) {
        double gap = requests[i]["time"].get<double>() - requests[i - 1]["time"].get<double>();
        EXPECT_GE(gap, 4.9);
        EXPECT_LT(gap, 7.0);
    }
}

TEST(DownloadTag, FromProgramPath) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Downloads\\Setup_ab-1234.exe", L"ab-1234"},
        {L"C:\\Downloads\\Setup_1234.exe", L""},
        {L"C:\\Downloads\\Setup_abc-12345.exe", L""},
        {L"C:\\Downloads\\Setup.exe", L""},
        {L"C:\\my_dir\\Setup.exe", L""},
        {L"C:\\Downloads\\Setup_ab-1234", L"ab-1234"},
        {L"C:\\Downloads\\Setup_abcdefg.exe", L""},
    };
    for (const auto& [path, tag] : cases)
        EXPECT_EQ(DownloadTagFromPath(path), tag) << path.c_str();
}
