// The real DLM wizard against the local backend, driven from outside through a whole run: the backend
// names the product, the file lands in the user's Downloads folder as served, the offers' installers
// start from the run's own folder, and the finish page starts the file or shows its folder through the
// desktop shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/support/FolderWindow.h"
#include "tests/support/PrivateFolders.h"
#include "tests/support/Reports.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/Strings.h"

using namespace testing_support;
using nlohmann::json;

namespace {

constexpr int kHeaderTitle = 1008;
constexpr int kNextButton = 1010;
constexpr int kAcceptButton = 1021;
constexpr int kDeclineButton = 1022;
constexpr int kFinishButton = 1028;
constexpr int kLaunchRadio = 1031;
constexpr int kOpenFolderRadio = 1034;
constexpr int kErrorTitle = 1036;
constexpr int kDisclaimer = 1042;
constexpr int kAgreeButton = 1050;

constexpr char kProductRoute[] = "/dl/fennix-web";
constexpr char kTitle[] = "Fennix Web";
constexpr char kChannel[] = "chan-dlm";
constexpr char kFlow[] = "flow-dlm";

bool Visible(HWND page, int id) { return GetDlgItem(page, id) && ControlVisible(page, id); }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string EnvText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

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

// Who started the program and with what command line, as the launch probe records it beside itself.
std::vector<std::wstring> Launches(const std::wstring& program) {
    const std::string bytes = TestBackend::ReadFileBytes(program + L".launched");
    return CompleteLines(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)));
}

class DlmWizardTest : public testing::Test {
protected:
    void SetUp() override {
        sampleLog = TestBackend::ScratchFolder(L"dlm-e2e") + L"\\installers.txt";
        SetEnvironmentVariableW(L"FENNIX_SAMPLE_LOG", sampleLog.c_str());
        // A name of this run's own, with a space and a comma: both end an unquoted path on Explorer's
        // command line, so the folder is shown only when the wizard quotes it.
        fileName = L"Fennix Web, Setup " + std::to_wstring(GetCurrentProcessId()) + L".exe";
        downloaded = DownloadsFolder() + L"\\" + fileName;
        RemoveDownloaded();
    }
    void TearDown() override {
        wizard.Terminate();
        CloseFolderWindows(FolderDisplayName(DownloadsFolder()));
        RemoveDownloaded();
    }
    void RemoveDownloaded() {
        DeleteFileW(downloaded.c_str());
        DeleteFileW((downloaded + L".launched").c_str());
    }

    // The product is the launch probe, so that a start of the downloaded file is seen; one offer that
    // the user accepts, one that the user declines.
    json Configuration() const {
        return {{"l", "US"},
                {"f", {{"a", "a"}, {"m", 2}}},
                {"i",
                 {{"ct", kTitle},
                  {"cu", std::string("https://localhost") + kProductRoute},
                  {"cl", "https://localhost/f/offer3.png"},
                  {"cf", WideToUtf8(fileName)},
                  {"cp", "https://localhost/legal/privacy-policy/"},
                  {"ctu", "https://localhost/legal/terms-of-use/"},
                  {"ch", kChannel},
                  {"cfl", kFlow}}},
                {"o", json::array({Offer("one", 1, "installers/offer1-setup.exe", "/S /ONE"),
                                   Offer("two", 2, "installers/offer2-setup.zip", "/S /TWO")})}};
    }
    json Routes() const {
        const std::string installers = EnvText("FENNIX_INSTALLERS_DIR");
        return json::array({{{"path", kProductRoute}, {"body_file", EnvText("FENNIX_LAUNCH_PROBE")}},
                            {{"path", "/f/installers/offer1-setup.exe"}, {"body_file", installers + "/offer1-setup.exe"}},
                            {{"path", "/f/installers/offer2-setup.zip"}, {"body_file", installers + "/offer2-setup.zip"}}});
    }

    // From the first page to the finish page: accepts the first offer, declines the second.
    HWND RunToTheFinishPage() {
        DeleteFileW(sampleLog.c_str());
        backend.SetScenario({{"config", Configuration()}, {"files", backend.filesDir}, {"routes", Routes()}});
        mark = backend.Mark();
        const std::wstring wizardTemp = TestBackend::ScratchFolder(L"dlm-wizard-temp");
        EXPECT_TRUE(wizard.StartWithTempFolder(WindowsPathFromEnv("FENNIX_WIZARD_DLM_EXE"), wizardTemp));
        window = WaitForWindowTitled(wizard.Id(), L"Setup");
        if (!window)
            return nullptr;
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        HWND language = WaitForPage(window, [](HWND p) { return Visible(p, kNextButton); });
        temp = WaitForPrivateFolder(wizardTemp);
        if (!language || temp.empty())
            return nullptr;
        ClickButton(language, kNextButton);
        HWND license = WaitForPage(window, [](HWND p) { return Visible(p, kAgreeButton); });
        if (!license)
            return nullptr;
        ClickButton(license, kAgreeButton);
        const std::pair<const wchar_t*, int> answers[] = {{L"Offer one", kAcceptButton}, {L"Offer two", kDeclineButton}};
        for (const auto& [name, button] : answers) {
            HWND offer = WaitForPage(window, [&](HWND p) {
                return GetDlgItem(p, kDisclaimer) && ControlText(p, kDisclaimer).find(name) != std::wstring::npos;
            });
            if (!offer)
                return nullptr;
            ClickButton(offer, button);
        }
        return WaitForPage(
            window, [](HWND p) { return Visible(p, kFinishButton) || Visible(p, kErrorTitle); }, 60000);
    }

    // Reports travel on threads of their own: wait until `count` arrived.
    std::vector<Event> WaitForEvents(size_t count) {
        std::vector<Event> events;
        for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(100)) {
            events = Events(backend.Requests(mark));
            if (events.size() >= count)
                break;
        }
        return events;
    }

    std::vector<std::wstring> InstallerLines(size_t count) {
        std::vector<std::wstring> lines;
        for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(50)) {
            lines = CompleteLines(Utf8ToWide(TestBackend::ReadFileBytes(sampleLog)));
            if (lines.size() >= count)
                break;
        }
        return lines;
    }

    void Screenshot(HWND shown, const std::wstring& name) {
        const std::wstring path = ArtefactPath(name + L".png");
        if (!path.empty()) {
            Sleep(300);
            EXPECT_TRUE(SaveScreenshot(shown, path));
        }
    }

    TestBackend backend;
    size_t mark = 0;
    WizardProcess wizard;
    HWND window = nullptr;
    std::wstring temp;
    std::wstring sampleLog;
    std::wstring fileName;
    std::wstring downloaded;
};

}  // namespace

// One whole run per choice on the finish page. Whichever the user picks, the run before it is the same:
// the product named by the backend arrives in Downloads byte for byte and stays there, the accepted offer's
// installer starts from the run's folder, and the reports follow the family's rules.
TEST_F(DlmWizardTest, TheProductArrivesInDownloadsAndFinishStartsItOrShowsItsFolder) {
    const std::string served = TestBackend::ReadFileBytes(WindowsPathFromEnv("FENNIX_LAUNCH_PROBE"));
    ASSERT_FALSE(served.empty());
    const std::wstring downloadsTitle = FolderDisplayName(DownloadsFolder());
    ASSERT_FALSE(downloadsTitle.empty());

    for (const int choice : {kOpenFolderRadio, kLaunchRadio}) {
        const bool showFolder = choice == kOpenFolderRadio;
        SCOPED_TRACE(showFolder ? "open the folder" : "start the file");
        RemoveDownloaded();
        HWND finish = RunToTheFinishPage();
        ASSERT_NE(finish, nullptr);
        ASSERT_TRUE(Visible(finish, kFinishButton)) << WideToUtf8(DescribeControls(finish));

        // The product's identity came from the backend: header, window title, and the default choice.
        EXPECT_EQ(WindowText(window), L"Fennix Web Setup");
        EXPECT_EQ(ControlText(window, kHeaderTitle), L"Fennix Web");
        EXPECT_TRUE(ControlVisible(window, kHeaderTitle));
        EXPECT_EQ(SendMessageW(GetDlgItem(finish, kLaunchRadio), BM_GETCHECK, 0, 0), BST_CHECKED);

        EXPECT_EQ(TestBackend::ReadFileBytes(downloaded), served) << WideToUtf8(downloaded);
        const auto requests = backend.Requests(mark);
        EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                [](const json& r) { return r.value("path", "") == kProductRoute; }),
                  1);

        // Offers install from the run's own folder, never from Downloads; the declined one not at all.
        EXPECT_EQ(InstallerLines(1), std::vector<std::wstring>{L"offer1-setup.exe\t\"" + temp +
                                                               L"\\1\\offer1-setup.exe\" /S /ONE"});

        // 1 before the backend named the product, so without its title; after the download, 3 with it.
        const std::vector<Event> events = WaitForEvents(4);
        EXPECT_EQ(Summary(events), (Reports{{"one", "3"}, {"product", "1"}, {"product", "3"}, {"two", "4"}}));
        EXPECT_EQ(PackageOrderProblems(events), "");
        for (const Event& e : events) {
            SCOPED_TRACE(e.who + " " + e.code);
            const bool named = !(e.who == "product" && e.code == "1");
            EXPECT_EQ(e.data.value("22", "?"), named ? kTitle : "");
            EXPECT_EQ(e.data.value("21", "?"), named ? kChannel : "");
            EXPECT_EQ(e.data.value("19", "?"), named ? kFlow : "");
            if (e.who == "product") {
                EXPECT_EQ(e.data.value("5", "?"), named ? kTitle : "");
            }
            if (e.code == "3") {
                EXPECT_EQ(e.data.value("12", ""), "");
            }
        }

        if (showFolder) {
            SendMessageW(GetDlgItem(finish, kOpenFolderRadio), BM_CLICK, 0, 0);
            EXPECT_EQ(SendMessageW(GetDlgItem(finish, kLaunchRadio), BM_GETCHECK, 0, 0), BST_UNCHECKED);
            Screenshot(window, L"dlm-finish-page");
        }
        ClickButton(finish, kFinishButton);
        ASSERT_TRUE(wizard.WaitForExit(20000));
        EXPECT_FALSE(Exists(temp)) << WideToUtf8(temp);
        EXPECT_TRUE(Exists(downloaded));

        if (showFolder) {
            HWND shown = WaitForFolderWindow(downloadsTitle, fileName);
            ASSERT_NE(shown, nullptr) << "no folder window \"" << WideToUtf8(downloadsTitle) << "\" lists "
                                      << WideToUtf8(fileName);
            Screenshot(shown, L"dlm-downloads-folder");
            CloseFolderWindows(downloadsTitle);
            EXPECT_TRUE(Launches(downloaded).empty());
            continue;
        }
        // Started as the signed-in user: by the desktop shell, not by the wizard.
        std::vector<std::wstring> launches;
        for (const ULONGLONG end = GetTickCount64() + 15000; launches.empty() && GetTickCount64() < end; Sleep(50))
            launches = Launches(downloaded);
        ASSERT_EQ(launches.size(), 1u);
        std::wstring line = launches[0];
        CharLowerBuffW(line.data(), static_cast<DWORD>(line.size()));
        EXPECT_NE(line.find(L"\texplorer.exe\t"), std::wstring::npos) << WideToUtf8(launches[0]);
        EXPECT_NE(launches[0].find(downloaded), std::wstring::npos) << WideToUtf8(launches[0]);
    }
}
