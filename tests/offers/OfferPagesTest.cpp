// The loading page and the product page created in the test process, against the local backend.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "backend/LoadingPage.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "pages/ProductPage.h"
#include "resources/resource.h"
#include "tests/contentpages/PageHost.h"
#include "tests/offers/OfferJson.h"
#include "tests/support/Reports.h"
#include "tests/support/ScopedConfiguration.h"
#include "tests/support/TestBackend.h"

using namespace contentpages_test;
using namespace offers_test;

namespace {

using testing_support::ScopedConfiguration;

// Creates a page's window on the host as the wizard window does and records its button reports.
template <typename Page, typename... Args>
std::unique_ptr<Page> Place(PageHost& host, std::vector<ButtonType>& pressed, Args&&... args) {
    auto page = std::make_unique<Page>(std::forward<Args>(args)...);
    EXPECT_TRUE(page->Create(host.Hwnd()));
    page->SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, true);
    page->SetButtonCallback([&pressed](ButtonType type) { pressed.push_back(type); });
    SetWindowPos(page->GetHwnd(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(page->GetHwnd(), SW_SHOW);
    Pump(20);
    return page;
}

std::vector<std::wstring> LinkUrls(HWND link) {
    std::vector<std::wstring> urls;
    for (int i = 0;; ++i) {
        LITEM item{};
        item.mask = LIF_ITEMINDEX | LIF_URL;
        item.iLink = i;
        if (!SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)))
            return urls;
        urls.push_back(item.szUrl);
    }
}

// What the link control drew of its markup, all on one line: its size and its links' addresses.
struct Rendered {
    SIZE size;
    std::vector<std::wstring> urls;
};

Rendered Render(HWND link) {
    Rendered rendered{};
    SendMessageW(link, LM_GETIDEALHEIGHT, 100000, reinterpret_cast<LPARAM>(&rendered.size));
    rendered.urls = LinkUrls(link);
    return rendered;
}

// The width of plain text in the link control's font.
LONG TextWidth(HWND link, const std::wstring& text) {
    HDC dc = GetDC(link);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(link, dc);
    return size.cx;
}

}  // namespace

TEST(ProductPage, SkipAllOnlyWhereAnotherOfferCanFollow) {
    ScopedConfiguration scope;
    PageHost host;
    auto languages = host.Languages(L"en_US");
    struct Case {
        int index;
        int offerCount;
        int maxShownWith;
        bool visible;
    };
    const Case cases[] = {
        {0, 3, INT_MAX, true}, {1, 3, INT_MAX, true}, {2, 3, INT_MAX, false},
        {0, 3, 1, false},      {1, 3, 2, false},      {0, 3, 2, true},
        {0, 1, INT_MAX, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " of " << c.offerCount << ", mo " << c.maxShownWith);
        scope.config.offerCount = c.offerCount;
        std::vector<ButtonType> pressed;
        auto page = Place<ProductPage>(host, pressed, languages,
                                       MakeOffer(PartnerOffer("s", {{"mo", c.maxShownWith}}), c.index));
        EXPECT_EQ(IsShown(GetDlgItem(page->GetHwnd(), IDC_SKIP_ALL_BUTTON)), c.visible);
    }
}

TEST(ProductPage, DisclaimerCarriesTheOfferInEveryLanguage) {
    ScopedConfiguration scope;
    scope.config.offerCount = 1;
    PageHost host;
    auto languages = host.Languages(L"en_US");
    // An address with a quote must stay inside its link.
    auto offer = MakeOffer(Offer("d", {{"dn", "Zeta Notes"}, {"cp", "https://localhost/p\"x"}}), 0);
    std::vector<ButtonType> pressed;
    auto page = Place<ProductPage>(host, pressed, languages, offer);
    HWND link = GetDlgItem(page->GetHwnd(), IDC_PRODUCT_DISCLAIMER);

    for (const wchar_t* locale : {L"en_US", L"es"}) {
        SCOPED_TRACE(std::string(locale, locale + wcslen(locale)));
        if (std::wstring(locale) == L"es")
            host.SwitchLanguage(*languages, locale);  // re-labels the page after its initialisation
        const std::wstring text = Text(link);
        EXPECT_EQ(text.find(L"[PACKAGE_"), std::wstring::npos) << testing::PrintToString(text);
        const size_t first = text.find(L"Zeta Notes");
        ASSERT_NE(first, std::wstring::npos);
        EXPECT_NE(text.find(L"Zeta Notes", first + 1), std::wstring::npos);
        EXPECT_EQ(LinkUrls(link),
                  (std::vector<std::wstring>{L"https://localhost/p%22x", L"https://localhost/terms/d"}));
    }
    EXPECT_NE(Text(GetDlgItem(page->GetHwnd(), IDC_ACCEPT_BUTTON)), L"ACCEPT placeholder");
}

// The name and the addresses as the backend sent them, through the page and the link control's own
// parser: exactly the two links of the sentence, and the name drawn twice as plain text, no wider and
// no narrower, on the sentence's one line.
TEST(ProductPage, DisclaimerShowsTheNameAndAddressesAsSentAndNothingMore) {
    ScopedConfiguration scope;
    scope.config.offerCount = 1;
    PageHost host;
    auto languages = host.Languages(L"en_US");
    const nlohmann::json addresses = {{"cp", "https://localhost/p\"x"},
                                      {"ctu", "https://localhost/t\"><a href=\"https://evil.test/\">[PACKAGE_NAME]"}};
    const std::vector<std::wstring> links = {L"https://localhost/p%22x",
                                             L"https://localhost/t%22%3E%3Ca href=%22https://evil.test/%22%3E[PACKAGE_NAME]"};
    std::vector<ButtonType> pressed;
    auto show = [&](const std::string& name) {
        nlohmann::json ps = addresses;
        ps["dn"] = name;
        auto page = Place<ProductPage>(host, pressed, languages, MakeOffer(Offer("n", ps), 0));
        return Render(GetDlgItem(page->GetHwnd(), IDC_PRODUCT_DISCLAIMER));
    };
    const Rendered nameless = show("");
    ASSERT_EQ(nameless.urls, links);
    auto page = Place<ProductPage>(host, pressed, languages, MakeOffer(Offer("m"), 0));
    HWND link = GetDlgItem(page->GetHwnd(), IDC_PRODUCT_DISCLAIMER);

    struct Case {
        std::string name;
        std::wstring shown;
    } cases[] = {
        {"Zeta Notes", L"Zeta Notes"},
        {"Evil</a><a href=\"x\">", L"Evil</a><a href=\"x\">"},
        {"<a href=\"https://evil.test/\">Click</a>", L"<a href=\"https://evil.test/\">Click</a>"},
        {"<A HREF=\"x\">unclosed", L"<A HREF=\"x\">unclosed"},
        {"<a>", L"<a>"},
        {"<a id=\"x\">", L"<a id=\"x\">"},
        {"</A>", L"</A>"},
        {"[PACKAGE_NAME]", L"[PACKAGE_NAME]"},
        {"[PACKAGE_PRIVACY_URL] [PACKAGE_EULA_URL]", L"[PACKAGE_PRIVACY_URL] [PACKAGE_EULA_URL]"},
        {"Tom & \"Jerry\" <Notes> 'x' >", L"Tom & \"Jerry\" <Notes> 'x' >"},
        {"Two\r\nlines\nand\ta tab", L"Two  lines and a tab"},
        {"Caf\xC3\xA9 <\xC3\xA0>", L"Caf\u00E9 <\u00E0>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rendered rendered = show(c.name);
        EXPECT_EQ(rendered.urls, links);
        EXPECT_EQ(rendered.size.cy, nameless.size.cy);
        EXPECT_EQ(rendered.size.cx - nameless.size.cx, 2 * TextWidth(link, c.shown));
    }
}

TEST(ProductPage, LinkOpensTheOffersAddressAndThePageStays) {
    ScopedConfiguration scope;
    scope.config.offerCount = 1;
    PageHost host;
    OpenedUrls opened;
    std::vector<ButtonType> pressed;
    auto page = Place<ProductPage>(host, pressed, host.Languages(L"en_US"), MakeOffer(Offer("l"), 0));
    ASSERT_TRUE(ClickLink(GetDlgItem(page->GetHwnd(), IDC_PRODUCT_DISCLAIMER), 0));
    EXPECT_EQ(opened.urls, std::vector<std::wstring>{L"https://localhost/privacy/l"});
    EXPECT_TRUE(pressed.empty());
}

TEST(ProductPage, AnswersAreRecordedAndReported) {
    ScopedConfiguration scope;
    scope.config.offerCount = 3;
    scope.config.offerDeclined = false;
    TestBackend backend;
    backend.SetScenario({{"config", nlohmann::json::object()}});
    const size_t mark = backend.Mark();
    PageHost host;
    auto languages = host.Languages(L"en_US");

    auto accepted = MakeOffer(Offer("acc"), 0);
    auto declined = MakeOffer(Offer("dec"), 1);
    auto skipper = MakeOffer(Offer("ska"), 0);
    std::vector<ButtonType> pressed;
    auto acceptPage = Place<ProductPage>(host, pressed, languages, accepted);
    acceptPage->OnNavigateToPage();
    acceptPage->OnNavigateToPage();  // every arrival counts
    Click(GetDlgItem(acceptPage->GetHwnd(), IDC_ACCEPT_BUTTON));
    Click(GetDlgItem(acceptPage->GetHwnd(), IDC_ACCEPT_BUTTON));
    EXPECT_EQ(scope.config.acceptedPackages, (PackageList{accepted, accepted}));
    EXPECT_EQ(scope.config.shownPackages, (PackageList{accepted, accepted}));
    EXPECT_FALSE(scope.config.offerDeclined);

    auto declinePage = Place<ProductPage>(host, pressed, languages, declined);
    Click(GetDlgItem(declinePage->GetHwnd(), IDC_DECLINE_BUTTON));
    EXPECT_TRUE(scope.config.offerDeclined);
    auto skipPage = Place<ProductPage>(host, pressed, languages, skipper);
    Click(GetDlgItem(skipPage->GetHwnd(), IDC_SKIP_ALL_BUTTON));

    EXPECT_EQ(pressed, (std::vector<ButtonType>{ButtonType::Accept, ButtonType::Accept, ButtonType::Decline,
                                                ButtonType::SkipAll}));
    EXPECT_EQ(scope.config.acceptedPackages.size(), 2u);
    declined->WaitForReports();
    skipper->WaitForReports();
    EXPECT_EQ(testing_support::Summary(testing_support::Events(backend.Requests(mark))),
              (testing_support::Reports{{"dec", "4"}, {"ska", "4"}}));
}

TEST(ProductPage, ArrivalOnAPartnerOfferDelaysItsNextShowing) {
    ScopedConfiguration scope;
    scope.config.offerCount = 1;
    const std::string keyPath = "SOFTWARE\\FennixOffersTest\\NoShow";
    auto offer = MakeOffer(Offer("pn", {{"pn", true}, {"pnr", keyPath}}), 0);
    PageHost host;
    std::vector<ButtonType> pressed;
    auto page = Place<ProductPage>(host, pressed, host.Languages(L"en_US"), offer);
    page->OnNavigateToPage();

    // The 32-bit program's view, from either build.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key), ERROR_SUCCESS);
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 1u);
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software) == ERROR_SUCCESS) {
        RegDeleteTreeA(software, "FennixOffersTest");
        RegCloseKey(software);
    }
    EXPECT_EQ(scope.config.shownPackages, PackageList{offer});
}

namespace {

struct LoadRecord {
    std::atomic<int> calls{0};
    std::atomic<DWORD> threadId{0};
    PackageList packages;
    std::vector<std::pair<std::wstring, std::wstring>> errors;
};

// Shows a loading page, starts it and pumps until it handed over (or showed an error) and a little longer.
std::unique_ptr<LoadingPage> Load(PageHost& host, LoadRecord& record) {
    std::vector<ButtonType> pressed;
    auto page = Place<LoadingPage>(host, pressed, host.Languages(L"en_US"));
    page->SetLoadCompleteCallback([&record](PackageList packages) {
        record.packages = std::move(packages);
        record.threadId = GetCurrentThreadId();
        ++record.calls;
    });
    page->SetErrorCallback([&record](const std::wstring& title, const std::wstring& text) {
        record.errors.emplace_back(title, text);
    });
    page->OnNavigateToPage();
    const ULONGLONG end = GetTickCount64() + 30000;
    while (record.calls == 0 && record.errors.empty() && GetTickCount64() < end)
        Pump(20);
    Pump(500);  // a second hand-over would come now
    return page;
}

}  // namespace

TEST(LoadingPage, HandsOverOnceAfterTheLastImageAlsoWhenOneFails) {
    ScopedConfiguration scope;
    TestBackend backend;
    nlohmann::json images = Offer("img1", {{"i", "offer1.png"}});
    nlohmann::json missing = Offer("img2", {{"i", "no-such-image.png"}});
    nlohmann::json slow = Offer("img3", {{"i", "offer3.png"}});
    backend.SetScenario({{"config", {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", {images, missing, slow}}}},
                         {"files", backend.filesDir},
                         {"routes", {{{"path", "/f/offer3.png"}, {"delay", 1.0}}}}});
    PageHost host;
    LoadRecord record;
    auto page = Load(host, record);
    ASSERT_EQ(record.calls, 1);
    ASSERT_EQ(record.packages.size(), 3u);
    EXPECT_TRUE(record.packages[0]->image);
    EXPECT_FALSE(record.packages[1]->image);
    EXPECT_TRUE(record.packages[2]->image);  // the slowest download finished before the hand-over
    EXPECT_NE(record.threadId, GetCurrentThreadId());
    EXPECT_EQ(scope.config.offerCount, 3);
    EXPECT_EQ(scope.config.maxOffers, 3);
    EXPECT_TRUE(record.errors.empty());
}

TEST(LoadingPage, UnusableResponseLeavesTheIsvWizardWithoutOffers) {
    ScopedConfiguration scope;
    TestBackend backend;
    backend.SetScenario({{"config", "this is not JSON"}});
    PageHost host;
    LoadRecord record;
    auto page = Load(host, record);
    EXPECT_EQ(record.calls, 1);
    EXPECT_TRUE(record.packages.empty());
    EXPECT_EQ(record.threadId, GetCurrentThreadId());  // nothing to download: on the window thread
    EXPECT_TRUE(record.errors.empty());
}

TEST(LoadingPage, DlmProductWithoutAddressShowsTheConfigurationError) {
    ScopedConfiguration scope;
    scope.config.wizardType = WizardType::DLM;
    TestBackend backend;
    backend.SetScenario({{"config", {{"i", {{"ct", "Tool"}, {"cu", ""}}}}}});
    PageHost host;
    LoadRecord record;
    auto page = Load(host, record);
    EXPECT_EQ(record.calls, 0);
    ASSERT_EQ(record.errors.size(), 1u);
    EXPECT_EQ(record.errors[0].first, L"Something went wrong");
    EXPECT_EQ(record.errors[0].second, L"Please try to download later");
}

