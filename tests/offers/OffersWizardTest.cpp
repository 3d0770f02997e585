// The real wizard against the local backend, driven from outside: offers shown, answered, skipped and
// reported; Back, no backend, and closing on a product page.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "tests/support/PrivateFolders.h"
#include "tests/support/Reports.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/Handle.h"
#include "win32/Strings.h"

using namespace testing_support;

namespace {

constexpr int kNextButton = 1010;
constexpr int kAcceptButton = 1021;
constexpr int kDeclineButton = 1022;
constexpr int kDisclaimer = 1042;
constexpr int kSkipAllButton = 1048;
constexpr int kAgreeButton = 1050;
constexpr int kBackButton = 1051;
constexpr int kProgressTitle = 1025;
constexpr int kErrorTitle = 1036;

std::wstring Language() {
    const char* expected = std::getenv("FENNIX_EXPECT_LANGUAGE");
    return expected && std::string(expected) == "es" ? L"es" : L"en";
}

nlohmann::json Offer(const std::string& id, int vertical, const nlohmann::json& ps = nlohmann::json::object()) {
    nlohmann::json offer = {
        {"ad", {{"o", id}, {"f", "flow-" + id}}},
        {"ps",
         {{"i", "offer" + std::to_string(vertical % 3 + 1) + ".png"},
          {"dn", "Offer " + id},
          {"u", "installers/" + id + ".exe"},
          {"cp", "https://localhost/legal/offer-privacy/"},
          {"ctu", "https://localhost/legal/offer-terms/"},
          {"c", "chan"},
          {"v", vertical}}},
    };
    for (const auto& member : ps.items())
        offer["ps"][member.key()] = member.value();
    return offer;
}

nlohmann::json Partner(const std::string& id, int vertical, const nlohmann::json& cfs) {
    return Offer(id, vertical, {{"pn", true}, {"cfs", cfs}});
}

nlohmann::json Config(nlohmann::json offers, int maxOffers = 3) {
    return {{"l", "US"}, {"f", {{"a", "a"}, {"m", maxOffers}}}, {"o", std::move(offers)}};
}

// The download page reports each package's end with 3 or -1; the tests of the offer pages leave them out.
bool FromTheDownloadPage(const Event& e) { return e.code == "3" || e.code == "-1"; }

size_t CountPath(const std::vector<nlohmann::json>& requests, const std::string& path) {
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(),
                                             [&](const nlohmann::json& r) { return r.value("path", "") == path; }));
}

bool Visible(HWND page, int id) { return GetDlgItem(page, id) && ControlVisible(page, id); }

class OffersWizardTest : public testing::Test {
protected:
    // Starts the wizard on this configuration and presses Next on the language page.
    void Start(const nlohmann::json& config, nlohmann::json routes = nlohmann::json::array()) {
        backend.SetScenario({{"config", config}, {"files", backend.filesDir}, {"routes", std::move(routes)}});
        mark = backend.Mark();
        const std::wstring wizardTemp = TestBackend::ScratchFolder(L"wizard-temp");
        ASSERT_TRUE(wizard.StartWithTempFolder(WindowsPathFromEnv("FENNIX_WIZARD_EXE"), wizardTemp));
        window = WaitForWindowTitled(wizard.Id(), L"Fennix Web ");
        ASSERT_NE(window, nullptr);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        HWND language = WaitForPage(window, [](HWND p) { return Visible(p, kNextButton); });
        ASSERT_NE(language, nullptr);
        privateFolder = WaitForPrivateFolder(wizardTemp);
        ClickButton(language, kNextButton);
    }

    HWND WaitForLicense(DWORD milliseconds = 15000) {
        return WaitForPage(window, [](HWND p) { return Visible(p, kAgreeButton); }, milliseconds);
    }
    // The product page of the offer with this display name.
    HWND WaitForProduct(const std::string& offerId) {
        const std::wstring name = L"Offer " + std::wstring(offerId.begin(), offerId.end());
        return WaitForPage(window, [&](HWND p) {
            return GetDlgItem(p, kDisclaimer) && ControlText(p, kDisclaimer).find(name) != std::wstring::npos;
        });
    }
    // The page after the product pages: the download page (or the error page its failure brings).
    HWND WaitForAfterOffers() {
        return WaitForPage(window, [](HWND p) { return Visible(p, kProgressTitle) || Visible(p, kErrorTitle); });
    }
    // Reports travel on threads of their own: waits until `done` holds for what came, or the time is up.
    std::vector<Event> WaitForEvents(const std::function<bool(const std::vector<Event>&)>& done,
                                     DWORD milliseconds = 15000) {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        for (;;) {
            auto events = Events(backend.Requests(mark));
            if (done(events) || GetTickCount64() > end)
                return events;
            Sleep(100);
        }
    }
    void Screenshot(const std::wstring& name) {
        const std::wstring path = ArtefactPath(name + L"-" + Language() + L".png");
        if (!path.empty()) {
            Sleep(300);
            EXPECT_TRUE(SaveScreenshot(window, path));
        }
    }

    TestBackend backend;
    size_t mark = 0;
    WizardProcess wizard;
    HWND window = nullptr;
    std::wstring privateFolder;  // the one this wizard made
};

}  // namespace

TEST_F(OffersWizardTest, NoOffersGoesFromTheLicenseToTheDownload) {
    Start(Config(nlohmann::json::array()));
    HWND license = WaitForLicense();
    ASSERT_NE(license, nullptr);
    ClickButton(license, kAgreeButton);
    EXPECT_NE(WaitForAfterOffers(), nullptr) << testing::PrintToString(DescribeControls(VisiblePage(window)));
}

TEST_F(OffersWizardTest, AnswersSkipLaterOffersWithTheirReasons) {
    struct Step {
        std::string offer;
        int button;
    };
    struct Case {
        const char* name;
        nlohmann::json offers;
        std::vector<Step> steps;
        ReasonedReports expected;  // besides the product's event 1
    };
    const nlohmann::json none = nlohmann::json::object();
    const std::vector<Case> cases = {
        {"skip all on the first",
         {Offer("a", 1), Offer("b", 2), Offer("c", 3)},
         {{"a", kSkipAllButton}},
         {{"a", "4", ""}, {"b", "2", "SAC"}, {"c", "2", "SAC"}}},
        {"decline of a saad offer",
         {Partner("a", 1, {{"saad", true}}), Offer("b", 2), Offer("c", 3)},
         {{"a", kDeclineButton}},
         {{"a", "4", ""}, {"b", "2", "DOD"}, {"c", "2", "DOD"}}},
        {"sied offer after a decline",
         {Offer("a", 1), Offer("b", 2), Partner("c", 3, {{"sied", true}})},
         {{"a", kDeclineButton}, {"b", kAcceptButton}},
         {{"a", "4", ""}, {"c", "2", "SED"}}},
        {"mo 1 on the first",
         {Partner("a", 1, {{"mo", 1}}), Offer("b", 2), Offer("c", 3)},
         {{"a", kAcceptButton}},
         {{"b", "2", "MOF"}, {"c", "2", "MOF"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start(Config(c.offers));
        HWND license = WaitForLicense();
        ASSERT_NE(license, nullptr);
        ClickButton(license, kAgreeButton);
        for (const Step& step : c.steps) {
            HWND product = WaitForProduct(step.offer);
            ASSERT_NE(product, nullptr) << step.offer << ": " << testing::PrintToString(DescribeControls(VisiblePage(window)));
            if (step.offer == "a" && std::string(c.name) == "mo 1 on the first") {
                EXPECT_FALSE(Visible(product, kSkipAllButton));
            }
            ClickButton(product, step.button);
        }
        EXPECT_NE(WaitForAfterOffers(), nullptr) << testing::PrintToString(DescribeControls(VisiblePage(window)));

        ReasonedReports expected = c.expected;
        expected.emplace_back("product", "1", "");
        std::sort(expected.begin(), expected.end());
        auto offerPages = [](std::vector<Event> events) {
            events.erase(std::remove_if(events.begin(), events.end(), FromTheDownloadPage), events.end());
            return SummaryWithReasons(events);
        };
        const auto seen = offerPages(WaitForEvents(
            [&](const std::vector<Event>& events) { return offerPages(events).size() >= expected.size(); }));
        EXPECT_EQ(seen, expected);
        wizard.Terminate();
        wizard.WaitForExit(10000);
    }
}

TEST_F(OffersWizardTest, BackFromTheLicenseDoesNotLoadAgain) {
    Start(Config({Offer("a", 1)}));
    HWND license = WaitForLicense();
    ASSERT_NE(license, nullptr);
    ClickButton(license, kBackButton);
    HWND language = WaitForPage(window, [](HWND p) { return Visible(p, kNextButton); });
    ASSERT_NE(language, nullptr);
    ClickButton(language, kNextButton);
    license = WaitForLicense(2000);  // at once: nothing is fetched again
    ASSERT_NE(license, nullptr);
    ClickButton(license, kAgreeButton);
    ASSERT_NE(WaitForProduct("a"), nullptr);

    const auto requests = backend.Requests(mark);
    EXPECT_EQ(CountPath(requests, "/o"), 1u);
    size_t productStarts = 0;
    for (const auto& e : Events(requests))
        productStarts += e.code == "1";
    EXPECT_EQ(productStarts, 1u);
}

TEST_F(OffersWizardTest, WithoutABackendTheLicenseComesWithoutOffers) {
    const ULONGLONG started = GetTickCount64();
    Start(Config({Offer("a", 1)}), {{{"path", "/o"}, {"fault", "reset"}}, {{"path", "/qdd"}, {"fault", "reset"}}});
    HWND license = WaitForLicense(40000);
    ASSERT_NE(license, nullptr);
    std::printf("license page %llu ms after start with the backend failing\n", GetTickCount64() - started);
    ClickButton(license, kAgreeButton);
    EXPECT_NE(WaitForAfterOffers(), nullptr) << testing::PrintToString(DescribeControls(VisiblePage(window)));
}

// Every report is answered late: the wizard ends only once the last of the closing's reports has had
// its answer.
TEST_F(OffersWizardTest, ClosingOnAProductPageReportsEveryShownOfferAndTheProduct) {
    constexpr double kReplyDelay = 1.5;
    Start(Config({Offer("a", 1), Offer("b", 2), Offer("c", 3)}), {{{"path", "/qdd"}, {"delay", kReplyDelay}}});
    HWND license = WaitForLicense();
    ASSERT_NE(license, nullptr);
    Screenshot(L"license-page");
    ClickButton(license, kAgreeButton);
    HWND product = WaitForProduct("a");
    ASSERT_NE(product, nullptr);
    ClickButton(product, kAcceptButton);
    ASSERT_NE(WaitForProduct("b"), nullptr);
    Screenshot(L"product-page");

    // The product's event 1 is the only report before the close: once it is in, what follows is the closing's own.
    WaitForEvents([](const std::vector<Event>& events) { return !events.empty(); });
    const size_t before = backend.Mark();
    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr);
    ClickButton(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(wizard.WaitForExit(30000, &code));

    // The log is written when a request is read, before its late answer.
    const auto events = Events(backend.Requests(before));
    EXPECT_EQ(SummaryWithReasons(events), (ReasonedReports{{"a", "5", ""}, {"b", "5", ""}, {"product", "5", ""}}));
    double lastAnswer = 0;
    for (const auto& e : events)
        lastAnswer = std::max(lastAnswer, e.request.value("time", 0.0) + kReplyDelay);
    // Both clocks are this machine's; the log's time has microseconds, the exit time 100 ns steps.
    EXPECT_GE(wizard.ExitTime(), lastAnswer - 0.01);
    ASSERT_FALSE(privateFolder.empty());
    EXPECT_EQ(GetFileAttributesW(privateFolder.c_str()), INVALID_FILE_ATTRIBUTES) << WideToUtf8(privateFolder);
}

TEST_F(OffersWizardTest, RejectionsStartAndDeclineReachTheBackendInTheirWireFormat) {
    Start(Config({Offer("ram", 1, {{"ram", 1ULL << 40}}), Offer("disk", 2, {{"disk", 1ULL << 40}}), Offer("ok", 3)}));
    HWND license = WaitForLicense();
    ASSERT_NE(license, nullptr);
    ClickButton(license, kAgreeButton);
    HWND product = WaitForProduct("ok");
    ASSERT_NE(product, nullptr);
    EXPECT_FALSE(Visible(product, kSkipAllButton));  // the only admitted offer
    ClickButton(product, kDeclineButton);
    ASSERT_NE(WaitForAfterOffers(), nullptr);

    std::map<std::string, Event> byOffer;
    WaitForEvents([&](const std::vector<Event>& events) {
        byOffer.clear();
        for (const auto& e : events)
            if (!FromTheDownloadPage(e))
                byOffer[e.who + "/" + e.code] = e;
        return byOffer.size() >= 4;
    });
    ASSERT_TRUE(byOffer.count("product/1"));
    ASSERT_TRUE(byOffer.count("ram/2"));
    ASSERT_TRUE(byOffer.count("disk/2"));
    ASSERT_TRUE(byOffer.count("ok/4"));
    EXPECT_EQ(byOffer["ram/2"].reason, "NOT ENOUGH RAM");
    EXPECT_EQ(byOffer["disk/2"].reason, "NOT ENOUGH DISK SPACE");

    EXPECT_EQ(byOffer["product/1"].data.value("10", 0), 1);
    const Event& decline = byOffer["ok/4"];
    EXPECT_EQ(decline.data.value("10", 0), 2);
    EXPECT_EQ(decline.data.value("16", ""), "chan");
    EXPECT_EQ(decline.data.value("17", ""), "1");
    EXPECT_EQ(decline.data.value("18", ""), "flow-ok");
    for (const auto& [key, e] : byOffer) {
        SCOPED_TRACE(key);
        const auto body = nlohmann::json::parse(e.request["body_text"].get<std::string>());
        EXPECT_EQ(body.value("table", ""), "qd_analytics");
        EXPECT_TRUE(body.at("data").is_string());
        EXPECT_EQ(e.request.value("method", ""), "POST");
        EXPECT_EQ(HeaderValue(e.request, "Authorization").rfind("Signature=", 0), 0u);
    }
}

TEST_F(OffersWizardTest, DemoScenarioShowsItsThreeOffers) {
    const std::wstring demoDir = WindowsPathFromEnv("FENNIX_BACKEND_FILES");
    auto demo = nlohmann::json::parse(TestBackend::ReadFileBytes(demoDir + L"\\..\\demo-scenario.json"));
    demo["files"] = backend.filesDir;
    Start(demo.at("config"), demo.at("routes"));
    HWND license = WaitForLicense();
    ASSERT_NE(license, nullptr);
    ClickButton(license, kAgreeButton);
    for (const char* name : {"One", "Two", "Three"}) {
        const std::wstring title = L"Demo Offer " + std::wstring(name, name + strlen(name));
        HWND product = WaitForPage(window, [&](HWND p) {
            return GetDlgItem(p, kDisclaimer) && ControlText(p, kDisclaimer).find(title) != std::wstring::npos;
        });
        ASSERT_NE(product, nullptr) << name;
        ClickButton(product, kAcceptButton);
    }
}

// Texts from the configuration are UTF-8: a name outside ASCII reaches the consent sentence as sent.
TEST_F(OffersWizardTest, ANameOutsideAsciiShowsAsSent) {
    const std::string name = "Protecci\xC3\xB3n \xC3\x91" "and\xC3\xBA \xE5\xAE\x89\xE5\x85\xA8";
    Start(Config({Offer("u", 1, {{"dn", name}})}));
    HWND license = WaitForLicense();
    ASSERT_NE(license, nullptr);
    ClickButton(license, kAgreeButton);
    const std::wstring wide = Utf8ToWide(name);
    HWND product = WaitForPage(window, [&](HWND p) {
        return GetDlgItem(p, kDisclaimer) && ControlText(p, kDisclaimer).find(wide) != std::wstring::npos;
    });
    ASSERT_NE(product, nullptr) << "no page with the name as sent";
    EXPECT_EQ(ControlText(product, kDisclaimer).find(L"Protecci\u00C3"), std::wstring::npos) << "decoded as ANSI";
    Screenshot(L"product-page-non-ascii");
}
