#include <gtest/gtest.h>

#include "eligibility/FrequencyChecks.h"

namespace {

// Stands in for the base-62 encoder: the rules only compare its output.
std::string Encode(const std::string& id) { return "b62(" + id + ")"; }

struct Admitted {
    std::vector<std::string> ids;
    std::vector<int32_t> maxAfter;
    std::vector<std::vector<std::string>> allowedAfter;

    void Add(const std::string& id, int32_t limit = 2147483647, std::vector<std::string> after = {}) {
        ids.push_back(id);
        maxAfter.push_back(limit);
        allowedAfter.push_back(std::move(after));
    }
    std::vector<AdmittedOfferRules> Rules() const {
        std::vector<AdmittedOfferRules> rules;
        for (size_t i = 0; i < ids.size(); ++i)
            rules.push_back({ids[i], static_cast<int>(i), maxAfter[i], &allowedAfter[i]});
        return rules;
    }
};

RuleResult Check(const CandidateOfferRules& offer, const Admitted& admitted, int extraSlots = 0) {
    return CheckFrequency(offer, static_cast<int32_t>(admitted.ids.size()), admitted.ids, extraSlots,
                          admitted.Rules(), Encode);
}

}  // namespace

TEST(CheckFrequency, DefaultsNeverBlock) {
    Admitted admitted;
    admitted.Add("a");
    admitted.Add("b");
    EXPECT_EQ(Check({"c"}, admitted), std::nullopt);
    EXPECT_EQ(Check({"c"}, Admitted()), std::nullopt);
}

TEST(CheckFrequency, MaxBefore) {
    Admitted admitted;
    EXPECT_EQ(Check({"p", 0}, admitted), std::nullopt);
    admitted.Add("a");
    EXPECT_EQ(Check({"p", 0}, admitted), RuleResult("SHOWED 1 PRODUCTS BUT ONLY 0 ALLOWED BEFORE"));
    EXPECT_EQ(Check({"p", 1}, admitted), std::nullopt);
    EXPECT_EQ(Check({"p", -3}, Admitted()), RuleResult("SHOWED 0 PRODUCTS BUT ONLY -3 ALLOWED BEFORE"));
}

TEST(CheckFrequency, AllowedBeforeNamesTheOthers) {
    Admitted admitted;
    admitted.Add("a");
    admitted.Add("b");
    admitted.Add("c");
    const std::vector<std::string> onlyA = {Encode("a")};
    EXPECT_EQ(Check({"p", 2147483647, &onlyA}, admitted), RuleResult("NOT ALLOWED AFTER b,c"));
    const std::vector<std::string> all = {Encode("c"), Encode("b"), Encode("a")};
    EXPECT_EQ(Check({"p", 2147483647, &all}, admitted), std::nullopt);
    const std::vector<std::string> plain = {"a", "b", "c"};
    EXPECT_EQ(Check({"p", 2147483647, &plain}, admitted), RuleResult("NOT ALLOWED AFTER a,b,c"))
        << "entries are compared with the encoded form";
}

TEST(CheckFrequency, MaxAfterOfAnAdmittedOfferUnlessExtraSlots) {
    Admitted admitted;
    admitted.Add("a", 0);
    EXPECT_EQ(Check({"p"}, admitted), RuleResult("ONLY 0 PRODUCTS ALLOWED TO BE SHOWN AFTER a"));
    EXPECT_EQ(Check({"p"}, admitted, 1), std::nullopt);

    Admitted two;
    two.Add("a", 1);
    EXPECT_EQ(Check({"p"}, two), std::nullopt);
    two.Add("b");
    EXPECT_EQ(Check({"p"}, two), RuleResult("ONLY 1 PRODUCTS ALLOWED TO BE SHOWN AFTER a"));

    Admitted negative;
    negative.Add("a", -1);
    EXPECT_EQ(Check({"p"}, negative), std::nullopt) << "compared unsigned: a negative limit never blocks";
}

TEST(CheckFrequency, AllowedAfterOfAdmittedOffers) {
    Admitted admitted;
    admitted.Add("a", 2147483647, {Encode("x")});
    admitted.Add("b", 2147483647, {Encode("p")});
    admitted.Add("c", 2147483647, {Encode("y")});
    EXPECT_EQ(Check({"p"}, admitted), RuleResult("NOT ALLOWED AFTER a,c"));
    EXPECT_EQ(Check({"p"}, admitted, 2), std::nullopt) << "skipped while extra slots exist";
    EXPECT_EQ(Check({"x"}, admitted), RuleResult("NOT ALLOWED AFTER b,c"));
}
