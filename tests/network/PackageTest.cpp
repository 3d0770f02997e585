#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>

#include "backend/ApiManager.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "eligibility/BrowserChecks.h"
#include "tests/support/Prefix.h"
#include "win32/Handle.h"

using nlohmann::json;

namespace {

json BaseOffer() {
    return {{"ad", {{"o", "offer-1"}, {"f", "flow-a"}}},
            {"ps", {{"i", "img-{cc}.png"}, {"dn", "Offer {pubid}"}, {"u", "https://localhost/f/{cc}/{CC}.exe"}}}};
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        config = ConfigurationManager::GetInstance();
        config->countryCode = "US";
        config->publisherId = "pub9";
        config->ispbValue.clear();
    }
    std::shared_ptr<Package> Make(const json& offer, int index = 0) {
        return std::make_shared<Package>(EventContext{}, offer, false, "", index);
    }
    std::shared_ptr<ConfigurationManager> config;
};

}  // namespace

TEST_F(PackageTest, OfferTextsAndParameters) {
    json offer = BaseOffer();
    offer["ps"]["p"] = "/S /aff={aflt} /px={pxl} /of={of} /sid={pnsid} /u={userid} /s={sessionid}";
    offer["ps"]["c"] = "ch-{cc}";
    auto package = Make(offer, 3);

    EXPECT_EQ(package->imageName, "img-US.png");
    EXPECT_EQ(package->displayName, "Offer pub9");
    EXPECT_EQ(package->installerUrl, "https://localhost/f/US/{CC}.exe");
    EXPECT_EQ(package->channel, "ch-US");
    EXPECT_EQ(package->offerId, "offer-1");
    EXPECT_EQ(package->offerFlow, "flow-a");

    std::string machine = config->GetMachineId(), session = config->GetSessionId();
    std::string pxl;
    ASSERT_TRUE(EncodeBase62(machine + "|offer-1|" + session, pxl));
    EXPECT_EQ(package->installerParams, "/S /aff=91088 /px=" + pxl + " /of=flow-a /sid={pnsid} /u=" + machine +
                                            " /s=" + session)
        << "no partner parameters on an ordinary offer";

    std::vector<std::string> names;
    for (const auto& entry : package->parameters)
        names.push_back(entry.first);
    std::vector<std::string> expected;
    if (!machine.empty())
        expected.push_back("userid");
    expected.insert(expected.end(), {"sessionid", "cc", "pubid", "aflt", "pxl", "of"});
    EXPECT_EQ(names, expected);

    EXPECT_EQ(package->eventData["5"], "offer-1");
    EXPECT_EQ(package->eventData["10"], 2);
    EXPECT_EQ(package->eventData["16"], "ch-US");
    EXPECT_EQ(package->eventData["17"], "4");
    EXPECT_EQ(package->eventData["18"], "flow-a");
}

TEST_F(PackageTest, PartnerOffer) {
    json offer = BaseOffer();
    offer["ps"].update({{"pn", true},
                        {"pnau", "https://api"},
                        {"pnak", "key"},
                        {"pnr", "SOFTWARE\\X"},
                        {"pnop", "op"},
                        {"pnsi", true},
                        {"la", "en"},
                        {"pnrp", {{"default", "A"}, {testing_support::kPrefixWindowsMajorMinor, "mine"}, {"0.9", "old"}}},
                        {"sp", "--r={pnrparam} --c={cc}"},
                        {"p", "{pnstubparams}|{pnapiurl}|{pnapikey}|{pnop}|{account}|{installer}"},
                        {"cfs", {{"mb", 1}, {"ab", {"x"}}, {"sied", true}}}});
    auto package = Make(offer);
    const auto& partner = package->rules.partner;
    EXPECT_TRUE(partner.partnerOffer);
    EXPECT_EQ(partner.noShowKey, "SOFTWARE\\X");
    EXPECT_TRUE(partner.pnsi);
    EXPECT_EQ(partner.la, "en");
    EXPECT_EQ(partner.stubParams, "--r=mine --c=US");
    EXPECT_EQ(package->installerParams, "--r=mine --c=US|https://api|key|op|Quorvane|Fennix_Web");
    EXPECT_EQ(partner.frequencyRules.maxBefore, 1);
    EXPECT_EQ(partner.frequencyRules.allowedBefore, std::vector<std::string>{"x"});
    EXPECT_EQ(partner.frequencyRules.maxAfter, INT_MAX);
    EXPECT_TRUE(partner.frequencyRules.extraSlotFlag);
    ASSERT_NE(package->parameters.Find("pnsid"), nullptr);
    EXPECT_GT(package->parameters.Find("pnsid")->size(), 12u);

    // Without "pn" the partner keys are not even read.
    offer["ps"]["pn"] = false;
    offer["ps"]["cfs"] = "not an object";
    auto plain = Make(offer);
    EXPECT_FALSE(plain->rules.partner.partnerOffer);
    EXPECT_TRUE(plain->rules.partner.noShowKey.empty());
    EXPECT_EQ(plain->rules.partner.frequencyRules.maxBefore, INT_MAX);
    EXPECT_EQ(plain->parameters.Find("pnrparam"), nullptr);
}

TEST_F(PackageTest, RuleFieldsTypesDefaultsAndPresets) {
    auto defaults = Make(BaseOffer());
    EXPECT_EQ(defaults->rules.vertical, 0);
    EXPECT_EQ(defaults->rules.minDiskMb, 0u);
    EXPECT_FALSE(defaults->rules.rulePreset.has_value());
    EXPECT_TRUE(defaults->rules.blockingFiles.empty());

    json offer = BaseOffer();
    offer["ps"].update({{"v", -1},
                        {"exc", true},
                        {"disk", 12.9},
                        {"ram", 4096},
                        {"cpu", 5000000000LL},
                        {"ov", 7},
                        {"pv", "2.5.0.0"},
                        {"win64", true},
                        {"fe", {"{commonpf}\\A\\a.exe", "C:\\plain"}},
                        {"ife", json::array()},
                        {"a", {"app.exe"}},
                        {"r", {"HKLM\\Software\\\xc3\xa9"}},
                        {"ir", {"i"}},
                        {"rvn", {"n"}},
                        {"rvd", {"d"}},
                        {"eapp", {"e"}},
                        {"iapp", {"f"}},
                        {"cmdu", {{{"utr", "HKLM"}, {"utk", "k"}, {"utvn", "v"}, {"utvt", "t"}, {"umd", 30}}}}});
    auto package = Make(offer);
    const auto& rules = package->rules;
    EXPECT_EQ(rules.vertical, -1);
    EXPECT_TRUE(rules.exclusive);
    EXPECT_EQ(rules.minDiskMb, 12u);
    EXPECT_EQ(rules.minRamMb, 4096u);
    EXPECT_EQ(rules.minCpuMhz, 5000000000ULL);
    EXPECT_EQ(rules.minOsCode, 7);
    EXPECT_EQ(rules.minSetupVersion, "2.5.0.0");
    EXPECT_TRUE(rules.requires64Bit);
    ASSERT_EQ(rules.blockingFiles.size(), 2u);
    EXPECT_EQ(rules.blockingFiles[0].find(L"{commonpf}"), std::wstring::npos);
    EXPECT_EQ(rules.blockingFiles[0].substr(rules.blockingFiles[0].size() - 8), L"\\A\\a.exe");
    EXPECT_EQ(rules.blockingFiles[1], L"C:\\plain");
    EXPECT_EQ(rules.blockingProcesses, std::vector<std::string>{"app.exe"});
    EXPECT_EQ(rules.blockingKeys, std::vector<std::wstring>{L"HKLM\\Software\\\u00e9"});
    EXPECT_EQ(rules.requiredApps, std::vector<std::wstring>{L"f"});
    ASSERT_EQ(rules.uninstallAgeRules.size(), 1u);
    EXPECT_EQ(rules.uninstallAgeRules[0].minDays, 30);
    EXPECT_FALSE(rules.uninstallAgeRules[0].inMilliseconds);

    // Presets come after the fields they override.
    const std::tuple<int, std::uint64_t, std::uint64_t, bool, bool, bool> presets[] = {
        // x, disk, ram, needsChrome, needsModernIe, needsNoChrome
        {1, 2500, 250, false, false, false}, {2, 12, 4096, true, true, false}, {3, 512, 1536, false, false, false},
        {12, 12, 4096, true, false, false},  {13, 12, 4096, false, false, true}, {99, 12, 4096, false, false, false},
    };
    for (const auto& [x, disk, ram, chrome, ie, noChrome] : presets) {
        offer["ps"]["x"] = x;
        auto p = Make(offer);
        EXPECT_EQ(p->rules.minDiskMb, disk) << x;
        EXPECT_EQ(p->rules.minRamMb, ram) << x;
        EXPECT_EQ(p->rules.needsChrome, chrome) << x;
        EXPECT_EQ(p->rules.needsModernIe, ie) << x;
        EXPECT_EQ(p->rules.needsNoChrome, noChrome) << x;
    }
    offer["ps"]["x"] = 3;
    EXPECT_EQ(Make(offer)->rules.minCpuMhz, 1500u);
    offer["ps"]["win64"] = false;
    offer["ps"]["x"] = 10;
    EXPECT_TRUE(Make(offer)->rules.requires64Bit);
}

// A malformed offer throws while it is built, which ends the whole offer list.
TEST_F(PackageTest, MalformedOffersThrow) {
    const std::pair<const char*, std::function<void(json&)>> cases[] = {
        {"no ad", [](json& o) { o.erase("ad"); }},
        {"no ps", [](json& o) { o.erase("ps"); }},
        {"no offer id", [](json& o) { o["ad"].erase("o"); }},
        {"flow a number", [](json& o) { o["ad"]["f"] = 3; }},
        {"no image", [](json& o) { o["ps"].erase("i"); }},
        {"display name null", [](json& o) { o["ps"]["dn"] = nullptr; }},
        {"disk a string", [](json& o) { o["ps"]["disk"] = "100"; }},
        {"ram a boolean", [](json& o) { o["ps"]["ram"] = true; }},
        {"vertical a string", [](json& o) { o["ps"]["v"] = "1"; }},
        {"exclusive a number", [](json& o) { o["ps"]["exc"] = 1; }},
        {"fe a string", [](json& o) { o["ps"]["fe"] = "C:\\x"; }},
        {"a holding a number", [](json& o) { o["ps"]["a"] = {1}; }},
        {"r not UTF-8", [](json& o) { o["ps"]["r"] = {std::string("\xff\xfe")}; }},
        {"cmdu without umd", [](json& o) { o["ps"]["cmdu"] = {{{"utr", "a"}, {"utk", "b"}, {"utvn", "c"}, {"utvt", "d"}}}; }},
        {"pn a string", [](json& o) { o["ps"]["pn"] = "yes"; }},
        {"pnrp a string", [](json& o) { o["ps"].update({{"pn", true}, {"pnrp", "x"}}); }},
        {"cfs mb a string", [](json& o) { o["ps"].update({{"pn", true}, {"cfs", {{"mb", "1"}}}}); }},
    };
    for (const auto& [name, spoil] : cases) {
        json offer = BaseOffer();
        spoil(offer);
        EXPECT_ANY_THROW(Make(offer)) << name;
    }
    json bad = BaseOffer();
    bad["ps"]["r"] = {std::string("\xff")};
    try {
        Make(bad);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("MultiByteToWideChar() failed:", 0), 0u) << e.what();
    }
}

TEST_F(PackageTest, ProductAndResetAsProduct) {
    EventContext context;
    context.commonData["22"] = "Fennix Web";
    auto product = std::make_shared<Package>(context, true, 2, L"Fennix_Web", L"fl", L"Fennix Web", L"ch", 0);
    EXPECT_TRUE(product->isProduct);
    EXPECT_EQ(product->productOrdinal, 2);
    EXPECT_EQ(product->displayName, "Fennix Web");
    EXPECT_EQ(product->offerId, "Fennix_Web");
    EXPECT_EQ(product->eventData["5"], "Fennix Web");
    EXPECT_EQ(product->eventData["10"], 1);
    EXPECT_EQ(product->eventData["18"], "");
    EXPECT_FALSE(product->eventData.contains("17"));

    EventContext later;
    later.commonData["22"] = "Other";
    later.commonData["21"] = "dlm";
    auto offer = Make(BaseOffer(), 4);
    offer->ResetAsProduct(later, L"Other", L"f2", L"c2", L"Other_Id");
    EXPECT_TRUE(offer->isProduct);
    EXPECT_EQ(offer->index, 0);
    EXPECT_EQ(offer->offerId, "Other_Id");
    EXPECT_EQ(offer->eventData["5"], "Other");
    EXPECT_EQ(offer->eventData["10"], 1);
    EXPECT_EQ(offer->eventData["21"], "dlm");
    EXPECT_FALSE(offer->eventData.contains("17")) << "rebuilt from the new context, not patched";
}

TEST_F(PackageTest, RecordShownDateWritesTheNoShowDate) {
    std::string key = "SOFTWARE\\FennixTests\\NoShow" + std::to_string(GetTickCount());
    json offer = BaseOffer();
    offer["ps"].update({{"pn", true}, {"pnr", key}});
    auto package = Make(offer);
    ASSERT_TRUE(package->RecordShownDate());

    UniqueRegKey handle;
    // Where the 32-bit program writes it, from either build.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, handle.put()), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value, type = 0;
    std::wstring name = BrandValueName(L"Quorvane");
    EXPECT_EQ(name.size(), 32u);
    ASSERT_EQ(RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    __time64_t later = _time64(nullptr) + 180LL * 86400;
    struct tm local {};
    _localtime64_s(&local, &later);
    DWORD expected = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    EXPECT_EQ(value, expected);
    handle.reset();
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\FennixTests", KEY_WOW64_32KEY, 0);

    EXPECT_FALSE(Make(BaseOffer())->RecordShownDate()) << "no key, nothing written";
}
