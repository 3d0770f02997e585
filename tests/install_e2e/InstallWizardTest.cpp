// The real wizard against the local backend and the sample installers, driven from outside from the
// language page through the download page to the finish or the error page.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "locale/LanguageManager.h"
#include "tests/installer/InstallerTestSupport.h"
#include "tests/support/PrivateFolders.h"
#include "tests/support/Reports.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/CryptoHash.h"
#include "win32/Handle.h"
#include "win32/Strings.h"

using namespace testing_support;
using nlohmann::json;

namespace {

constexpr int kNextButton = 1010;
constexpr int kAcceptButton = 1021;
constexpr int kProgressTitle = 1025;
constexpr int kFinishButton = 1028;
constexpr int kCloseButton = 1035;
constexpr int kErrorTitle = 1036;
constexpr int kErrorText = 1037;
constexpr int kDisclaimer = 1042;
constexpr int kLaunchCheck = 1044;
constexpr int kAgreeButton = 1050;

constexpr char kProductRoute[] = "/endpoint/fxweb/os/riserollout/track/beta";
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

bool SpanishUser() {
    const char* expected = std::getenv("FENNIX_EXPECT_LANGUAGE");
    return expected && std::string(expected) == "es";
}

// A locale text as the wizard shows it in the user's language, read from the program's own resources.
std::wstring LocaleText(const std::string& key) {
    static const std::shared_ptr<LanguageManager> languages = [] {
        auto manager = std::make_shared<LanguageManager>(nullptr);
        HWND combo = CreateWindowW(L"COMBOBOX", L"", CBS_DROPDOWNLIST, 0, 0, 200, 200, nullptr, nullptr, nullptr,
                                   nullptr);
        manager->FillLanguageCombo(combo);
        const std::wstring wanted = SpanishUser() ? L"es" : L"en_US";
        const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t name[128] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
            if (manager->SetLanguage(name) && ConfigurationManager::GetInstance()->localeName == wanted)
                break;
        }
        DestroyWindow(combo);
        return manager;
    }();
    return languages->GetString(key);
}

bool Visible(HWND page, int id) { return GetDlgItem(page, id) && ControlVisible(page, id); }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

json Offer(const std::string& id, int vertical, const std::string& location, const std::string& params) {
    return {{"ad", {{"o", id}, {"f", "flow-" + id}}},
            {"ps",
             {{"i", "offer" + std::to_string(vertical) + ".png"},
              {"dn", "Offer " + id},
              {"u", location},
              {"p", params},
              {"cp", "https://localhost/legal/offer-privacy/"},
              {"ctu", "https://localhost/legal/offer-terms/"},
              {"c", "chan"},
              {"v", vertical}}}};
}

const json kOfferOne = Offer("one", 1, "installers/offer1-setup.exe", "/S /ONE");

std::string InstallerBytes(const std::string& file) {
    const char* dir = std::getenv("FENNIX_INSTALLERS_DIR");
    return TestBackend::ReadFileBytes(Utf8ToWide(std::string(dir ? dir : "") + "/" + file));
}

// The digest and size the backend would send for one of the sample installers; `wrong` names other bytes.
json Digest(const std::string& file, bool wrong = false) {
    const std::string bytes = InstallerBytes(file);
    return {{"sha256", wrong ? Sha256Hex(bytes + "x") : Sha256Hex(bytes)}, {"size", bytes.size()}};
}

json WithDigest(json offer, const json& digest) {
    offer["ps"].update(digest);
    return offer;
}
const json kOfferZip = Offer("two", 2, "installers/offer2-setup.zip", "/S /TWO");

// The freshly built installers: the product on its URL, the offers under /f/installers/; what is not
// served answers 404 (the demo folder may hold copies of its own there).
json InstallerRoutes(bool product, bool offers, bool zip) {
    const char* dir = std::getenv("FENNIX_INSTALLERS_DIR");
    const std::string installers = dir ? dir : "";
    auto route = [&](const std::string& path, bool served, const std::string& file) -> json {
        if (served)
            return {{"path", path}, {"body_file", installers + "/" + file}};
        return {{"path", path}, {"status", 404}, {"body", "missing"}};
    };
    return json::array({route(kProductRoute, product, "fxweb-setup.exe"),
                        route("/f/installers/offer1-setup.exe", offers, "offer1-setup.exe"),
                        route("/f/installers/offer2-setup.zip", zip, "offer2-setup.zip")});
}
json InstallerRoutes(bool product, bool offers) { return InstallerRoutes(product, offers, offers); }

// Ends every process of this image name; how many there were.
int TerminateProcessesNamed(const wchar_t* name) {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, name) != 0)
            continue;
        UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && TerminateProcess(process.get(), 1)) {
            WaitForSingleObject(process.get(), 10000);
            ++count;
        }
    }
    return count;
}

// The machine-wide list of deletions at restart: read, and put back as it was.
struct PendingValue {
    bool exists = false;
    std::vector<BYTE> data;

    static PendingValue Read() {
        PendingValue value;
        UniqueRegKey key;
        DWORD size = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
            RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
            return value;
        value.data.resize(size);
        value.exists =
            RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, value.data.data(), &size) == ERROR_SUCCESS;
        value.data.resize(size);
        return value;
    }
    void Restore() const {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
            return;
        if (exists)
            RegSetValueExW(key.get(), kPendingValue, 0, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
        else
            RegDeleteValueW(key.get(), kPendingValue);
    }
    // The paths scheduled for deletion (a source with an empty target) under `folder`, in order.
    std::vector<std::wstring> DeletionsUnder(const std::wstring& folder) const {
        std::vector<std::wstring> strings;
        const auto* text = reinterpret_cast<const wchar_t*>(data.data());
        const size_t count = data.size() / sizeof(wchar_t);
        for (size_t start = 0; start < count;) {
            size_t end = start;
            while (end < count && text[end] != L'\0')
                ++end;
            strings.emplace_back(text + start, end - start);
            start = end + 1;
        }
        std::vector<std::wstring> deletions;
        const std::wstring prefix = L"\\??\\" + folder;
        for (size_t i = 0; i + 1 < strings.size() && !strings[i].empty(); i += 2)
            if (strings[i].size() >= prefix.size() &&
                CompareStringOrdinal(strings[i].c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                     static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL &&
                strings[i + 1].empty())
                deletions.push_back(strings[i].substr(4));
        return deletions;
    }
};

class InstallWizardTest : public testing::Test {
protected:
    void SetUp() override {
        sampleLog = TestBackend::ScratchFolder(L"install-e2e") + L"\\installers.txt";
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_LOG", sampleLog.c_str());
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_FXWEB_NO_WINDOW", L"1");
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", nullptr);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_DELAY_MS", nullptr);
        RemoveTree(productFolder);
    }
    void TearDown() override {
        wizard.Terminate();
        RemoveTree(productFolder);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", nullptr);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_DELAY_MS", nullptr);
    }

    // Starts the wizard on these offers and installers, goes past the language and license pages and
    // answers each offer's page in turn.
    void StartAndAnswer(const json& offers, json routes, const std::vector<int>& answers = {},
                        const json& product = nullptr) {
        json configuration = {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", offers}};
        if (!product.is_null())
            configuration["product"] = product;
        StartPastTheLicense(configuration, std::move(routes));
        if (HasFatalFailure())
            return;
        for (size_t i = 0; i < answers.size(); ++i) {
            const std::string name = "Offer " + offers[i]["ad"]["o"].get<std::string>();
            HWND product = WaitForOfferPage(std::wstring(name.begin(), name.end()));
            ASSERT_NE(product, nullptr) << name;
            ClickButton(product, answers[i]);
        }
    }

    // Starts the wizard on this configuration response and goes past the language and license pages.
    void StartPastTheLicense(const json& configuration, json routes) {
        wizard.Terminate();
        DeleteFileW(sampleLog.c_str());
        backend.SetScenario({{"config", configuration}, {"files", backend.filesDir}, {"routes", std::move(routes)}});
        mark = backend.Mark();
        wizardTemp = TestBackend::ScratchFolder(L"wizard-temp");
        ASSERT_TRUE(wizard.StartWithTempFolder(wizardExe, wizardTemp));
        window = WaitForWindowTitled(wizard.Id(), L"Fennix Web ");
        ASSERT_NE(window, nullptr);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        HWND language = WaitForPage(window, [](HWND p) { return Visible(p, kNextButton); });
        ASSERT_NE(language, nullptr);
        temp = WaitForPrivateFolder(wizardTemp);
        ASSERT_FALSE(temp.empty());
        ClickButton(language, kNextButton);
        HWND license = WaitForPage(window, [](HWND p) { return Visible(p, kAgreeButton); });
        ASSERT_NE(license, nullptr);
        ClickButton(license, kAgreeButton);
    }

    // The page the run ends on: the finish page or the error page.
    HWND WaitForLastPage(DWORD milliseconds = 40000) {
        return WaitForPage(
            window, [](HWND p) { return Visible(p, kFinishButton) || Visible(p, kErrorTitle); }, milliseconds);
    }

    // The product page whose consent sentence names this offer.
    HWND WaitForOfferPage(const std::wstring& name) {
        return WaitForPage(window, [&](HWND p) {
            return GetDlgItem(p, kDisclaimer) && ControlText(p, kDisclaimer).find(name) != std::wstring::npos;
        });
    }

    // A failed product run's reports, 1 then 3: the failure text ("12") of its event 3.
    std::string ProductFailureText() {
        std::vector<Event> events;
        const Reports expected{{"product", "1"}, {"product", "3"}};
        EXPECT_EQ(WaitForReports(expected, &events), expected);
        for (const auto& e : events)
            if (e.code == "3")
                return e.data.value("12", "");
        return {};
    }

    // The reports of this run's wizard: a report of the wizard stopped before it may still land after
    // the mark. A run is known by the session of its first report, the product's 1.
    std::vector<Event> RunEvents() {
        std::vector<Event> events = Events(backend.Requests(mark));
        std::string session;
        for (const auto& e : events)
            if (e.who == "product" && e.code == "1") {
                session = e.data.value("1", "");
                break;
            }
        if (session.empty())
            return events;
        events.erase(std::remove_if(events.begin(), events.end(),
                                    [&](const Event& e) { return e.data.value("1", "") != session; }),
                     events.end());
        return events;
    }

    // Reports travel on threads of their own: wait until `expected` arrived, then return what came.
    Reports WaitForReports(const Reports& expected, std::vector<Event>* events = nullptr) {
        const ULONGLONG end = GetTickCount64() + 15000;
        std::vector<Event> seen;
        do {
            seen = RunEvents();
            if (Summary(seen).size() >= expected.size())
                break;
            Sleep(100);
        } while (GetTickCount64() < end);
        if (events)
            *events = seen;
        return Summary(seen);
    }

    // The installers' command lines, "<program>\t<command line>", once `count` of them have written.
    std::vector<std::wstring> InstallerLines(size_t count) {
        std::vector<std::wstring> lines;
        for (int i = 0; i < 200; ++i, Sleep(50)) {
            lines = CompleteLines(Utf8ToWide(TestBackend::ReadFileBytes(sampleLog)));
            if (lines.size() >= count)
                break;
        }
        return lines;
    }

    bool Finish(HWND finish) {
        ClickButton(finish, kFinishButton);
        return wizard.WaitForExit(20000);
    }

    void Screenshot(const std::wstring& name) {
        const std::wstring path = ArtefactPath(name + (SpanishUser() ? L"-es.png" : L"-en.png"));
        if (!path.empty()) {
            Sleep(300);
            EXPECT_TRUE(SaveScreenshot(window, path));
        }
    }

    TestBackend backend;
    size_t mark = 0;
    std::wstring wizardExe = WindowsPathFromEnv("FENNIX_WIZARD_EXE");
    // The same wizard with its network time limits and retry pauses at a tenth, for tests about what
    // follows a failed transfer rather than about how long it takes.
    void UseQuickWizard() { wizardExe = WindowsPathFromEnv("FENNIX_WIZARD_QUICK_EXE"); }
    WizardProcess wizard;
    HWND window = nullptr;
    std::wstring wizardTemp;  // the wizard's %TEMP%
    std::wstring temp;  // the run's private temporary folder
    std::wstring sampleLog;
    const std::wstring productExe = ExpandFolderPlaceholders(L"{commonappdata}\\Fennix Web\\fxweb.exe");
    const std::wstring productFolder = productExe.substr(0, productExe.rfind(L'\\'));
};

std::string Narrow(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += WideToUtf8(line) + "\n";
    return text;
}

}  // namespace

TEST_F(InstallWizardTest, WithoutOffersTheProductIsInstalledAndFinishLaunchesIt) {
    StartAndAnswer(json::array(), InstallerRoutes(true, true));
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));
    EXPECT_EQ(SendMessageW(GetDlgItem(finish, kLaunchCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
    Screenshot(L"finish-page");

    // Installed silently and waited for: the product is there before the finish page.
    EXPECT_EQ(InstallerLines(1), std::vector<std::wstring>{L"beta\t\"" + temp + L"\\0\\beta\" /S"});
    EXPECT_TRUE(Exists(productExe)) << WideToUtf8(productExe);
    std::vector<Event> events;
    EXPECT_EQ(WaitForReports({{"product", "1"}, {"product", "3"}}, &events),
              (Reports{{"product", "1"}, {"product", "3"}}));
    for (const auto& e : events) {
        if (e.code == "3") {
            EXPECT_EQ(e.data.value("12", ""), "");
        }
    }

    const std::wstring launches = productFolder + L"\\fxweb-launches.txt";
    ASSERT_TRUE(Finish(finish));
    std::vector<std::wstring> launched;
    for (int i = 0; i < 200 && launched.empty(); ++i, Sleep(50))
        launched = CompleteLines(Utf8ToWide(TestBackend::ReadFileBytes(launches)));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_NE(launched[0].find(L"fxweb.exe\" /RUNONSTARTUP"), std::wstring::npos) << WideToUtf8(launched[0]);
    EXPECT_FALSE(Exists(temp)) << WideToUtf8(temp);
}

// Accepted offers run after the product; one whose download fails still lets the run end on the finish
// page, reported with -1 and the failures of both transports, the second one's after a pause.
TEST_F(InstallWizardTest, AcceptedOffersRunWithTheirParametersAfterTheProduct) {
    UseQuickWizard();
    const struct {
        const char* name;
        bool zipServed;
        const char* zipCode;
    } cases[] = {
        {"both served", true, "3"},
        {"the zip missing", false, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartAndAnswer(json::array({kOfferOne, kOfferZip}), InstallerRoutes(true, true, c.zipServed),
                       {kAcceptButton, kAcceptButton});
        HWND finish = WaitForLastPage();
        ASSERT_NE(finish, nullptr);
        ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));

        // The product's installer is waited for, so its line comes first; the offers' are only started.
        const size_t installers = c.zipServed ? 3 : 2;
        auto lines = InstallerLines(installers);
        ASSERT_EQ(lines.size(), installers) << Narrow(lines);
        EXPECT_EQ(lines[0], L"beta\t\"" + temp + L"\\0\\beta\" /S");
        std::sort(lines.begin() + 1, lines.end());
        EXPECT_EQ(lines[1], L"offer1-setup.exe\t\"" + temp + L"\\1\\offer1-setup.exe\" /S /ONE");
        if (c.zipServed) {
            EXPECT_EQ(lines[2], L"offer2-setup.exe\t\"" + temp + L"\\2\\offer2-setup\\offer2-setup.exe\" /S /TWO");
        }

        std::vector<Event> events;
        const Reports expected{{"one", "3"}, {"product", "1"}, {"product", "3"}, {"two", c.zipCode}};
        EXPECT_EQ(WaitForReports(expected, &events), expected);
        EXPECT_EQ(PackageOrderProblems(events), "");
        for (const auto& e : events) {
            if (e.who == "two" && e.code == "-1") {
                const std::string text = e.data.value("12", "");
                EXPECT_EQ(text.rfind("DOWNLOAD FAILED: [WINHTTP] ", 0), 0u) << text;
                EXPECT_NE(text.find(" [WININET] "), std::string::npos) << text;
            }
        }
        ASSERT_TRUE(Finish(finish));
        EXPECT_FALSE(Exists(temp)) << WideToUtf8(temp);  // the zip's extraction folder included
    }
}

// A failed product ends on the error page after the offers were still installed and reported.
TEST_F(InstallWizardTest, FailedProductEndsOnTheErrorPageAfterTheOffers) {
    UseQuickWizard();
    struct Case {
        const char* name;
        bool productServed;
        const wchar_t* productExit;
        bool offersServed;
        const char* productDetail;  // start of the product's "12"
        const char* offerCode;
    };
    const Case cases[] = {
        {"product 404", false, nullptr, true, "DOWNLOAD FAILED: ", "3"},
        {"product exits 1603", true, L"1603", true, "EXEC FAILED: exit code = 1603", "3"},
        {"every download fails", false, nullptr, false, "DOWNLOAD FAILED: ", "-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", c.productExit);
        StartAndAnswer(json::array({kOfferOne, kOfferZip}), InstallerRoutes(c.productServed, c.offersServed),
                       {kAcceptButton, kAcceptButton});
        HWND error = WaitForLastPage();
        ASSERT_NE(error, nullptr);
        ASSERT_TRUE(Visible(error, kErrorTitle)) << WideToUtf8(DescribeControls(error));
        EXPECT_FALSE(LocaleText("PAGE_ERROR_TITLE").empty());
        EXPECT_EQ(ControlText(error, kErrorTitle), LocaleText("PAGE_ERROR_TITLE"));
        EXPECT_EQ(ControlText(error, kErrorText), LocaleText("PAGE_ERROR_TEXT"));
        EXPECT_EQ(ControlText(error, kCloseButton), LocaleText("BUTTON_CLOSE"));
        if (c.productServed == false && c.offersServed)
            Screenshot(L"error-page");

        std::vector<Event> events;
        const Reports expected{{"one", c.offerCode}, {"product", "1"}, {"product", "3"}, {"two", c.offerCode}};
        EXPECT_EQ(WaitForReports(expected, &events), expected);
        for (const auto& e : events) {
            if (e.who == "product" && e.code == "3") {
                EXPECT_EQ(e.data.value("12", "").rfind(c.productDetail, 0), 0u) << e.data.dump();
            }
        }

        if (!c.offersServed)
            Sleep(500);  // room for a wrongly started installer to write its line
        const auto lines = InstallerLines((c.productServed ? 1 : 0) + (c.offersServed ? 2 : 0));
        std::vector<std::wstring> offerLines;
        for (const auto& line : lines)
            if (line.rfind(L"offer", 0) == 0)
                offerLines.push_back(line.substr(0, line.find(L'\t')));
        std::sort(offerLines.begin(), offerLines.end());
        const std::vector<std::wstring> expectedOffers =
            c.offersServed ? std::vector<std::wstring>{L"offer1-setup.exe", L"offer2-setup.exe"}
                           : std::vector<std::wstring>{};
        EXPECT_EQ(offerLines, expectedOffers) << Narrow(lines);

        ClickButton(error, kCloseButton);
        EXPECT_TRUE(wizard.WaitForExit(20000));
        RemoveTree(temp);  // Close leaves the folder to the next cleaner; not this test's subject
    }
}

// A close request that reaches the download page while the product's installer runs asks the
// installation question; declining it lets the run go on to the finish.
TEST_F(InstallWizardTest, CloseRequestWhileTheProductInstallsAsksAboutRunningInstallers) {
    SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_DELAY_MS", L"6000");
    StartAndAnswer(json::array(), InstallerRoutes(true, true));
    ASSERT_NE(WaitForPage(window, [](HWND p) { return Visible(p, kProgressTitle); }), nullptr);
    ASSERT_EQ(InstallerLines(1).size(), 1u);  // the product's installer has started and now waits
    Screenshot(L"download-page");
    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(LocaleText("PROGRESS_QUIT").empty());
    EXPECT_EQ(MessageBoxText(box), LocaleText("PROGRESS_QUIT"));
    ClickButton(box, IDCANCEL);

    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    EXPECT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));
    EXPECT_TRUE(Exists(productExe));
}

// A close confirmed on the download page stops the download under way and starts nothing more: the
// product and the shown offer report 5, and the private folder goes.
TEST_F(InstallWizardTest, ConfirmedCloseOnTheDownloadPageStopsEverything) {
    json routes = InstallerRoutes(true, true);
    routes[0] = {{"path", kProductRoute}, {"body_size", 4 << 20}, {"fault", "slow"}, {"chunk_bytes", 4096},
                 {"interval", 0.1}};
    StartAndAnswer(json::array({kOfferOne}), routes, {kAcceptButton});
    ASSERT_NE(WaitForPage(window, [](HWND p) { return Visible(p, kProgressTitle); }), nullptr);
    // Installer downloads: every GET but the offers' images, which the loading page fetched.
    auto downloads = [&] {
        std::vector<std::string> paths;
        for (const auto& request : backend.Requests(mark)) {
            const std::string path = request.value("path", "");
            if (request.value("method", "") == "GET" && (path.rfind("/f/", 0) != 0 || path.rfind("/f/installers/", 0) == 0))
                paths.push_back(path);
        }
        return paths;
    };
    for (const ULONGLONG end = GetTickCount64() + 15000; downloads().empty() && GetTickCount64() < end;)
        Sleep(50);
    ASSERT_EQ(downloads(), std::vector<std::string>{kProductRoute});

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr);
    ClickButton(box, IDOK);
    ASSERT_TRUE(wizard.WaitForExit(30000));

    // Everything the wizard did is in the log now: it waited for its reports before it ended.
    const auto events = RunEvents();
    EXPECT_EQ(Summary(events), (Reports{{"one", "5"}, {"product", "1"}, {"product", "5"}}));
    EXPECT_EQ(PackageOrderProblems(events), "");
    EXPECT_EQ(downloads(), std::vector<std::string>{kProductRoute});
    EXPECT_TRUE(CompleteLines(Utf8ToWide(TestBackend::ReadFileBytes(sampleLog))).empty());
    EXPECT_FALSE(Exists(temp)) << WideToUtf8(temp);
}

// A file still held open when the wizard ends stays, scheduled for deletion at restart with the
// folders above it; everything else in the temporary folder goes at once.
TEST_F(InstallWizardTest, FileHeldOpenAtTheEndIsLeftForRestart) {
    const PendingValue saved = PendingValue::Read();
    StartAndAnswer(json::array({kOfferZip}), InstallerRoutes(true, true), {kAcceptButton});
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));
    ASSERT_EQ(InstallerLines(2).size(), 2u);  // the zip's installer has run and let go of its folder

    const std::wstring package = temp + L"\\1";
    const std::wstring extracted = package + L"\\offer2-setup";
    const std::wstring held = extracted + L"\\docs\\README.txt";
    UniqueFile open(CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(open) << WideToUtf8(held);
    const bool finished = Finish(finish);
    const PendingValue pending = PendingValue::Read();
    saved.Restore();
    std::vector<std::wstring> left;
    for (const auto& path : {temp + L"\\0\\beta", package + L"\\offer2-setup.zip", extracted + L"\\offer2-setup.exe", held})
        if (Exists(path))
            left.push_back(path);
    open.reset();
    RemoveTree(temp);
    ASSERT_TRUE(finished);

    EXPECT_EQ(left, std::vector<std::wstring>{held});
    EXPECT_EQ(pending.DeletionsUnder(temp),
              (std::vector<std::wstring>{held, extracted + L"\\docs", extracted, package, temp}));
}

// An offer's installer is started and not waited for: when Finish comes while it still runs, its folder
// (the files it may still read beside it) is left for the restart instead of being deleted under it.
TEST_F(InstallWizardTest, AnOfferStillRunningAtFinishKeepsItsFolderUntilRestart) {
    const PendingValue saved = PendingValue::Read();
    StartAndAnswer(json::array({Offer("two", 2, "installers/offer2-setup.zip", "/S /WAIT=60000")}),
                   InstallerRoutes(true, true), {kAcceptButton});
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));
    ASSERT_EQ(InstallerLines(2).size(), 2u);  // the offer's installer runs

    const std::wstring package = temp + L"\\1";
    const std::wstring extracted = package + L"\\offer2-setup";
    const std::wstring beside = extracted + L"\\docs\\README.txt";
    const bool finished = Finish(finish);
    const PendingValue pending = PendingValue::Read();
    saved.Restore();
    const bool besideKept = Exists(beside);
    const bool downloadsGone = !Exists(temp + L"\\0\\beta") && !Exists(package + L"\\offer2-setup.zip");
    EXPECT_EQ(TerminateProcessesNamed(L"offer2-setup.exe"), 1);
    RemoveTree(temp);
    ASSERT_TRUE(finished);

    EXPECT_TRUE(besideKept);
    EXPECT_TRUE(downloadsGone);
    std::vector<std::wstring> deletions = pending.DeletionsUnder(temp);
    ASSERT_GE(deletions.size(), 3u);
    EXPECT_EQ(std::vector<std::wstring>(deletions.end() - 3, deletions.end()),
              (std::vector<std::wstring>{extracted, package, temp}));
    std::sort(deletions.begin(), deletions.end() - 3);
    EXPECT_EQ(std::vector<std::wstring>(deletions.begin(), deletions.end() - 3),
              (std::vector<std::wstring>{extracted + L"\\docs", beside, extracted + L"\\offer2-setup.exe"}));
}

// Windows Vista has no automatic proxy and speaks TLS 1.0 only: a copy of the wizard that Wine tells it is
// Vista still installs the product and reports from Vista.
TEST_F(InstallWizardTest, OnWindowsVistaTheProductIsInstalled) {
    const std::wstring copy = TestBackend::ScratchFolder(L"vista") + L"\\FennixWebSetupVista.exe";
    ASSERT_TRUE(CopyFileW(wizardExe.c_str(), copy.c_str(), FALSE));
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\FennixWebSetupVista.exe";
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, appDefaults.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    const wchar_t vista[] = L"vista";
    ASSERT_EQ(RegSetValueExW(key.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(vista), sizeof vista),
              ERROR_SUCCESS);
    key.reset();
    wizardExe = copy;

    StartAndAnswer(json::array(), InstallerRoutes(true, true));
    HWND finish = WaitForLastPage();
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults.c_str());
    ASSERT_NE(finish, nullptr);
    EXPECT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));
    std::vector<Event> events;
    const Reports expected{{"product", "1"}, {"product", "3"}};
    EXPECT_EQ(WaitForReports(expected, &events), expected);
    for (const auto& e : events)
        EXPECT_EQ(e.data.value("31", "").rfind("6.0.", 0), 0u) << e.data.dump();
    EXPECT_TRUE(Finish(finish));
}

// The run's log, in the user's temporary folder, tells line by line what happened on the wire, and never
// the machine id. It also shows the product's installer running while the offer still downloads (the
// offer comes slowly, over seconds), and the offer starting only after the product's installer ended.
TEST_F(InstallWizardTest, TheRunLogSaysWhatHappened) {
    const std::wstring logs = TestBackend::ScratchFolder(L"wizard-temp");
    std::vector<std::wstring> old;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((logs + L"\\FennixWebSetup-*.log").c_str(), &data));
    for (bool more = bool(find); more; more = FindNextFileW(find.get(), &data))
        old.push_back(logs + L"\\" + data.cFileName);
    find.reset();
    for (const auto& path : old)
        DeleteFileW(path.c_str());

    json rejected = Offer("bad", 2, "installers/offer2-setup.zip", "/S");
    rejected["ps"]["sha256"] = "not a digest";
    json routes = InstallerRoutes(true, true);
    routes[1]["fault"] = "slow";
    routes[1]["chunk_bytes"] = 16384;
    routes[1]["interval"] = 0.2;
    StartAndAnswer(json::array({kOfferOne, rejected}), routes, {kAcceptButton});
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    std::vector<Event> events;
    const Reports expected{{"bad", "2"}, {"one", "3"}, {"product", "1"}, {"product", "3"}};
    EXPECT_EQ(WaitForReports(expected, &events), expected);
    ASSERT_TRUE(Finish(finish));

    find.reset(FindFirstFileW((logs + L"\\FennixWebSetup-*.log").c_str(), &data));
    ASSERT_TRUE(find);
    const std::string log = TestBackend::ReadFileBytes(logs + L"\\" + data.cFileName);
    EXPECT_FALSE(FindNextFileW(find.get(), &data)) << "one log per run";
    const std::string product = WideToUtf8(temp) + "\\0\\beta";
    const std::string size = std::to_string(InstallerBytes("fxweb-setup.exe").size());
    // Each in this order, each on a line of its own after its time.
    const std::vector<std::string> wanted = {
        "Fennix Web setup ",
        " on Windows ",
        "page: LanguagePage",
        "page: LoadingPage",
        "configuration request: status 200, ",
        "configuration: 2 offers listed",
        "offer one: admitted",
        "offer bad: rejected: INVALID SHA256: NOT 64 HEX DIGITS",
        "download https://localhost" + std::string(kProductRoute) + ": " + size + " bytes in ",
        " over WinHTTP, digest check: none given",
        "installer started and waited for: \"" + product + "\" /S",
        "download https://localhost/f/installers/offer1-setup.exe: ",
        "installer started: \"" + WideToUtf8(temp) + "\\1\\offer1-setup.exe\" /S /ONE",
        "end of run",
    };
    size_t at = 0;
    for (const auto& text : wanted) {
        const size_t found = log.find(text, at);
        ASSERT_NE(found, std::string::npos) << "missing after " << at << ": " << text << "\n" << log;
        at = found + text.size();
    }
    const size_t productStart = log.find("installer started and waited for");
    const size_t productEnd = log.find("installer " + product + ": exit code 0");
    EXPECT_LT(productStart, productEnd) << log;
    EXPECT_LT(productEnd, log.find("installer started: ")) << log;
    for (const char* report : {"report product event 1: status 200, 1 attempt", "report bad event 2: status 200",
                               "report one event 3: status 200", "report product event 3: status 200"})
        EXPECT_NE(log.find(report), std::string::npos) << report << "\n" << log;
    for (const char* page : {"page: LicensePage", "page: ProductPage", "page: DownloadPageISV", "page: FinishPageISV"})
        EXPECT_NE(log.find(page), std::string::npos) << page << "\n" << log;
    ASSERT_FALSE(events.empty());
    const std::string machineId = events[0].data.value("1", "");
    ASSERT_FALSE(machineId.empty());
    EXPECT_EQ(log.find(machineId), std::string::npos) << log;
    for (size_t line = 0; line < log.size(); line = log.find("\r\n", line) + 2)
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(log[line])) && log.compare(line + 4, 1, "-") == 0)
            << log.substr(line, 40);
}

// What runs is what the backend named: matching digests install as before; an offer whose bytes differ
// is never started and is reported as a failed download while the others install; a product whose
// bytes differ ends on the error page with nothing started.
TEST_F(InstallWizardTest, DigestsDecideWhatRuns) {
    UseQuickWizard();
    struct Case {
        const char* name;
        bool offerOneWrong;
        bool productWrong;
        bool withOffers;
        Reports reports;
        std::vector<std::wstring> programs;  // the installers that ran, sorted
    };
    const Case cases[] = {
        {"every digest matches", false, false, true,
         {{"one", "3"}, {"product", "1"}, {"product", "3"}, {"two", "3"}},
         {L"beta", L"offer1-setup.exe", L"offer2-setup.exe"}},
        {"an offer's bytes differ", true, false, true,
         {{"one", "-1"}, {"product", "1"}, {"product", "3"}, {"two", "3"}},
         {L"beta", L"offer2-setup.exe"}},
        {"the product's bytes differ", false, true, false, {{"product", "1"}, {"product", "3"}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const json offers = c.withOffers ? json::array({WithDigest(kOfferOne, Digest("offer1-setup.exe", c.offerOneWrong)),
                                                        WithDigest(kOfferZip, Digest("offer2-setup.zip"))})
                                         : json::array();
        StartAndAnswer(offers, InstallerRoutes(true, true),
                       c.withOffers ? std::vector<int>{kAcceptButton, kAcceptButton} : std::vector<int>{},
                       Digest("fxweb-setup.exe", c.productWrong));
        HWND last = WaitForLastPage();
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(Visible(last, kErrorTitle), c.productWrong) << WideToUtf8(DescribeControls(last));

        std::vector<Event> events;
        EXPECT_EQ(WaitForReports(c.reports, &events), c.reports);
        for (const auto& e : events) {
            const std::string text = e.data.value("12", "");
            if (e.code == "-1" || (e.who == "product" && e.code == "3" && c.productWrong)) {
                EXPECT_EQ(text.rfind("DOWNLOAD FAILED: SHA-256 mismatch: expected ", 0), 0u) << text;
            }
        }
        Sleep(500);  // room for a wrongly started installer to write its line
        std::vector<std::wstring> programs;
        for (const auto& line : InstallerLines(c.programs.size()))
            programs.push_back(line.substr(0, line.find(L'\t')));
        std::sort(programs.begin(), programs.end());
        EXPECT_EQ(programs, c.programs);
        if (c.offerOneWrong) {
            EXPECT_FALSE(Exists(temp + L"\\1\\offer1-setup.exe")) << "a file that does not match is deleted";
        }

        ClickButton(last, c.productWrong ? kCloseButton : kFinishButton);
        EXPECT_TRUE(wizard.WaitForExit(20000));
        RemoveTree(temp);
    }
}

// Two offers whose locations end in the same file name each get their own file and their own run, in
// a folder of their own, which is also where they start.
TEST_F(InstallWizardTest, OffersWithTheSameFileNameEachRunTheirOwnInstallerOnce) {
    const std::wstring cwdLog = TestBackend::ScratchFolder(L"install-e2e-cwd") + L"\\cwd.txt";
    SetEnvironmentVariableW(L"FENNIX_SAMPLE_CWD_LOG", cwdLog.c_str());
    const json offers = json::array({Offer("a", 1, "a1/setup.exe", "/S /A"), Offer("b", 2, "b1/setup.exe", "/S /B")});
    json routes = InstallerRoutes(true, false);
    const char* dir = std::getenv("FENNIX_INSTALLERS_DIR");
    routes.push_back({{"path", "/f/a1/setup.exe"}, {"body_file", std::string(dir) + "/offer1-setup.exe"}});
    routes.push_back({{"path", "/f/b1/setup.exe"}, {"body_file", std::string(dir) + "/offer2-setup.exe"}});
    StartAndAnswer(offers, routes, {kAcceptButton, kAcceptButton});
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));

    auto lines = InstallerLines(3);
    Sleep(500);  // room for a second run of either
    lines = InstallerLines(3);
    std::sort(lines.begin() + 1, lines.end());
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"beta\t\"" + temp + L"\\0\\beta\" /S",
                                                L"setup.exe\t\"" + temp + L"\\1\\setup.exe\" /S /A",
                                                L"setup.exe\t\"" + temp + L"\\2\\setup.exe\" /S /B"}))
        << Narrow(lines);
    auto folders = CompleteLines(Utf8ToWide(TestBackend::ReadFileBytes(cwdLog)));
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::wstring>{L"beta\t" + temp + L"\\0", L"setup.exe\t" + temp + L"\\1",
                                                  L"setup.exe\t" + temp + L"\\2"}));
    const Reports expected{{"a", "3"}, {"b", "3"}, {"product", "1"}, {"product", "3"}};
    EXPECT_EQ(WaitForReports(expected), expected);
    SetEnvironmentVariableW(L"FENNIX_SAMPLE_CWD_LOG", nullptr);
    ASSERT_TRUE(Finish(finish));
}

// A product location that redirects to plain http is refused by both transports, and nothing is
// fetched over http: the run ends on the error page.
TEST_F(InstallWizardTest, ProductRedirectToHttpIsRefusedOnBothTransports) {
    UseQuickWizard();
    json routes = json::array({{{"path", kProductRoute}, {"redirect", {{"to", "http://localhost/f/plain/beta"}}}},
                               {{"path", "/f/plain/beta"}, {"body_file", std::string(std::getenv("FENNIX_INSTALLERS_DIR")) +
                                                                             "/fxweb-setup.exe"}}});
    StartAndAnswer(json::array(), routes);
    HWND error = WaitForLastPage();
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(Visible(error, kErrorTitle)) << WideToUtf8(DescribeControls(error));
    EXPECT_EQ(ProductFailureText(),
              "DOWNLOAD FAILED: [WINHTTP] Redirect from https to http refused: http://localhost/f/plain/beta"
              " [WININET] Redirect from https to http refused: http://localhost/f/plain/beta");
    for (const auto& request : backend.Requests(mark)) {
        EXPECT_TRUE(request.value("tls", true)) << request.dump();
    }
    EXPECT_TRUE(InstallerLines(0).empty());
    ClickButton(error, kCloseButton);
    EXPECT_TRUE(wizard.WaitForExit(20000));
    RemoveTree(temp);
}

// Hostile archives are refused before anything is extracted, reported as failed starts, and nothing of
// them runs; the product still installs.
TEST_F(InstallWizardTest, ZipBombAndDeviceNameAreRefusedAndReported) {
    UseQuickWizard();
    // Written where the backend reads files: its own folder, seen here through the drive Wine maps to /.
    const std::string unixFolder = std::getenv("FENNIX_BACKEND_DIR");
    std::wstring folder = L"Z:" + Utf8ToWide(unixFolder);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    const std::string offerBytes = InstallerBytes("offer1-setup.exe");
    installer_test::WriteZip(folder + L"\\bomb.zip", {{"setup.exe", offerBytes}, {"zeros.bin", std::string(20 << 20, '\0')}});
    installer_test::WriteZip(folder + L"\\device.zip", {{"setup.exe", offerBytes}, {"sub/COM1", "x"}});
    json routes = InstallerRoutes(true, false);
    routes.push_back({{"path", "/f/zips/bomb.zip"}, {"body_file", unixFolder + "/bomb.zip"}});
    routes.push_back({{"path", "/f/zips/device.zip"}, {"body_file", unixFolder + "/device.zip"}});
    StartAndAnswer(json::array({Offer("bomb", 1, "zips/bomb.zip", "/S /BOMB"), Offer("device", 2, "zips/device.zip", "/S /DEV")}),
                   routes, {kAcceptButton, kAcceptButton});
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));

    std::vector<Event> events;
    const Reports expected{{"bomb", "-1"}, {"device", "-1"}, {"product", "1"}, {"product", "3"}};
    EXPECT_EQ(WaitForReports(expected, &events), expected);
    for (const auto& e : events) {
        const std::string text = e.data.value("12", "");
        if (e.who == "bomb") {
            EXPECT_EQ(text.rfind("EXEC FAILED: The zip archive's entry \"zeros.bin\" unpacks 20971520 bytes from ", 0), 0u) << text;
        }
        if (e.who == "device") {
            EXPECT_EQ(text, "EXEC FAILED: The zip archive's entry \"sub/COM1\" names a Windows device.") << text;
        }
    }
    Sleep(500);  // room for a wrongly started installer to write its line
    EXPECT_EQ(InstallerLines(1), std::vector<std::wstring>{L"beta\t\"" + temp + L"\\0\\beta\" /S"});
    EXPECT_FALSE(Exists(temp + L"\\1\\bomb\\zeros.bin"));
    EXPECT_FALSE(Exists(temp + L"\\2\\device\\setup.exe"));
    ASSERT_TRUE(Finish(finish));
}

// A report the backend refuses once is sent again 5 s later, even when the user leaves at once: Finish
// and the error page's Close wait for the queue (at most 15 s, the window already gone), and Close
// leaves no private folder behind.
TEST_F(InstallWizardTest, ARefusedReportStillArrivesWhenTheUserLeavesAtOnce) {
    struct Case {
        const char* name;
        bool productServed;
        int button;
    };
    const Case cases[] = {{"Finish", true, kFinishButton}, {"Close on the error page", false, kCloseButton}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        json routes = InstallerRoutes(c.productServed, true);
        routes.push_back({{"path", "/qdd"}, {"statuses", json::array({500, 200})}});
        StartAndAnswer(json::array(), routes);
        HWND last = WaitForLastPage();
        ASSERT_NE(last, nullptr);
        ASSERT_TRUE(Visible(last, c.button)) << WideToUtf8(DescribeControls(last));
        ClickButton(last, c.button);
        ASSERT_TRUE(wizard.WaitForExit(20000));

        // Everything is in the log once the process is gone: nothing waited for it.
        std::vector<std::string> sent;
        for (const auto& request : backend.Requests(mark))
            if (request.value("path", "") == "/qdd")
                sent.push_back(std::to_string(request.value("status", 0)));
        EXPECT_EQ(sent, (std::vector<std::string>{"500", "200", "200"})) << "event 1 twice, then event 3";
        EXPECT_EQ(Summary(Events(backend.Requests(mark))), (Reports{{"product", "1"}, {"product", "1"}, {"product", "3"}}));
        EXPECT_FALSE(Exists(temp)) << WideToUtf8(temp);
    }
}

// An installer that has installed and wants a restart has succeeded: the finish page, event 3 without a
// failure text, and the finish page says a restart completes the installation.
TEST_F(InstallWizardTest, ProductAskingForARestartEndsOnTheFinishPage) {
    constexpr int kFinishText = 1033;
    for (const wchar_t* code : {L"3010", L"1641"}) {
        SCOPED_TRACE(WideToUtf8(code));
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", code);
        StartAndAnswer(json::array(), InstallerRoutes(true, true));
        HWND finish = WaitForLastPage();
        ASSERT_NE(finish, nullptr);
        ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));
        EXPECT_FALSE(LocaleText("PAGE_FINISH_TEXT_RESTART").empty());
        EXPECT_EQ(ControlText(finish, kFinishText), LocaleText("PAGE_FINISH_TEXT_RESTART"));
        if (std::wstring(code) == L"3010")
            Screenshot(L"finish-page-restart");
        std::vector<Event> events;
        const Reports expected{{"product", "1"}, {"product", "3"}};
        EXPECT_EQ(WaitForReports(expected, &events), expected);
        for (const auto& e : events) {
            EXPECT_EQ(e.data.value("12", ""), "") << e.data.dump();
        }
        SendMessageW(GetDlgItem(finish, kLaunchCheck), BM_SETCHECK, BST_UNCHECKED, 0);
        ASSERT_TRUE(Finish(finish));
    }
    SetEnvironmentVariableW(L"FENNIX_SAMPLE_PRODUCT_EXIT", nullptr);
}

// Installer parameters are UTF-8 in the configuration and reach the installer's command line unchanged.
TEST_F(InstallWizardTest, ParametersOutsideAsciiReachTheInstallerUnchanged) {
    const std::string parameters = "/S /NAME=\xC3\x91" "and\xC3\xBA\xE5\xAE\x89\xE5\x85\xA8";
    json offer = Offer("one", 1, "installers/offer1-setup.exe", parameters);
    offer["ps"]["dn"] = "Protecci\xC3\xB3n \xC3\x91" "and\xC3\xBA \xE5\xAE\x89\xE5\x85\xA8";
    StartAndAnswer(json::array({offer}), InstallerRoutes(true, true));
    HWND product = WaitForOfferPage(Utf8ToWide(offer["ps"]["dn"].get<std::string>()));
    ASSERT_NE(product, nullptr);
    ClickButton(product, kAcceptButton);
    HWND finish = WaitForLastPage();
    ASSERT_NE(finish, nullptr);
    auto lines = InstallerLines(2);
    ASSERT_EQ(lines.size(), 2u) << Narrow(lines);
    EXPECT_EQ(lines[1], L"offer1-setup.exe\t\"" + temp + L"\\1\\offer1-setup.exe\" " + Utf8ToWide(parameters));
    ASSERT_TRUE(Finish(finish));
}

// A product location that accepts and never answers ends each transport at its time limit (a tenth of
// the shipped 30 s here; full_time_limit_test waits the full length), the fallback's pause between them:
// the error page comes, long before the server would give up.
TEST_F(InstallWizardTest, ProductLocationThatNeverAnswersReachesTheErrorPage) {
    UseQuickWizard();
    json routes = json::array({{{"path", kProductRoute}, {"fault", "hang"}, {"hang_seconds", 60}}});
    StartAndAnswer(json::array(), routes);
    HWND error = WaitForLastPage(100000);
    ASSERT_NE(error, nullptr) << "no last page while the server stayed silent";
    EXPECT_TRUE(Visible(error, kErrorTitle)) << WideToUtf8(DescribeControls(error));
    const std::string text = ProductFailureText();
    EXPECT_EQ(text.rfind("DOWNLOAD FAILED: [WINHTTP] ", 0), 0u) << text;
    EXPECT_NE(text.find(" [WININET] "), std::string::npos) << text;
    ClickButton(error, kCloseButton);
    EXPECT_TRUE(wizard.WaitForExit(20000));
}

// Hostile configuration responses of the kinds the in-process corpus covers, through the real wizard:
// whatever the offers make of them, the product still installs, the run ends on the finish page (each
// offer page that comes is declined) and no private folder is left.
TEST_F(InstallWizardTest, HostileResponsesStillInstallTheProduct) {
    UseQuickWizard();
    constexpr int kDeclineButton = 1022;
    const json seed = {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", json::array({kOfferOne, kOfferZip})}};
    std::vector<json> responses;
    json fraction = seed;
    fraction["o"][0]["ps"]["v"] = 1.5;
    responses.push_back(fraction);
    json negativeLimit = seed;
    negativeLimit["f"]["m"] = -1;
    responses.push_back(negativeLimit);
    json wrongCountry = seed;
    wrongCountry["l"] = 12;
    responses.push_back(wrongCountry);
    json many = seed;
    for (int i = 0; i < 500; ++i)
        many["o"].push_back(Offer("m" + std::to_string(i), 3 + i, "installers/offer1-setup.exe", "/S"));
    responses.push_back(many);
    json unknown = seed;
    json deep = 1;
    for (int i = 0; i < 50; ++i)
        deep = json::array({deep});
    unknown["zz"] = deep;
    unknown["o"][1]["ps"]["zz"] = {{"x", deep}};
    unknown["o"][0]["ps"]["size"] = -5;
    responses.push_back(unknown);

    for (size_t i = 0; i < responses.size(); ++i) {
        SCOPED_TRACE("response " + std::to_string(i));
        StartPastTheLicense(responses[i], InstallerRoutes(true, true));
        ASSERT_FALSE(HasFatalFailure());
        HWND last = nullptr;
        for (int pages = 0; pages < 10 && !last; ++pages) {
            HWND page = WaitForPage(window, [](HWND p) {
                return Visible(p, kDeclineButton) || Visible(p, kFinishButton) || Visible(p, kErrorTitle);
            }, 40000);
            ASSERT_NE(page, nullptr);
            if (Visible(page, kDeclineButton)) {
                ClickButton(page, kDeclineButton);
                WaitForPage(window, [&](HWND p) { return p != page; }, 10000);
            } else {
                last = page;
            }
        }
        ASSERT_NE(last, nullptr);
        ASSERT_TRUE(Visible(last, kFinishButton)) << WideToUtf8(DescribeControls(last));
        EXPECT_TRUE(Exists(productExe));
        ASSERT_TRUE(Finish(last));
        EXPECT_FALSE(Exists(temp)) << WideToUtf8(temp);
    }
}
