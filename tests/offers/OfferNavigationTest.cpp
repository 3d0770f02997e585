// Which product pages are skipped after an answer, and with which reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "app/OfferNavigation.h"
#include "tests/offers/OfferJson.h"

using namespace offers_test;

namespace {

// Language, loading, license, three product pages, download, finish.
constexpr std::size_t kFirstProductPage = 3;

struct Answer {
    bool skipAll = false;
    bool declined = false;  // offerDeclined in the configuration
};

struct Case {
    const char* name;
    nlohmann::json cfs[3];
    Answer answer;
    int maxOffers;
    std::size_t expectedCount;
    std::vector<std::string> expectedReasons;
    std::vector<bool> expectedReported;
};

std::vector<std::shared_ptr<Package>> Offers(const nlohmann::json (&cfs)[3]) {
    std::vector<std::shared_ptr<Package>> offers;
    for (int i = 0; i < 3; ++i)
        offers.push_back(MakeOffer(PartnerOffer("o" + std::to_string(i), cfs[i]), i));
    return offers;
}

bool IsProductPage(std::size_t index) { return index >= kFirstProductPage && index < kFirstProductPage + 3; }

}  // namespace

TEST(OfferNavigation, AnswerOnTheFirstOfThreeProductPages) {
    const nlohmann::json none = nlohmann::json::object();
    const std::vector<Case> cases = {
        {"accept, no rules", {none, none, none}, {}, 3, 0, {}, {}},
        {"skip all", {none, none, none}, {true, true}, 3, 2, {"SAC", "SAC"}, {true, true}},
        {"skip all beyond the limit is not reported", {none, none, none}, {true, true}, 2, 2, {"SAC", "SAC"}, {true, false}},
        {"decline of a saad offer", {{{"saad", true}}, none, none}, {false, true}, 3, 2, {"DOD", "DOD"}, {true, true}},
        {"decline of an ordinary offer", {none, none, none}, {false, true}, 3, 0, {}, {}},
        {"mo 1 stops the rest", {{{"mo", 1}}, none, none}, {}, 3, 2, {"MOF", "MOF"}, {true, true}},
        {"mo 2 lets one more through", {{{"mo", 2}}, none, none}, {}, 3, 0, {}, {}},
        {"mo at its default", {{{"mo", INT_MAX}}, none, none}, {}, 3, 0, {}, {}},
        {"sied after a decline", {none, {{"sied", true}}, none}, {false, true}, 3, 1, {"SED"}, {true}},
        {"sied without a decline", {none, {{"sied", true}}, none}, {}, 3, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto offers = Offers(c.cfs);
        OfferNavigation state;
        RecordAnswer(state,
                     c.answer.skipAll    ? OfferAnswer::SkipAll
                     : c.answer.declined ? OfferAnswer::Decline
                                         : OfferAnswer::Accept,
                     offers);
        int extraSlots = 1;
        std::vector<SkippedOffer> skipped;
        const std::size_t count = CountSkippedProductPages(IsProductPage, kFirstProductPage, offers, state,
                                                           c.answer.declined, c.maxOffers, extraSlots, skipped);
        EXPECT_EQ(count, c.expectedCount);
        std::vector<std::string> reasons;
        std::vector<bool> reported;
        for (const auto& skip : skipped) {
            reasons.push_back(skip.reason);
            reported.push_back(skip.reported);
        }
        EXPECT_EQ(reasons, c.expectedReasons);
        EXPECT_EQ(reported, c.expectedReported);
        // The offer index ends on the product page shown next, or on the last one when none is.
        EXPECT_EQ(state.offerIndex, std::min(static_cast<int>(count) + 1, 2));
    }
}

TEST(OfferNavigation, OfferSkippedAfterADeclineStopsLimitingAndTakesASlot) {
    const nlohmann::json none = nlohmann::json::object();
    // The second offer would stop the third (mo 2), but it is skipped after the decline.
    auto offers = Offers({none, {{"sied", true}, {"mo", 2}}, none});
    OfferNavigation state;
    int extraSlots = 2;
    std::vector<SkippedOffer> skipped;
    EXPECT_EQ(CountSkippedProductPages(IsProductPage, kFirstProductPage, offers, state, true, 3, extraSlots, skipped), 1u);
    EXPECT_EQ(offers[1]->rules.partner.frequencyRules.maxShownWith, INT_MAX);
    EXPECT_EQ(extraSlots, 1);
    EXPECT_FALSE(state.offerLimitReached);

    // Accept on the third page: the download page follows, nothing is skipped or reported.
    skipped.clear();
    EXPECT_EQ(CountSkippedProductPages(IsProductPage, kFirstProductPage + 2, offers, state, true, 3, extraSlots, skipped), 0u);
    EXPECT_TRUE(skipped.empty());
}

TEST(OfferNavigation, LaterAnswersKeepTheFlagsOfEarlierOnes) {
    const nlohmann::json none = nlohmann::json::object();
    // Offer 1 limits to two pages shown together; the third offer is stopped once the second is answered.
    auto offers = Offers({none, {{"mo", 2}}, none});
    OfferNavigation state;
    int extraSlots = 0;
    std::vector<SkippedOffer> skipped;
    EXPECT_EQ(CountSkippedProductPages(IsProductPage, kFirstProductPage, offers, state, false, 3, extraSlots, skipped), 0u);
    EXPECT_EQ(CountSkippedProductPages(IsProductPage, kFirstProductPage + 1, offers, state, false, 3, extraSlots, skipped), 1u);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].offer, offers[2]);
    EXPECT_EQ(skipped[0].reason, "MOF");
}

TEST(OfferNavigation, PageListLongerThanTheOfferListSkipsNothingMore) {
    auto offers = Offers({nlohmann::json::object(), nlohmann::json::object(), nlohmann::json::object()});
    offers.resize(1);
    OfferNavigation state;
    RecordAnswer(state, OfferAnswer::SkipAll, offers);
    int extraSlots = 0;
    std::vector<SkippedOffer> skipped;
    EXPECT_EQ(CountSkippedProductPages(IsProductPage, kFirstProductPage, offers, state, true, 3, extraSlots, skipped), 0u);
}
