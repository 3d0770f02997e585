// What the loading worker makes of a configuration response, without the network.
#include <gtest/gtest.h>

#include "backend/LoadingPage.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "install/InstallerRunner.h"
#include "install/TemporaryFolder.h"
#include "tests/offers/OfferJson.h"

using namespace offers_test;

namespace {

// A configuration of its own whose private temporary folder goes with it.
std::shared_ptr<ConfigurationManager> Fresh(const wchar_t* wizardName) {
    return std::shared_ptr<ConfigurationManager>(new ConfigurationManager(wizardName), [](ConfigurationManager* config) {
        if (!config->tempFolder.empty())
            DeleteFolderTree(config->tempFolder);
        delete config;
    });
}

struct Rejection {
    std::string offerId;
    std::string text;
};

struct Outcome {
    std::vector<std::string> admitted;
    std::vector<Rejection> rejected;
    std::vector<std::string> events;  // "+id" as the hook learns of an admission, "-id" for a rejection
    bool configError = false;
};

Outcome Read(const nlohmann::json& response, const std::shared_ptr<ConfigurationManager>& config) {
    Outcome outcome;
    auto packages = ReadConfigurationResponse(response, config, outcome.configError,
                                              [&](CheckedOffer& package, const std::string& text) {
                                                  outcome.rejected.push_back({package.offerId, text});
                                                  outcome.events.push_back("-" + package.offerId);
                                              },
                                              [&](const std::shared_ptr<Package>& package) {
                                                  outcome.events.push_back("+" + package->offerId);
                                              });
    for (const auto& package : packages)
        outcome.admitted.push_back(package->offerId);
    return outcome;
}

nlohmann::json Response(nlohmann::json offers, int maxOffers = 3) {
    return {{"l", "DE"}, {"f", {{"a", "pub7"}, {"m", maxOffers}}}, {"o", std::move(offers)}};
}

}  // namespace

TEST(ConfigurationResponse, AdmitsInResponseOrderAndStopsWhereTheContractSays) {
    const nlohmann::json tooBig = {{"ram", 1ULL << 40}};
    struct Case {
        const char* name;
        nlohmann::json response;
        std::vector<std::string> admitted;
        std::vector<std::string> rejected;
    };
    const std::vector<Case> cases = {
        {"all pass", Response({Offer("a"), Offer("b"), Offer("c")}), {"a", "b", "c"}, {}},
        {"a rejected offer is left out", Response({Offer("a"), Offer("b", tooBig), Offer("c")}), {"a", "c"}, {"b"}},
        {"exclusive admission ends the loop", Response({Offer("a", {{"exc", true}}), Offer("b")}), {"a"}, {}},
        {"the limit ends the loop", Response({Offer("a"), Offer("b"), Offer("c")}, 2), {"a", "b"}, {}},
        {"no offers member", {{"l", "DE"}, {"f", {{"a", "pub7"}, {"m", 3}}}}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = Fresh(L"ISV");
        Outcome outcome = Read(c.response, config);
        EXPECT_EQ(outcome.admitted, c.admitted);
        std::vector<std::string> rejected;
        for (const auto& r : outcome.rejected)
            rejected.push_back(r.offerId);
        EXPECT_EQ(rejected, c.rejected);
        EXPECT_EQ(config->offerCount, static_cast<int>(c.admitted.size()));
        EXPECT_EQ(config->countryCode, "DE");
        EXPECT_EQ(config->publisherId, "pub7");
        EXPECT_FALSE(outcome.configError);
    }
}

// The loading page starts an offer's image as soon as the offer is in, while later offers are still checked.
TEST(ConfigurationResponse, EachOfferIsHandedOnAsItIsAdmitted) {
    auto config = Fresh(L"ISV");
    Outcome outcome = Read(Response({Offer("a"), Offer("b", {{"ram", 1ULL << 40}}), Offer("c"), Offer("d")}, 2), config);
    EXPECT_EQ(outcome.events, (std::vector<std::string>{"+a", "-b", "+c"}));
}

TEST(ConfigurationResponse, RejectionCarriesTheRuleText) {
    auto config = Fresh(L"ISV");
    Outcome outcome = Read(Response({Offer("a", {{"ram", 1ULL << 40}})}), config);
    ASSERT_EQ(outcome.rejected.size(), 1u);
    EXPECT_EQ(outcome.rejected[0].text, "NOT ENOUGH RAM");
}

TEST(ConfigurationResponse, ChannelThatCarriesNoOffersBuildsNone) {
    auto config = Fresh(L"ISV");
    config->channel = L"00xA";
    Outcome outcome = Read(Response({Offer("a")}), config);
    EXPECT_TRUE(outcome.admitted.empty());
    EXPECT_EQ(config->maxOffers, 0);
    // Only exactly that text.
    config->channel = L"00xa";
    EXPECT_EQ(Read(Response({Offer("b")}), config).admitted, std::vector<std::string>{"b"});
}

TEST(ConfigurationResponse, MalformedResponsesFailTheWorker) {
    auto config = Fresh(L"ISV");
    bool configError = false;
    // Offers without a limit, an offer without its name, a limit of the wrong type.
    EXPECT_ANY_THROW(ReadConfigurationResponse({{"o", {Offer("a")}}}, config, configError));
    nlohmann::json nameless = Offer("a");
    nameless["ps"].erase("dn");
    EXPECT_ANY_THROW(ReadConfigurationResponse(Response({nameless}), config, configError));
    EXPECT_ANY_THROW(ReadConfigurationResponse({{"f", {{"m", "3"}}}, {"o", nlohmann::json::array()}}, config, configError));
}

TEST(ConfigurationResponse, DlmProduct) {
    {
        SCOPED_TRACE("complete product, no file name");
        auto config = Fresh(L"DLM");
        Outcome outcome = Read({{"i", {{"ct", "Tool"}, {"cu", "https://localhost/tool"}, {"ch", "c9"}, {"cb", "xb"}}}}, config);
        EXPECT_FALSE(outcome.configError);
        EXPECT_EQ(config->productFileName, L"Tool.exe");
        EXPECT_EQ(config->channel, L"c9");
        EXPECT_EQ(config->ispbValue, "xb");
        EXPECT_EQ(config->productLogoUrl, L"");
    }
    {
        SCOPED_TRACE("empty address");
        auto config = Fresh(L"DLM");
        Outcome outcome = Read({{"i", {{"ct", "Tool"}, {"cu", ""}}}, {"f", {{"a", "p"}, {"m", 3}}}, {"o", {Offer("a")}}}, config);
        EXPECT_TRUE(outcome.configError);
        EXPECT_EQ(config->productTitle, L"Tool");
        EXPECT_TRUE(outcome.admitted.empty());
    }
    {
        SCOPED_TRACE("no product object");
        auto config = Fresh(L"DLM");
        bool configError = false;
        EXPECT_ANY_THROW(ReadConfigurationResponse(nlohmann::json::object(), config, configError));
    }
}
