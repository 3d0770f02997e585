#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "backend/LoadingPage.h"
#include "backend/Package.h"
#include "backend/PackageParameters.h"
#include "config/ConfigurationManager.h"
#include "eligibility/BrowserChecks.h"
#include "eligibility/EligibilityChecker.h"
#include "events/EventContext.h"
#include "tests/eligibility/RegistryScratch.h"
#include "win32/Handle.h"

using nlohmann::json;

namespace {

// An offer as the backend sends it, with the given rule object.
json Offer(const std::string& id, json ps = json::object()) {
    ps["i"] = "image.png";
    ps["dn"] = "Offer " + id;
    ps["u"] = "https://localhost/" + id + ".exe";
    return {{"ad", {{"o", id}, {"f", "flow"}}}, {"ps", ps}};
}

std::string B62(const std::string& id) {
    std::string text;
    EncodeBase62(id, text);
    return text;
}

DWORD ProcessorMhz() {
    DWORD mhz = 0;
    DWORD size = sizeof mhz;
    UniqueRegKey key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                  KEY_READ | KEY_WOW64_64KEY, key.put());
    RegQueryValueExA(key.get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size);
    return mhz;
}

// Runs the loading page's offer loop with a checker that records its reports instead of sending them.
class OfferLoop : public scratch::RegistryFixture {
protected:
    void SetUp() override {
        RegistryFixture::SetUp();
        config = std::make_shared<ConfigurationManager>(L"ISV");
        RemoveDirectoryW(config->tempFolder.c_str());
    }

    std::unique_ptr<EligibilityChecker> MakeChecker(int maxOffers, std::time_t now = 0) {
        EligibilityChecker::Clock clock;
        if (now)
            clock = [now] { return now; };
        return std::make_unique<EligibilityChecker>(
            maxOffers, config,
            [this](CheckedOffer& package, const std::string& text) { reports.push_back(package.offerId + ": " + text); },
            clock);
    }

    // Admitted offer ids, through the loading page's own loop over a configuration response.
    std::vector<std::string> Run(int maxOffers, const std::vector<json>& offers) {
        const json response = {{"f", {{"a", "pub"}, {"m", maxOffers}}}, {"o", offers}};
        bool configError = false;
        std::vector<std::string> ids;
        for (const auto& package : ReadConfigurationResponse(
                 response, config, configError,
                 [this](CheckedOffer& offer, const std::string& text) { reports.push_back(offer.offerId + ": " + text); }))
            ids.push_back(package->offerId);
        EXPECT_FALSE(configError);
        return ids;
    }

    std::shared_ptr<Package> Make(const json& offer, int index = 0) {
        return std::make_shared<Package>(MakeEventContext(), offer, false, "", index);
    }

    std::shared_ptr<ConfigurationManager> config;
    std::unique_ptr<EligibilityChecker> checker;
    std::vector<std::string> reports;
};

// Packages reach the run's configuration, which makes a private folder: remove it when the tests end.
class RunFolderCleanup : public ::testing::Environment {
public:
    void TearDown() override { RemoveDirectoryW(ConfigurationManager::GetInstance()->tempFolder.c_str()); }
};
const auto* const runFolderCleanup = ::testing::AddGlobalTestEnvironment(new RunFolderCleanup);

using Ids = std::vector<std::string>;
using Reports = std::vector<std::string>;

}  // namespace

TEST_F(OfferLoop, NoOfferAllowedEndsTheLoopSilently) {
    EXPECT_EQ(Run(0, {Offer("a"), Offer("b")}), Ids{});
    EXPECT_EQ(reports, Reports{});
}

TEST_F(OfferLoop, Verticals) {
    EXPECT_EQ(Run(5, {Offer("a"), Offer("b"), Offer("c", {{"v", 3}}), Offer("d", {{"v", 3}})}), (Ids{"a", "c"}));
    EXPECT_EQ(reports, (Reports{"b: SAME VERTICAL OFFER ALREADY PRESENT", "d: SAME VERTICAL OFFER ALREADY PRESENT"}));

    reports.clear();
    EXPECT_EQ(Run(5, {Offer("a", {{"v", -1}}), Offer("b", {{"v", -1}}), Offer("c")}), (Ids{"a", "c"}));
    EXPECT_EQ(reports, (Reports{"b: MULTIPLE OFFERS W/O VERTICAL"}));
}

TEST_F(OfferLoop, Exclusivity) {
    // Offer b would clash with a's vertical: the loop ends before it is checked or reported.
    EXPECT_EQ(Run(5, {Offer("a", {{"exc", true}}), Offer("b"), Offer("c", {{"v", 2}})}), Ids{"a"});
    EXPECT_EQ(reports, Reports{});

    EXPECT_EQ(Run(5, {Offer("a"), Offer("b", {{"v", 1}, {"exc", true}}), Offer("c", {{"v", 2}})}), (Ids{"a", "c"}));
    EXPECT_EQ(reports, Reports{"b: EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT"});
}

TEST_F(OfferLoop, ExtraSlotFromSecondAdmittedOfferOnly) {
    const json sied = {{"pn", true}, {"cfs", {{"sied", true}}}};
    json second = sied;
    second["v"] = 2;
    json first = sied;
    first["v"] = 1;

    EXPECT_EQ(Run(2, {Offer("a", {{"v", 1}}), Offer("b", second), Offer("c", {{"v", 3}}), Offer("d", {{"v", 4}})}),
              (Ids{"a", "b", "c"}));
    EXPECT_EQ(config->extraOfferSlots, 1);

    config->extraOfferSlots = 0;
    EXPECT_EQ(Run(2, {Offer("a", first), Offer("b", {{"v", 2}}), Offer("c", {{"v", 3}})}), (Ids{"a", "b"}));
    EXPECT_EQ(config->extraOfferSlots, 0);
    EXPECT_EQ(reports, Reports{});
}

TEST_F(OfferLoop, RejectionsReportedOnlyBelowTheRegularMaximum) {
    json second = {{"v", 2}, {"pn", true}, {"cfs", {{"sied", true}}}};
    // With the extra slot open, a rejection after the regular two admissions is silent.
    EXPECT_EQ(Run(2, {Offer("a", {{"v", 1}}), Offer("b", second), Offer("c", {{"v", 1}}), Offer("d", {{"v", 4}})}),
              (Ids{"a", "b", "d"}));
    EXPECT_EQ(reports, Reports{});

    // Below the regular maximum a rejection is reported even while extra slots exist.
    config->extraOfferSlots = 1;
    EXPECT_EQ(Run(2, {Offer("a"), Offer("b"), Offer("c", {{"v", 1}})}), (Ids{"a", "c"}));
    EXPECT_EQ(reports, Reports{"b: SAME VERTICAL OFFER ALREADY PRESENT"});
}

TEST_F(OfferLoop, FrequencyRulesOfPartnerOffers) {
    EXPECT_EQ(Run(5, {Offer("a", {{"v", 1}}), Offer("p", {{"pn", true}, {"cfs", {{"mb", 0}}}})}), Ids{"a"});
    EXPECT_EQ(reports, Reports{"p: SHOWED 1 PRODUCTS BUT ONLY 0 ALLOWED BEFORE"});

    reports.clear();
    const json onlyA = {{"pn", true}, {"v", 3}, {"cfs", {{"ab", {B62("a")}}}}};
    EXPECT_EQ(Run(5, {Offer("a", {{"v", 1}}), Offer("b", {{"v", 2}}), Offer("p", onlyA)}), (Ids{"a", "b"}));
    EXPECT_EQ(reports, Reports{"p: NOT ALLOWED AFTER b"});

    reports.clear();
    const json nothingAfter = {{"pn", true}, {"v", 1}, {"cfs", {{"ma", 0}}}};
    EXPECT_EQ(Run(5, {Offer("a", nothingAfter), Offer("b", {{"v", 2}})}), Ids{"a"});
    EXPECT_EQ(reports, Reports{"b: ONLY 0 PRODUCTS ALLOWED TO BE SHOWN AFTER a"});

    reports.clear();
    const json onlyQAfter = {{"pn", true}, {"v", 1}, {"cfs", {{"aa", {B62("q")}}}}};
    EXPECT_EQ(Run(5, {Offer("a", onlyQAfter), Offer("b", {{"v", 2}}), Offer("q", {{"v", 3}})}), (Ids{"a", "q"}));
    EXPECT_EQ(reports, Reports{"b: NOT ALLOWED AFTER a"});
}

// Each row's offer also breaks every later row's rule: only the row's own text may be reported.
TEST_F(OfferLoop, FirstBlockingRuleInOrderIsTheOnlyOneReported) {
    const std::string missing = "missing" + std::to_string(GetCurrentProcessId()) + std::to_string(GetTickCount());
    const std::string cpuKey = "hklm\\hardware\\description\\system\\centralprocessor\\0";
    const std::wstring noShowKey = L"Software\\" + vendor + L"\\NoShow";
    scratch::SetDword(HKEY_LOCAL_MACHINE, noShowKey, scratch::kProgramView, BrandValueName(config->brandName),
                      29991231);
    const std::string noShow(noShowKey.begin(), noShowKey.end());

    struct Row {
        json rule;
        const char* text;
    };
    std::vector<Row> rows = {
        {{{"r", {cpuKey}}}, "REGISTRY KEY EXISTS"},
        {{{"ir", {missing}}}, "NONE OF THE REGISTRY KEYS EXISTS"},
        {{{"rvn", {cpuKey + "\\~mhz"}}}, "REGISTRY VALUE EXISTS"},
        {{{"rvd", {cpuKey + "\\~mhz\\" + std::to_string(ProcessorMhz())}}}, "REGISTRY VALUE DATA MATCHES"},
        {{{"disk", uint64_t{1} << 40}}, "NOT ENOUGH DISK SPACE"},
        {{{"ram", uint64_t{1} << 40}}, "NOT ENOUGH RAM"},
        {{{"cpu", uint64_t{1} << 32}}, "NOT ENOUGH CPU"},
        {{{"ov", 64}}, "UNSUPPORTED OS VERSION"},
        {{{"pv", "99"}}, "UNSUPPORTED PLATFORM VERSION"},
        {{{"win64", true}}, "64 BIT OS REQUIRED"},
        {{{"fe", {"C:\\windows"}}}, "FILE EXISTS"},
        {{{"ife", {"C:\\" + missing}}}, "NONE OF THE FILES EXISTS"},
        {{{"a", {"eligibility_checker_test"}}}, "APPLICATION RUNNING"},
        {{{"iapp", {missing + ".exe"}}}, "REGISTRY INCLUDE APP NOT FOUND"},
        {{{"cmdu",
           {{{"utr", "HKEY_LOCAL_MACHINE"}, {"utk", "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"},
             {"utvn", "~MHz"}, {"utvt", "dword"}, {"umd", 3}}}}},
         "MIN DAYS UNINSTALL CHECKER"},
        {{{"x", 12}}, "NO CHROME"},
        {{{"pn", true}, {"pnr", noShow}}, "PN NO SHOW"},
    };
    // 64-bit Windows passes the 64-bit rule.
    if (scratch::ExpectWindows64())
        rows.erase(std::find_if(rows.begin(), rows.end(),
                                [](const Row& row) { return std::string(row.text) == "64 BIT OS REQUIRED"; }));

    for (size_t first = 0; first < rows.size(); ++first) {
        json ps = json::object();
        for (size_t i = first; i < rows.size(); ++i)
            for (const auto& [key, value] : rows[i].rule.items())
                ps[key] = value;
        reports.clear();
        auto checker = MakeChecker(5, 1000);  // the clock makes any stamp recent and the no-show date far
        bool limit = false;
        EXPECT_FALSE(checker->IsEligible(Make(Offer("o", ps)), limit, {})) << rows[first].text;
        EXPECT_FALSE(limit);
        EXPECT_EQ(reports, Reports{std::string("o: ") + rows[first].text});
    }

    // The vertical clash comes before all of them.
    reports.clear();
    json ps = json::object();
    for (const auto& row : rows)
        for (const auto& [key, value] : row.rule.items())
            ps[key] = value;
    ps["v"] = 7;
    auto checker = MakeChecker(5, 1000);
    checker->RecordAdmission(*Make(Offer("first", {{"v", 7}})));
    bool limit = false;
    EXPECT_FALSE(checker->IsEligible(Make(Offer("o", ps), 1), limit, {}));
    EXPECT_EQ(reports, Reports{"o: SAME VERTICAL OFFER ALREADY PRESENT"});
}

TEST_F(OfferLoop, MachineFactsAndSubkeyListsAreReadOncePerChecker) {
    const std::string unknown = "unknownvendor" + std::to_string(GetTickCount());
    auto checker = MakeChecker(5);
    bool limit = false;
    EXPECT_TRUE(checker->IsEligible(Make(Offer("a", {{"v", 1}, {"ram", 1}, {"r", {unknown + "a"}}})), limit, {}));
    const unsigned long opens = RegistryOpenCount();
    EXPECT_TRUE(checker->IsEligible(Make(Offer("b", {{"v", 2}, {"ram", 2}, {"r", {unknown + "b\\x"}}}), 1), limit, {}));
    EXPECT_EQ(checker->machine.Reads().ram, 1);
    EXPECT_EQ(RegistryOpenCount(), opens);
}

// Offers naming the same keys share one open per key for the run, and each still gets its own answer from
// the values under it.
TEST_F(OfferLoop, KeysAreOpenedOncePerRunAndAnswerEveryOffer) {
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), scratch::kView64, L"Mode", L"on");
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), scratch::kView64, L"Level", 3);
    const std::string v(vendor.begin(), vendor.end());
    auto checker = MakeChecker(50);
    const struct {
        json rules;
        bool admitted;
    } offers[] = {
        {{{"ir", {v}}, {"rvd", {v + "\\mode\\off"}}}, true},
        {{{"ir", {v}}, {"rvd", {v + "\\mode\\on"}}}, false},
        {{{"ir", {v}}, {"rvd", {v + "\\level\\3"}}}, false},
        {{{"ir", {v}}, {"rvn", {v + "\\missing"}}}, true},
        {{{"ir", {v}}, {"rvn", {v + "\\level"}}}, false},
        {{{"ir", {v}}, {"rvd", {v + "\\level\\4"}}, {"rvn", {v + "\\other"}}}, true},
    };
    unsigned long opensAfterFirst = 0;
    for (size_t i = 0; i < std::size(offers); ++i) {
        json rules = offers[i].rules;
        rules["v"] = static_cast<int>(i);
        bool limit = false;
        EXPECT_EQ(checker->IsEligible(Make(Offer("o" + std::to_string(i), rules)), limit, {}), offers[i].admitted)
            << i;
        if (i == 0)
            opensAfterFirst = RegistryOpenCount();
    }
    // Every later offer reads keys the first one opened (absent candidates included).
    EXPECT_EQ(RegistryOpenCount(), opensAfterFirst);
    EXPECT_EQ(reports, (Reports{"o1: REGISTRY VALUE DATA MATCHES", "o2: REGISTRY VALUE DATA MATCHES",
                                "o4: REGISTRY VALUE EXISTS"}));
}

TEST_F(OfferLoop, NumbersThatCannotBeParsedEscapeIsEligible) {
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), scratch::kView64, L"Level", 3);
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), scratch::kView32, L"Level", 3);
    const std::string vendorName(vendor.begin(), vendor.end());
    struct Case {
        json ps;
        const char* text;
    };
    const Case cases[] = {
        {{{"rvd", {vendorName + "\\level\\abc"}}}, "invalid stoul argument"},
        {{{"cmdu", {{{"utr", "HKLM"}, {"utk", "Software\\" + vendorName}, {"utvn", "Level"}, {"utvt", "dword"},
                     {"umd", 1}}}}},
         "invalid unordered_map<K, T> key"},
    };
    for (const auto& c : cases) {
        auto checker = MakeChecker(5);
        bool limit = false;
        try {
            checker->IsEligible(Make(Offer("o", c.ps)), limit, {});
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), c.text);
        }
    }
    EXPECT_EQ(reports, Reports{});
}

// An offer the backend meant to be verified is never admitted with a digest or size that cannot be used.
TEST_F(OfferLoop, MalformedDigestOrSizeIsNeverAdmitted) {
    const std::string digest(64, 'a');
    EXPECT_EQ(Run(5, {Offer("a", {{"v", 1}, {"sha256", digest.substr(2)}}), Offer("b", {{"v", 2}, {"size", -3}}),
                      Offer("c", {{"v", 3}, {"sha256", digest}, {"size", 10}})}),
              Ids{"c"});
    EXPECT_EQ(reports, (Reports{"a: INVALID SHA256: NOT 64 HEX DIGITS", "b: INVALID SIZE: NOT A NON-NEGATIVE INTEGER"}));
}

// However many offers a response lists, only the first 100 are considered.
TEST_F(OfferLoop, OnlyTheFirstHundredOffersAreConsidered) {
    std::vector<json> offers;
    for (int i = 0; i < 150; ++i)
        offers.push_back(Offer("o" + std::to_string(i), {{"v", i + 1}}));
    const Ids admitted = Run(1000, offers);
    ASSERT_EQ(admitted.size(), 100u);
    EXPECT_EQ(admitted.back(), "o99");
}
