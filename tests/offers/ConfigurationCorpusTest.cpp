// A corpus of hostile configuration responses, generated from the demo response, through the loading
// worker's own reading in this process: every one ends, within a bound, in admitted offers or in an
// error the worker turns into "no offers"; nothing crashes and nothing hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>

#include "backend/LoadingPage.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "install/TemporaryFolder.h"

using nlohmann::json;

namespace {

json DemoResponse() {
    const char* path = std::getenv("FENNIX_DEMO_SCENARIO");
    std::ifstream file(path ? path : "");
    std::stringstream text;
    text << file.rdbuf();
    json response = json::parse(text.str()).at("config");
    // One offer more that carries most rule keys, so that each of them gets its wrong values too.
    response["o"].push_back({{"ad", {{"o", "rules"}, {"f", "demo"}}},
                             {"ps",
                              {{"i", "offer1.png"}, {"dn", "Rules"}, {"u", "installers/r.exe"}, {"p", "/S"}, {"v", 4},
                               {"ram", 1}, {"disk", 1}, {"cpu", 1}, {"ov", 5}, {"pv", "1"}, {"win64", false},
                               {"ife", json::array({"C:\\\\windows"})}, {"a", json::array({"none.exe"})},
                               {"x", 0}, {"exc", false}, {"sha256", std::string(64, 'a')}, {"size", 10},
                               {"pn", true}, {"cfs", {{"mb", 5}, {"ma", 5}, {"sied", false}}}}}});
    return response;
}

// Every place in the document, as JSON pointers.
void CollectPointers(const json& value, const json::json_pointer& at, std::vector<json::json_pointer>& out) {
    if (!at.empty())
        out.push_back(at);
    if (value.is_object())
        for (const auto& [key, member] : value.items())
            CollectPointers(member, at / key, out);
    else if (value.is_array())
        for (size_t i = 0; i < value.size(); ++i)
            CollectPointers(value[i], at / i, out);
}

json Nested(int depth) {
    json value = 1;
    for (int i = 0; i < depth; ++i)
        value = json::array({value});
    return value;
}

std::vector<json> Corpus() {
    const json seed = DemoResponse();
    std::vector<json::json_pointer> pointers;
    CollectPointers(seed, json::json_pointer(), pointers);
    const std::string megabyte(1 << 20, 'x');
    const std::vector<json> wrongValues = {
        nullptr, true, 0, -1, 1.5, -2.5e300, json(UINT64_MAX), json(INT64_MIN), "", "text", megabyte,
        std::string("\xC3\x28\xFF invalid UTF-8"), json::array(), json::object(), Nested(200),
    };
    std::vector<json> corpus;
    for (const auto& pointer : pointers) {
        for (const auto& wrong : wrongValues) {
            json response = seed;
            response[pointer] = wrong;
            corpus.push_back(std::move(response));
        }
        json missing = seed;
        json& parent = missing[pointer.parent_pointer()];
        if (parent.is_object())
            parent.erase(pointer.back());
        else
            parent.erase(static_cast<size_t>(std::stoul(pointer.back())));
        corpus.push_back(std::move(missing));
    }
    for (json whole : {json(nullptr), json::array(), json(5), json("o"), json::object()})
        corpus.push_back(whole);
    json unknown = seed;
    unknown["zz"] = {{"unknown", true}};
    unknown["o"][0]["ps"]["zz"] = Nested(50);
    corpus.push_back(unknown);
    json empty = seed;
    empty["o"] = json::array();
    corpus.push_back(empty);
    json huge = seed;
    for (int i = 0; i < 10000; ++i)
        huge["o"].push_back(seed["o"][i % 3]);
    corpus.push_back(huge);
    // Duplicate keys exist only in text: the parser keeps the last one.
    corpus.push_back(json::parse(R"({"l":"US","f":{"a":"a","m":3,"m":-7},"o":[],"o":[{"ad":{"o":"d","f":"f"},"ps":{"i":"i","dn":"d","u":"u","u":7}}]})"));
    return corpus;
}

}  // namespace

TEST(ConfigurationCorpus, EveryResponseEndsInOffersOrTheDocumentedFailure) {
    const std::vector<json> corpus = Corpus();
    ASSERT_GE(corpus.size(), 1000u);
    auto config = std::make_shared<ConfigurationManager>(L"ISV");
    size_t admittedRuns = 0, failures = 0;
    for (size_t i = 0; i < corpus.size(); ++i) {
        config->extraOfferSlots = 0;
        config->productPayload = {};
        auto run = std::async(std::launch::async, [&] {
            bool configError = false;
            try {
                const auto admitted = ReadConfigurationResponse(corpus[i], config, configError,
                                                                 [](CheckedOffer&, const std::string&) {});
                return admitted.size() <= 100 ? std::string("admitted") : std::string("too many admitted");
            } catch (const std::exception&) {
                // A missing or mistyped member, a number beyond its field, text that is not UTF-8: the
                // loading worker turns each into "no offers" (the DLM family's configuration error).
                return std::string("refused");
            }
        });
        ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "case " << i << " hangs";
        const std::string outcome = run.get();  // anything else escapes here and fails the test
        ASSERT_NE(outcome, "too many admitted") << "case " << i;
        (outcome == "admitted" ? admittedRuns : failures)++;
    }
    EXPECT_GT(admittedRuns, 0u);
    EXPECT_GT(failures, 0u);
    DeleteFolderTree(config->tempFolder);
}
