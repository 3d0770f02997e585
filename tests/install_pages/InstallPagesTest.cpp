// The download and finish pages hosted in the test process, against the local backend and the real
// sample installers.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "events/EventContext.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "install/FinishPageSupport.h"
#include "net/DownloadManager.h"
#include "resources/resource.h"
#include "tests/contentpages/PageHost.h"
#include "tests/support/Reports.h"
#include "tests/support/ScopedConfiguration.h"
#include "tests/support/TestBackend.h"
#include "win32/Strings.h"
#include "win32/UserLaunch.h"
#include "win32/WizardMessages.h"

using nlohmann::json;
using namespace contentpages_test;
using testing_support::Event;
using testing_support::Reports;
using testing_support::Summary;

namespace {

constexpr char kProductRoute[] = "/endpoint/fxweb/os/riserollout/track/beta";

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

// A bare file name with an extension would count as an absolute URL: offers name full URLs, or a
// folder without a dot for the base URL to go in front.
std::string Url(const std::string& name) { return "https://localhost/f/" + name; }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<Event> Events(const TestBackend& backend, size_t mark) { return testing_support::Events(backend.Requests(mark)); }

const Event* Find(const std::vector<Event>& events, const std::string& who) {
    for (const auto& event : events)
        if (event.who == who)
            return &event;
    return nullptr;
}

std::vector<std::string> DownloadPaths(const TestBackend& backend, size_t mark) {
    std::vector<std::string> paths;
    for (const auto& request : backend.Requests(mark))
        if (request["method"] == "GET")
            paths.push_back(request["path"]);
    return paths;
}

// Each test has a configuration of its own; the engine's flag is put back after it.
class InstallPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.eventUrl = L"https://localhost/qdd";
        config.imageBaseUrl = L"https://localhost/f/";
        config.productUrl = L"https://localhost/endpoint/fxweb/os/riserollout/track/beta";
        config.classicPages = false;
        config.failureEventCode = true;
        DownloadManager::GetInstance()->cancelled = false;
        temp = TestBackend::ScratchFolder(L"install-pages-temp");
        config.tempFolder = temp;
        config.downloadFolder = temp;
        sampleLog = temp + L"-installers.txt";
        DeleteFileW(sampleLog.c_str());
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_LOG", sampleLog.c_str());
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", nullptr);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_FXWEB_NO_WINDOW", L"1");
        ServeInstallers(json::array());
    }

    void TearDown() override {
        DownloadManager::GetInstance()->cancelled = false;
        SetShellOpener(nullptr);
    }

    // The built sample installers under /f/, the product installer on its own route, plus `routes`.
    void ServeInstallers(json routes) {
        routes.push_back({{"path", kProductRoute}, {"body_file", backend.filesDir + "/fxweb-setup.exe"}});
        backend.SetScenario({{"files", backend.filesDir}, {"routes", routes}});
    }

    std::shared_ptr<Package> MakeProduct() {
        auto product = std::make_shared<Package>(MakeEventContext(), true, 0, L"Fennix_Web", L"", L"Fennix Web", L"", 0);
        config.productPackage = product;
        return product;
    }

    std::shared_ptr<Package> AcceptOffer(const std::string& id, const std::string& location, const std::string& params) {
        json offer = {{"ad", {{"o", id}, {"f", "flow"}}},
                      {"ps", {{"i", "i.png"}, {"dn", id}, {"u", location}, {"p", params}, {"c", "chan"}}}};
        auto package = std::make_shared<Package>(MakeEventContext(), offer, false, "", 1);
        config.acceptedPackages.push_back(package);
        return package;
    }

    // Shows the page, hands it the callbacks the wizard gives it, and starts it.
    template <typename Page>
    std::unique_ptr<Page> StartPage(const std::wstring& locale = L"en_US") {
        auto page = host.Show<Page>(host.Languages(locale));
        page->SetErrorCallback([this](const std::wstring& title, const std::wstring& text) {
            errors.emplace_back(title, text);
        });
        if constexpr (std::is_same_v<Page, DownloadPageIsv>) {
            page->SetInstallationStartedCallback([this] { installation += "started "; });
            page->SetInstallationEndedCallback([this] { installation += "ended "; });
        }
        page->OnNavigateToPage();
        return page;
    }

    // Pumps messages until the page has called one of its callbacks.
    bool WaitForEnd(DWORD milliseconds = 60000) {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (host.pressed.empty() && errors.empty() && GetTickCount64() < end)
            Pump(20);
        return !host.pressed.empty() || !errors.empty();
    }

    // Reports run on threads of their own: wait for every package's reports.
    void WaitForReports() {
        if (config.productPackage)
            config.productPackage->WaitForReports();
        for (const auto& offer : config.acceptedPackages)
            offer->WaitForReports();
    }

    std::wstring LoggedInstallers() { return Utf8ToWide(TestBackend::ReadFileBytes(sampleLog)); }

    testing_support::ScopedConfiguration scope;
    ConfigurationManager& config = scope.config;
    TestBackend backend;
    PageHost host;
    std::vector<std::pair<std::wstring, std::wstring>> errors;
    std::string installation;
    std::wstring temp;
    std::wstring sampleLog;
};

// The whole ISV run without offers: download, silent install waited for, event 3, Next; then the
// finish page starts the installed product with its start-up argument and takes the minimise box.
TEST_F(InstallPagesTest, IsvInstallsTheProductAndTheFinishPageLaunchesIt) {
    const std::wstring installed = ExpandFolderPlaceholders(config.productLaunchPath);
    const std::wstring launches = installed.substr(0, installed.rfind(L'\\')) + L"\\fxweb-launches.txt";
    DeleteFileW(installed.c_str());
    DeleteFileW(launches.c_str());
    auto product = MakeProduct();
    const size_t mark = backend.Mark();

    auto page = StartPage<DownloadPageIsv>();
    ASSERT_TRUE(WaitForEnd());
    WaitForReports();

    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Next});
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(installation, "started ended ");
    EXPECT_EQ(DownloadPaths(backend, mark), std::vector<std::string>{kProductRoute});
    EXPECT_EQ(config.downloadedFilePath, temp + L"\\0\\beta");
    EXPECT_NE(LoggedInstallers().find(L"\"" + temp + L"\\0\\beta\" /S"), std::wstring::npos) << Narrow(LoggedInstallers());
    EXPECT_TRUE(FileExists(installed)) << Narrow(installed);
    auto events = Events(backend, mark);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, "3");
    EXPECT_EQ(events[0].data["12"], "");
    // The product installer was waited for: the bar shows the installer phase's marquee.
    EXPECT_TRUE(GetWindowLongW(page->GetItem(IDC_PROGRESS_BAR), GWL_STYLE) & PBS_MARQUEE);

    host.pressed.clear();
    SetWindowLongW(host.Hwnd(), GWL_STYLE, GetWindowLongW(host.Hwnd(), GWL_STYLE) | WS_MINIMIZEBOX);
    auto finish = host.Show<FinishPageIsv>(host.Languages(L"en_US"));
    finish->OnNavigateToPage();
    EXPECT_FALSE(GetWindowLongW(host.Hwnd(), GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_EQ(SendMessageW(finish->GetItem(IDC_LAUNCH_CHECK), BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(finish->GetItem(IDC_FINISH_BUTTON));
    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Finish});
    std::string launched;
    for (int i = 0; i < 200 && launched.empty(); ++i, Sleep(50))
        launched = TestBackend::ReadFileBytes(launches);
    EXPECT_NE(launched.find("fxweb.exe\" /RUNONSTARTUP"), std::string::npos) << launched;
}

// Unchecking the box starts nothing and still finishes.
TEST_F(InstallPagesTest, IsvFinishWithoutLaunchStartsNothing) {
    std::vector<std::wstring> opened;
    SetShellOpener([&](const std::wstring& file, const std::wstring&) { opened.push_back(file); });
    auto finish = host.Show<FinishPageIsv>(host.Languages(L"en_US"));
    Click(finish->GetItem(IDC_LAUNCH_CHECK));
    Click(finish->GetItem(IDC_FINISH_BUTTON));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Finish});
}

// Two accepted offers after the product: a plain installer by a relative location and a zip by a
// full URL. Each runs with its parameters, the zip's executable from its extraction folder, and each
// is reported after the product.
TEST_F(InstallPagesTest, IsvRunsAcceptedOffersAfterTheProduct) {
    ServeInstallers({{{"path", "/f/12345/offer1-setup.exe"}, {"body_file", backend.filesDir + "/offer1-setup.exe"}}});
    auto product = MakeProduct();
    AcceptOffer("offer-one", "12345/offer1-setup.exe", "/S /ONE");
    AcceptOffer("offer-two", "https://localhost/f/offer2-setup.zip", "/S /TWO");
    const size_t mark = backend.Mark();

    auto page = StartPage<DownloadPageIsv>();
    ASSERT_TRUE(WaitForEnd());
    WaitForReports();

    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Next});
    EXPECT_EQ(DownloadPaths(backend, mark),
              (std::vector<std::string>{kProductRoute, "/f/12345/offer1-setup.exe", "/f/offer2-setup.zip"}));
    std::wstring log;
    for (int i = 0; i < 100 && std::count(log.begin(), log.end(), L'\n') < 3; ++i, Sleep(50))
        log = LoggedInstallers();
    // The product's installer is waited for: the offers start only after it ended.
    EXPECT_EQ(log.rfind(L"beta\t", 0), 0u) << Narrow(log);
    // Each package in a folder of its own, the zip extracted inside it.
    EXPECT_NE(log.find(L"\"" + temp + L"\\1\\offer1-setup.exe\" /S /ONE"), std::wstring::npos) << Narrow(log);
    EXPECT_NE(log.find(L"\"" + temp + L"\\2\\offer2-setup\\offer2-setup.exe\" /S /TWO"), std::wstring::npos)
        << Narrow(log);
    EXPECT_TRUE(FileExists(temp + L"\\2\\offer2-setup.zip"));

    EXPECT_EQ(Summary(Events(backend, mark)), (Reports{{"offer-one", "3"}, {"offer-two", "3"}, {"product", "3"}}));
    EXPECT_EQ(installation, "started ended ");
}

// The product's installer runs while the offers still download, yet the backend hears the same story
// in the same order: download failures, then the product's outcome, then each offer's start.
TEST_F(InstallPagesTest, IsvProductInstallsDuringTheOfferDownloadsWithEventsInPlanOrder) {
    const struct {
        const char* name;
        bool zipMissing;
        const wchar_t* productExit;
        std::vector<std::string> events;  // who and code, in the order the backend got them
    } cases[] = {
        {"all served", false, nullptr, {"product 3", "offer-one 3", "offer-two 3"}},
        // The product has long ended when the zip's failure is known: its outcome waits for it.
        {"the zip missing", true, nullptr, {"offer-two -1", "product 3", "offer-one 3"}},
        {"product exits 1603, the zip missing", true, L"1603", {"offer-two -1", "product 3", "offer-one 3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.pressed.clear();
        errors.clear();
        config.acceptedPackages.clear();
        temp = TestBackend::ScratchFolder(L"install-pages-temp");
        config.tempFolder = temp;
        config.downloadFolder = temp;
        json routes = json::array();
        if (c.zipMissing)
            routes.push_back({{"path", "/f/offer2-setup.zip"}, {"status", 404}});
        ServeInstallers(routes);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", c.productExit);
        auto product = MakeProduct();
        AcceptOffer("offer-one", Url("offer1-setup.exe"), "/ONE");
        AcceptOffer("offer-two", Url("offer2-setup.zip"), "/TWO");
        const size_t mark = backend.Mark();

        auto page = host.Show<DownloadPageIsv>(host.Languages(L"en_US"));
        page->SetErrorCallback([this](const std::wstring& title, const std::wstring& text) {
            errors.emplace_back(title, text);
        });
        // The backend logs a request as it arrives: what it has seen when the product's installer starts.
        std::vector<std::string> requestedAtStart;
        page->SetInstallationStartedCallback([&] { requestedAtStart = DownloadPaths(backend, mark); });
        page->OnNavigateToPage();
        ASSERT_TRUE(WaitForEnd());
        // A task's message or the timer may still come once everything is taken: the page ends once.
        PostMessageW(page->GetHwnd(), DownloadPageBase::kStepDoneMessage, 1, DownloadPageBase::kInstallerTask);
        PostMessageW(page->GetHwnd(), WM_TIMER, DownloadPageBase::kInstallerTimer, 0);
        Pump(20);
        WaitForReports();

        EXPECT_EQ(std::find(requestedAtStart.begin(), requestedAtStart.end(), "/f/offer2-setup.zip"),
                  requestedAtStart.end())
            << "the last download had begun before the product's installer started";
        EXPECT_EQ(host.pressed.size() + errors.size(), 1u);
        EXPECT_EQ(errors.size(), c.productExit ? 1u : 0u);
        std::vector<std::string> events;
        for (const auto& event : Events(backend, mark))
            events.push_back(event.who + " " + event.code);
        EXPECT_EQ(events, c.events);
        std::wstring log;
        for (int i = 0; i < 100 && std::count(log.begin(), log.end(), L'\n') < (c.zipMissing ? 2 : 3); ++i, Sleep(50))
            log = LoggedInstallers();
        EXPECT_EQ(log.rfind(L"beta\t", 0), 0u) << "the offers start after the product's installer ended: " << Narrow(log);
        DeleteFileW(sampleLog.c_str());
    }
    SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", nullptr);
}

// An offer's installer does not wait for the downloads after it, only for the product's installer:
// with the zip trickling in for seconds, the first offer has started while the zip is still arriving.
TEST_F(InstallPagesTest, IsvOfferStartsOnceItsFileIsInAndTheProductEnded) {
    ServeInstallers({{{"path", "/f/offer2-setup.zip"}, {"body_file", backend.filesDir + "/offer2-setup.zip"}, {"fault", "slow"}, {"chunk_bytes", 16384},
                      {"interval", 0.5}}});
    auto product = MakeProduct();
    AcceptOffer("offer-one", Url("offer1-setup.exe"), "/ONE");
    AcceptOffer("offer-two", Url("offer2-setup.zip"), "/TWO");
    const size_t mark = backend.Mark();

    auto page = StartPage<DownloadPageIsv>();
    std::wstring log;
    for (const ULONGLONG end = GetTickCount64() + 30000;
         log.find(L"offer1-setup.exe") == std::wstring::npos && host.pressed.empty() && GetTickCount64() < end;)
        Pump(20), log = LoggedInstallers();
    const std::wstring zipPath = temp + L"\\2\\offer2-setup.zip";
    const size_t arrived = TestBackend::ReadFileBytes(zipPath).size();
    EXPECT_TRUE(host.pressed.empty()) << "the page ended before the first offer's installer started";
    EXPECT_EQ(log.rfind(L"beta\t", 0), 0u) << "the product's installer comes first: " << Narrow(log);

    ASSERT_TRUE(WaitForEnd());
    EXPECT_LT(arrived, TestBackend::ReadFileBytes(zipPath).size())
        << "the zip was in before the first offer's installer started";
    WaitForReports();
    std::vector<std::string> events;
    for (const auto& event : Events(backend, mark))
        events.push_back(event.who + " " + event.code);
    EXPECT_EQ(events, (std::vector<std::string>{"product 3", "offer-one 3", "offer-two 3"}));
}

// How a failed product ends the ISV page: the offers are still installed and reported, then the
// error texts come instead of Next.
struct ProductFailure {
    const char* name;
    bool productMissing;        // the product URL answers 404
    const wchar_t* exitCode;    // else the product installer exits with this
    bool offersMissing;
    const char* detail;         // start of the product's "12"
    const char* installation;   // the installation callbacks in order
};

const ProductFailure kProductFailures[] = {
    {"download404", true, nullptr, false, "DOWNLOAD FAILED: ", "started ended "},
    {"exit1603", false, L"1603", false, "EXEC FAILED: exit code = 1603", "started ended "},
    // Nothing to install: the phase still begins and ends.
    {"everythingMissing", true, nullptr, true, "DOWNLOAD FAILED: ", "started ended "},
};

TEST_F(InstallPagesTest, IsvFailedProductShowsTheErrorAfterTheOffers) {
    for (const auto& c : kProductFailures) {
        SCOPED_TRACE(c.name);
        host.pressed.clear();
        errors.clear();
        installation.clear();
        config.acceptedPackages.clear();
        temp = TestBackend::ScratchFolder(L"install-pages-temp");  // a run's folder is used once
        json routes = json::array();
        if (c.productMissing)
            routes.push_back({{"path", kProductRoute}, {"status", 404}});
        if (c.offersMissing)
            routes.push_back({{"path", "/f/offer1-setup.exe"}, {"status", 404}});
        ServeInstallers(routes);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", c.exitCode);
        DeleteFileW(sampleLog.c_str());
        auto product = MakeProduct();
        AcceptOffer("offer-one", Url("offer1-setup.exe"), "/ONE");
        AcceptOffer("offer-two", Url(c.offersMissing ? "offer1-setup.exe" : "offer2-setup.zip"), "/TWO");
        const size_t mark = backend.Mark();

        auto page = StartPage<DownloadPageIsv>();
        ASSERT_TRUE(WaitForEnd());
        WaitForReports();

        EXPECT_TRUE(host.pressed.empty());
        auto languages = host.Languages(L"en_US");
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].first, languages->GetString("PAGE_ERROR_TITLE"));
        EXPECT_EQ(errors[0].second, languages->GetString("PAGE_ERROR_TEXT"));
        EXPECT_FALSE(errors[0].first.empty());
        EXPECT_EQ(installation, c.installation);

        auto events = Events(backend, mark);
        ASSERT_EQ(events.size(), 3u);
        for (const auto& event : events) {
            if (event.who == "product") {
                EXPECT_EQ(event.code, "3");  // this build reports failures with code 3
                EXPECT_EQ(event.data["12"].get<std::string>().rfind(c.detail, 0), 0u) << event.data["12"];
            } else {
                EXPECT_EQ(event.code, c.offersMissing ? "-1" : "3") << event.who;
            }
        }
        // The offers' installers are started, not waited for: give them time to write their lines.
        std::wstring log;
        auto bothLogged = [&] { return log.find(L"/ONE") != log.npos && log.find(L"/TWO") != log.npos; };
        for (int i = 0; i < (c.offersMissing ? 10 : 100) && !bothLogged(); ++i, Sleep(50))
            log = LoggedInstallers();
        EXPECT_EQ(log.find(L"/ONE") != std::wstring::npos, !c.offersMissing) << Narrow(log);
        EXPECT_EQ(log.find(L"/TWO") != std::wstring::npos, !c.offersMissing) << Narrow(log);
    }
    SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", nullptr);
}

// After a confirmed close no new download starts: the second one ends, the third never begins.
TEST_F(InstallPagesTest, NoDownloadStartsAfterAConfirmedClose) {
    ServeInstallers({{{"path", "/f/offer1-setup.exe"}, {"body_size", 65536}, {"fault", "slow"},
                      {"chunk_bytes", 4096}, {"interval", 0.1}}});
    auto product = MakeProduct();
    AcceptOffer("offer-one", Url("offer1-setup.exe"), "");
    AcceptOffer("offer-two", Url("offer2-setup.zip"), "");
    const size_t mark = backend.Mark();

    auto page = StartPage<DownloadPageIsv>();
    // Wait until the second download is under way, then close as the wizard does.
    const ULONGLONG end = GetTickCount64() + 30000;
    while (DownloadPaths(backend, mark).size() < 2 && GetTickCount64() < end)
        Pump(20);
    ASSERT_EQ(DownloadPaths(backend, mark).size(), 2u);
    config.cancelRequested = true;
    Pump(4000);  // the slow download takes about 1.6 s

    EXPECT_EQ(DownloadPaths(backend, mark).size(), 2u);
    EXPECT_TRUE(host.pressed.empty());
    EXPECT_TRUE(errors.empty());
}

// The bar: percentages, marquee on WM_DOWNLOAD_INDETERMINATE, which the next percentage ends, and a
// percentage above 100, whose marquee the later percentages do not end.
TEST_F(InstallPagesTest, ProgressBarFollowsTheEngineMessages) {
    auto page = host.Show<DownloadPageIsv>(host.Languages(L"en_US"));
    HWND bar = page->GetItem(IDC_PROGRESS_BAR);
    auto isMarquee = [&] { return (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0; };
    auto post = [&](UINT message, WPARAM percent) {
        PostMessageW(page->GetHwnd(), message, percent, 0);
        Pump(20);
    };

    post(WM_DOWNLOAD_PROGRESS, 40);
    EXPECT_FALSE(isMarquee());
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 40);

    post(WM_DOWNLOAD_INDETERMINATE, 0);
    EXPECT_TRUE(isMarquee());
    post(WM_DOWNLOAD_PROGRESS, 7);
    EXPECT_FALSE(isMarquee());
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 7);

    post(WM_DOWNLOAD_PROGRESS, 150);
    EXPECT_TRUE(isMarquee());
    post(WM_DOWNLOAD_PROGRESS, 60);
    EXPECT_TRUE(isMarquee());
}

// DLM: the product goes to the download folder under its configured name and is reported at once;
// the offers are installed from the temporary folder; the finish page starts the file.
TEST_F(InstallPagesTest, DlmDownloadsTheProductAndTheFinishPageStartsIt) {
    config.wizardType = WizardType::DLM;
    const std::wstring downloads = TestBackend::ScratchFolder(L"install-pages-downloads");
    config.downloadFolder = downloads;
    config.productUrl = L"https://localhost/f/offer3-setup.exe";
    config.productFileName = L"Fennix Web Setup.exe";
    auto product = MakeProduct();
    AcceptOffer("offer-two", Url("offer2-setup.zip"), "/TWO");
    const size_t mark = backend.Mark();

    auto page = StartPage<DownloadPageDlm>();
    ASSERT_TRUE(WaitForEnd());
    WaitForReports();

    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Next});
    const std::wstring file = downloads + L"\\Fennix Web Setup.exe";
    EXPECT_EQ(config.downloadedFilePath, file);
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(Summary(Events(backend, mark)), (Reports{{"offer-two", "3"}, {"product", "3"}}));
    std::wstring log;
    for (int i = 0; i < 100 && log.find(L'\n') == std::wstring::npos; ++i, Sleep(50))
        log = LoggedInstallers();
    EXPECT_NE(log.find(L"\"" + temp + L"\\1\\offer2-setup\\offer2-setup.exe\" /TWO"), std::wstring::npos) << Narrow(log);
    EXPECT_EQ(log.find(L"Fennix Web Setup"), std::wstring::npos) << "the product is not installed here";

    host.pressed.clear();
    DeleteFileW(sampleLog.c_str());
    // The sample logs where this process's environment says, which the desktop shell would not pass on:
    // the file is started from here (the shell's route has tests of its own).
    SetShellOpener([](const std::wstring& file, const std::wstring& parameters) {
        LaunchAsUser({file, parameters, SW_SHOWDEFAULT, nullptr}, nullptr);
    });
    auto finish = host.Show<FinishPageDlm>(host.Languages(L"en_US"));
    EXPECT_EQ(SendMessageW(finish->GetItem(IDC_LAUNCH_RADIO), BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(finish->GetItem(IDC_FINISH_BUTTON));
    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Finish});
    log.clear();
    for (int i = 0; i < 200 && log.find(L'\n') == std::wstring::npos; ++i, Sleep(50))
        log = LoggedInstallers();
    EXPECT_NE(log.find(L"Fennix Web Setup.exe"), std::wstring::npos) << Narrow(log);
}

// The other choice shows the file in Explorer: "/select," and the quoted path, spaces and all.
TEST_F(InstallPagesTest, DlmFinishCanShowTheFileInItsFolder) {
    config.wizardType = WizardType::DLM;
    config.downloadedFilePath = L"C:\\Users\\Me\\My Downloads\\Fennix Web Setup.exe";
    std::vector<std::pair<std::wstring, std::wstring>> opened;
    SetShellOpener([&](const std::wstring& file, const std::wstring& arguments) { opened.emplace_back(file, arguments); });
    SetWindowLongW(host.Hwnd(), GWL_STYLE, GetWindowLongW(host.Hwnd(), GWL_STYLE) | WS_MINIMIZEBOX);

    auto finish = host.Show<FinishPageDlm>(host.Languages(L"en_US"));
    finish->OnNavigateToPage();
    EXPECT_FALSE(GetWindowLongW(host.Hwnd(), GWL_STYLE) & WS_MINIMIZEBOX);
    Click(finish->GetItem(IDC_OPEN_FOLDER_RADIO));
    Click(finish->GetItem(IDC_FINISH_BUTTON));

    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, L"explorer.exe");
    EXPECT_EQ(opened[0].second, L"/select,\"C:\\Users\\Me\\My Downloads\\Fennix Web Setup.exe\"");
    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Finish});
}

// DLM product missing: the offer still runs, and the DLM texts of the error come.
TEST_F(InstallPagesTest, DlmFailedProductShowsTheDownloadError) {
    config.wizardType = WizardType::DLM;
    config.productUrl = L"https://localhost/f/missing-product.exe";
    config.productFileName = L"Fennix Web Setup.exe";
    auto product = MakeProduct();
    AcceptOffer("offer-one", Url("offer1-setup.exe"), "/ONE");
    const size_t mark = backend.Mark();

    auto page = StartPage<DownloadPageDlm>(L"es");
    ASSERT_TRUE(WaitForEnd());
    WaitForReports();

    auto languages = host.Languages(L"es");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, languages->GetString("PAGE_DOWNLOAD_ERROR_TITLE"));
    EXPECT_EQ(errors[0].second, languages->GetString("PAGE_DOWNLOAD_ERROR_DESC"));
    EXPECT_FALSE(errors[0].first.empty());
    const auto events = Events(backend, mark);
    EXPECT_EQ(Summary(events), (Reports{{"offer-one", "3"}, {"product", "3"}}));
    const Event* productEvent = Find(events, "product");
    ASSERT_NE(productEvent, nullptr);
    EXPECT_EQ(productEvent->data["12"].get<std::string>().rfind("DOWNLOAD FAILED: ", 0), 0u);
}

}  // namespace
