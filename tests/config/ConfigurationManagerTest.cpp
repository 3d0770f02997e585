#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <thread>
#include <vector>

#include "config/ConfigurationManager.h"
#include "tests/support/Prefix.h"
#include "win32/Handle.h"
#include "win32/KnownFolder.h"
#include "win32/ProgramView.h"

namespace {

std::wstring LastComponent(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// Removes the private folder a constructed configuration made.
struct TempFolderGuard {
    std::wstring path;
    ~TempFolderGuard() {
        if (!path.empty())
            RemoveDirectoryW(path.c_str());
    }
};

}  // namespace

TEST(ConfigurationManager, IsvValuesAfterConstruction) {
    ConfigurationManager config(L"ISV");
    TempFolderGuard guard{config.tempFolder};

    EXPECT_EQ(config.wizardType, WizardType::ISV);
    EXPECT_TRUE(config.showLicensePage);
    EXPECT_FALSE(config.classicPages);
    EXPECT_TRUE(config.failureEventCode);
    EXPECT_EQ(config.productTitle, L"Fennix Web");
    EXPECT_EQ(config.productUrl, L"https://localhost/endpoint/fxweb/os/riserollout/track/beta");
    EXPECT_EQ(config.privacyUrl, L"https://localhost/legal/privacy-policy/");
    EXPECT_EQ(config.termsUrl, L"https://localhost/legal/terms-of-use/");
    EXPECT_EQ(config.configUrl, L"https://localhost/o");
    EXPECT_EQ(config.eventUrl, L"https://localhost/qdd");
    EXPECT_EQ(config.imageBaseUrl, L"https://localhost/f/");
    EXPECT_EQ(config.productInstallArgs, L"/S");
    EXPECT_EQ(config.productLaunchPath, L"{commonappdata}\\Fennix Web\\fxweb.exe");
    EXPECT_EQ(config.productLaunchArgs, L"/RUNONSTARTUP");
    EXPECT_EQ(config.productId, L"Fennix_Web");
    EXPECT_EQ(config.brandName, L"Quorvane");
    EXPECT_EQ(config.installerId, L"Fennix_Web_CPP");
    EXPECT_EQ(config.backgroundColor, RGB(255, 255, 255));
    EXPECT_EQ(config.accentColor, RGB(127, 188, 66));
    EXPECT_EQ(config.setupVersion, "2.7.0.318");
    EXPECT_TRUE(config.productLogoUrl.empty() && config.sdkLicenseUrl.empty() && config.productFileName.empty());
    EXPECT_TRUE(config.channel.empty() && config.flow.empty() && config.downloadedFilePath.empty());
    EXPECT_TRUE(config.sessionId.empty() && config.machineId.empty());
    EXPECT_EQ(config.maxOffers, 0);
    EXPECT_EQ(config.extraOfferSlots, 0);
    EXPECT_EQ(config.offerCount, 0);
    EXPECT_FALSE(config.placeholdersReady || config.cancelRequested || config.offerDeclined);
    EXPECT_TRUE(config.folderPlaceholders.Empty() && config.folderPlaceholders64.Empty());
    EXPECT_EQ(std::count(config.options.begin(), config.options.end(), true), 0);
    EXPECT_EQ(std::count(config.configurations.begin(), config.configurations.end(), true), 0);

    // The run's private folder doubles as the download folder.
    EXPECT_TRUE(PathIsDirectoryW(config.tempFolder.c_str()));
    EXPECT_EQ(config.downloadFolder, config.tempFolder);
}

TEST(ConfigurationManager, DlmTakesProductFromBackendAndDownloadsToUserFolder) {
    ConfigurationManager config(L"DLM");
    TempFolderGuard guard{config.tempFolder};

    EXPECT_EQ(config.wizardType, WizardType::DLM);
    EXPECT_TRUE(config.productTitle.empty());
    EXPECT_TRUE(config.productUrl.empty());
    EXPECT_TRUE(config.privacyUrl.empty() && config.termsUrl.empty());
    EXPECT_TRUE(config.productInstallArgs.empty() && config.productLaunchPath.empty());
    EXPECT_EQ(config.productId, L"Fennix_Web");
    EXPECT_TRUE(PathIsDirectoryW(config.tempFolder.c_str()));

    std::wstring downloads = KnownFolderPath(FOLDERID_Downloads);
    ASSERT_FALSE(downloads.empty());
    EXPECT_EQ(config.downloadFolder, downloads);
}

TEST(ConfigurationManager, WizardNameTable) {
    EXPECT_EQ(WizardTypeFromName(L"ISV"), WizardType::ISV);
    EXPECT_EQ(WizardTypeFromName(L"DLM"), WizardType::DLM);
    EXPECT_EQ(WizardTypeFromName(L"isv"), WizardType::Unknown);
    EXPECT_EQ(WizardTypeFromName(L""), WizardType::Unknown);
}

TEST(ConfigurationManager, GetInstanceBuildsOneInstanceForAllThreads) {
    std::vector<ConfigurationManager*> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = ConfigurationManager::GetInstance().get(); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(std::set<ConfigurationManager*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_EQ(seen[0]->wizardType, WizardType::ISV);
    RemoveDirectoryW(seen[0]->tempFolder.c_str());
}

TEST(ConfigurationManager, SessionIdIsFourteenDigitsAndStableAcrossThreads) {
    ConfigurationManager config(L"ISV");
    TempFolderGuard guard{config.tempFolder};

    std::vector<std::string> ids(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < ids.size(); ++i)
        threads.emplace_back([&, i] { ids[i] = config.GetSessionId(); });
    for (auto& t : threads)
        t.join();

    const std::string& id = ids[0];
    ASSERT_EQ(id.size(), 14u);
    EXPECT_TRUE(std::all_of(id.begin(), id.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }));
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 1u);
    Sleep(1100);  // a later call in the same run must not make a new one
    EXPECT_EQ(config.GetSessionId(), id);

    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(id.substr(0, 4), std::to_string(now.wYear));
}

TEST(ConfigurationManager, SetupVersionComesFromFixedFileInformation) {
    // This test program's version strings say 2.7.0.00318; the fixed numbers are 2.7.0.318.
    EXPECT_EQ(GetSetupVersion(), "2.7.0.318");
}

TEST(ConfigurationManager, PrivateTempFoldersAreNewDirectories) {
    std::wstring first = CreatePrivateTempFolder();
    std::wstring second = CreatePrivateTempFolder();
    TempFolderGuard a{first}, b{second};

    for (const auto& path : {first, second}) {
        EXPECT_TRUE(PathIsDirectoryW(path.c_str())) << path.c_str();
        std::wstring name = LastComponent(path);
        EXPECT_EQ(name.rfind(L"ISV", 0), 0u) << name.c_str();
        ASSERT_GT(name.size(), 4u);
        EXPECT_EQ(name.substr(name.size() - 4), L".tmp");
        EXPECT_NE(path.back(), L'\\');
    }
    EXPECT_NE(first, second);
}

TEST(ConfigurationManager, CurrentTimeMillisMatchesSystemClock) {
    long long before = static_cast<long long>(time(nullptr)) * 1000;
    long long millis = std::stoll(GetCurrentTimeMillis());
    long long after = static_cast<long long>(time(nullptr)) * 1000 + 1000;
    EXPECT_GE(millis, before);
    EXPECT_LE(millis, after);
}

// The machine GUID lives in the 64-bit view. Other test programs in this prefix read the real one at
// the same time, so the fixture writes a scratch key of its own into both views and removes it after.
class MachineIdTest : public ::testing::Test {
protected:
    void SetUp() override {
        vendor = "FennixMachineIdTest" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount());
        key = "SOFTWARE\\" + vendor;
    }

    void TearDown() override {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            UniqueRegKey software;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, software.put()) == ERROR_SUCCESS)
                RegDeleteTreeA(software.get(), vendor.c_str());
        }
    }

    void Write(REGSAM view, const std::string& value) {
        UniqueRegKey created;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                  created.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(created.get(), "MachineGuid", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
    }

    static bool IsWow64() {
        BOOL wow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    }

    std::string vendor;
    std::string key;
};

TEST_F(MachineIdTest, ReadsTheSixtyFourBitViewAndRetriesWhenMissing) {
    ConfigurationManager config(L"ISV");
    TempFolderGuard guard{config.tempFolder};
    EXPECT_EQ(config.machineGuidKey, kMachineGuidKey);
    config.machineGuidKey = key;

    EXPECT_EQ(config.GetMachineId(), "");

    const std::string guid64 = "6a1b2c3d-0000-4000-8000-000000000064";
    Write(KEY_WOW64_64KEY, guid64);
    if (IsWow64())
        Write(KEY_WOW64_32KEY, "6a1b2c3d-0000-4000-8000-000000000032");
    EXPECT_EQ(config.GetMachineId(), guid64);  // an empty id was not remembered

    Write(KEY_WOW64_64KEY, "changed-after-first-read");
    EXPECT_EQ(config.GetMachineId(), guid64);  // a read id stays for the run
}

TEST_F(MachineIdTest, ExpectedKindOfWindowsForThisPrefixAndBuild) {
    ASSERT_NE(std::getenv("FENNIX_EXPECT_WOW64"), nullptr);
    EXPECT_EQ(IsWow64(), testing_support::PrefixIsWow64());
    EXPECT_EQ(Is64BitWindows(), testing_support::PrefixIs64BitWindows());
}
