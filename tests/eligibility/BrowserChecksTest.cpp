#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <stdexcept>

#include "eligibility/BrowserChecks.h"
#include "tests/eligibility/RegistryScratch.h"

using scratch::kView32;
using scratch::kView64;

namespace {

std::wstring TempPath() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

}  // namespace

TEST(UninstallAge, StampAgainstMinimumDays) {
    const uint64_t now = 1718000000;
    EXPECT_FALSE(UninstallStampTooRecent(now - 3 * 86400, 3, now)) << "exactly three days old";
    EXPECT_TRUE(UninstallStampTooRecent(now - 3 * 86400 + 1, 3, now)) << "one second newer";
    EXPECT_TRUE(UninstallStampTooRecent(now + 10, 0, now)) << "a stamp in the future";
    EXPECT_FALSE(UninstallStampTooRecent(now, 0, now));
    EXPECT_FALSE(UninstallStampTooRecent(0, 3, now));
    EXPECT_FALSE(UninstallStampTooRecent(now, -1, now)) << "negative days lower the limit";
}

class UninstallAgeTest : public scratch::RegistryFixture {};

TEST_F(UninstallAgeTest, ReadsStampInAnyFormAndView) {
    const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
    const uint64_t threeDaysAgo = now - 3 * 86400;
    // Text stamp in the 32-bit view, milliseconds as QWORD and seconds as DWORD in the other one.
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(L"Uninstall"), kView32, L"Removed",
                       std::to_wstring(threeDaysAgo));
    scratch::SetQword(HKEY_LOCAL_MACHINE, VendorPath(L"Uninstall"), kView64, L"RemovedMs", threeDaysAgo * 1000 + 999);
    scratch::SetDword(HKEY_CURRENT_USER, VendorPath(), kView64, L"Recent", static_cast<DWORD>(now - 60));

    RegistryLookup lookup;
    const std::wstring key = L"Software\\" + vendor + L"\\Uninstall";
    const RuleResult blocked("MIN DAYS UNINSTALL CHECKER");
    EXPECT_EQ(CheckUninstallAge(lookup, L"HKEY_LOCAL_MACHINE", key, L"Removed", 3, false, now), std::nullopt);
    EXPECT_EQ(CheckUninstallAge(lookup, L"HKEY_LOCAL_MACHINE", key, L"Removed", 3, false, now - 1), blocked);
    EXPECT_EQ(CheckUninstallAge(lookup, L"hkey_local_machine", key, L"REMOVEDMS", 3, true, now), std::nullopt);
    EXPECT_EQ(CheckUninstallAge(lookup, L"hkey_local_machine", key, L"RemovedMs", 4, true, now), blocked);
    EXPECT_EQ(CheckUninstallAge(lookup, L"Hkey_Current_User", L"Software\\" + vendor, L"Recent", 1, false, now),
              blocked);
    EXPECT_EQ(CheckUninstallAge(lookup, L"HKEY_LOCAL_MACHINE", key, L"Missing", 3, false, now), std::nullopt);
}

TEST_F(UninstallAgeTest, UnusableStampOrHiveEscapesWithStandardText) {
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Text", L"yesterday");
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Text", L"yesterday");
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Huge", L"99999999999999999999999");
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Huge", L"99999999999999999999999");
    RegistryLookup lookup;
    const std::wstring key = L"Software\\" + vendor;
    struct Case {
        const wchar_t* root;
        const wchar_t* value;
        const char* text;
    };
    const Case cases[] = {{L"HKEY_LOCAL_MACHINE", L"Text", "invalid stoull argument"},
                          {L"HKEY_LOCAL_MACHINE", L"Huge", "stoull argument out of range"},
                          {L"HKLM", L"Text", "invalid unordered_map<K, T> key"}};
    for (const auto& c : cases) {
        try {
            CheckUninstallAge(lookup, c.root, key, c.value, 3, false, 0);
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), c.text);
        }
    }
}

TEST(InternetExplorer, VersionBelowNineIsOld) {
    EXPECT_TRUE(IsOldInternetExplorer(L"8.0.7601.17514"));
    EXPECT_FALSE(IsOldInternetExplorer(L"9.11.19041.0"));
    EXPECT_FALSE(IsOldInternetExplorer(L"9"));
    EXPECT_TRUE(IsOldInternetExplorer(L"8.99"));
    EXPECT_FALSE(IsOldInternetExplorer(L"11.0"));
    try {
        IsOldInternetExplorer(L"v9");
        ADD_FAILURE();
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "invalid stof argument");
    }
    try {
        IsOldInternetExplorer(L"1e999");
        ADD_FAILURE();
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "stof argument out of range");
    }
}

// The Internet Explorer key is shared by the whole prefix: the fixture keeps and restores its value.
class InternetExplorerTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Microsoft\\Internet Explorer";
    void SetUp() override {
        UniqueRegKey key = scratch::CreateKey(HKEY_LOCAL_MACHINE, kKey, scratch::kProgramView);
        wchar_t buffer[256] = {};
        DWORD size = sizeof buffer - sizeof(wchar_t);
        DWORD type = 0;
        saved = RegQueryValueExW(key.get(), L"Version", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                    ERROR_SUCCESS &&
                type == REG_SZ;
        if (saved)
            savedVersion = buffer;
    }
    void TearDown() override {
        if (saved)
            Set(savedVersion);
        else
            Remove();
    }
    void Set(const std::wstring& version) {
        scratch::SetString(HKEY_LOCAL_MACHINE, kKey, scratch::kProgramView, L"Version", version);
    }
    void Remove() {
        UniqueRegKey key = scratch::CreateKey(HKEY_LOCAL_MACHINE, kKey, scratch::kProgramView);
        RegDeleteValueW(key.get(), L"Version");
    }
    bool saved = false;
    std::wstring savedVersion;
};

TEST_F(InternetExplorerTest, RegisteredVersion) {
    const RuleResult blocked("OLD IE VERSION");
    Set(L"8.0.7601.17514");
    EXPECT_EQ(CheckInternetExplorer(*std::make_unique<RegistryLookup>(), true), blocked);
    EXPECT_EQ(CheckInternetExplorer(*std::make_unique<RegistryLookup>(), false), std::nullopt);
    Set(L"9.11.19041.0");
    EXPECT_EQ(CheckInternetExplorer(*std::make_unique<RegistryLookup>(), true), std::nullopt);
    Remove();
    EXPECT_EQ(CheckInternetExplorer(*std::make_unique<RegistryLookup>(), true), std::nullopt);
}

TEST(BrandValueName, Md5OfAnsiBrandInLowerHex) {
    EXPECT_EQ(BrandValueName(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(BrandValueName(L"abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(BrandValueName(L"message digest"), L"f96b697d7cb7938d525a2f31aaf161d0");
}

class PartnerNoShowTest : public scratch::RegistryFixture {};

TEST_F(PartnerNoShowTest, StampIsTheFirstDayToShowAgain) {
    const std::wstring valueName = BrandValueName(L"Quorvane");
    ASSERT_EQ(valueName.size(), 32u);
    const std::wstring noShowKey = L"Software\\" + vendor + L"\\NoShow";
    const std::time_t now = std::time(nullptr);
    const std::wstring today = LocalDateText(now);
    ASSERT_EQ(today.size(), 8u);
    const RuleResult blocked("PN NO SHOW");

    // Written as the product page writes it: REG_DWORD in this process's default view.
    auto writeStamp = [&](std::time_t when) {
        scratch::SetDword(HKEY_LOCAL_MACHINE, noShowKey, scratch::kProgramView, valueName,
                          static_cast<DWORD>(std::stoul(LocalDateText(when))));
    };
    EXPECT_EQ(CheckPartnerNoShow(*std::make_unique<RegistryLookup>(), true, noShowKey, valueName, today),
              std::nullopt)
        << "no stamp";
    writeStamp(now);
    EXPECT_EQ(CheckPartnerNoShow(*std::make_unique<RegistryLookup>(), true, noShowKey, valueName, today),
              std::nullopt);
    writeStamp(now + 86400);
    EXPECT_EQ(CheckPartnerNoShow(*std::make_unique<RegistryLookup>(), true, noShowKey, valueName, today), blocked);
    EXPECT_EQ(CheckPartnerNoShow(*std::make_unique<RegistryLookup>(), false, noShowKey, valueName, today),
              std::nullopt);
    EXPECT_EQ(CheckPartnerNoShow(*std::make_unique<RegistryLookup>(), true, noShowKey, valueName,
                                 LocalDateText(now + 86400)),
              std::nullopt);
    // A lower-case key path looks in the 64-bit view first and still finds the stamp in the 32-bit one.
    EXPECT_EQ(CheckPartnerNoShow(*std::make_unique<RegistryLookup>(), true, Lower(noShowKey), valueName, today),
              blocked);
}

// Chrome is looked for in the program folders, the user's folder and where the registry says.
class ChromeTest : public scratch::RegistryFixture {
protected:
    void SetUp() override {
        RegistryFixture::SetUp();
        folder = TempPath() + scratch::UniqueName(L"chrome");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        chrome = folder + L"\\chrome.exe";
        std::ofstream(chrome.c_str()).put('x');
        placeholders.Insert(L"commonpf", folder + L"\\none");
        placeholders.Insert(L"localappdata", folder + L"\\none");
    }
    void TearDown() override {
        if (createdAppPath)
            scratch::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                                L"chrome.exe");
        if (createdGoogle)
            scratch::DeleteTree(HKEY_CURRENT_USER, L"SOFTWARE", L"Google");
        DeleteFileW(chrome.c_str());
        RemoveDirectoryW(folder.c_str());
        RegistryFixture::TearDown();
    }

    std::wstring folder, chrome;
    PlaceholderTable placeholders;
    bool createdAppPath = false;
    bool createdGoogle = false;
};

TEST_F(ChromeTest, FoundThroughFoldersOrRegistry) {
    const std::wstring appPathKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe";
    const std::wstring beaconKey = L"SOFTWARE\\Google\\Chrome\\BLBeacon";
    if (scratch::KeyPresent(HKEY_LOCAL_MACHINE, appPathKey, scratch::kProgramView) ||
        scratch::KeyPresent(HKEY_CURRENT_USER, L"SOFTWARE\\Google", scratch::kProgramView))
        GTEST_SKIP() << "this prefix has a Chrome registration of its own";

    const RuleResult noChrome("NO CHROME");
    const RuleResult haveChrome("HAVE CHROME");
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), false, false, placeholders), std::nullopt);
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), true, false, placeholders), noChrome);
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), false, true, placeholders), std::nullopt);

    // App Paths names the folder; the rule adds the file name.
    createdAppPath = true;
    scratch::SetString(HKEY_LOCAL_MACHINE, appPathKey, scratch::kProgramView, L"Path", folder);
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), true, false, placeholders), std::nullopt);
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), false, true, placeholders), haveChrome);
    scratch::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", L"chrome.exe");

    // The beacon names the file itself.
    createdGoogle = true;
    scratch::SetString(HKEY_CURRENT_USER, beaconKey, scratch::kProgramView, L"Path", folder + L"\\old.exe");
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), true, false, placeholders), noChrome);
    scratch::SetString(HKEY_CURRENT_USER, beaconKey, scratch::kProgramView, L"Path", chrome);
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), true, false, placeholders), std::nullopt);
    scratch::DeleteTree(HKEY_CURRENT_USER, L"SOFTWARE", L"Google");

    // The user's own Chromium.
    const std::wstring user = folder + L"\\user";
    CreateDirectoryW(user.c_str(), nullptr);
    CreateDirectoryW((user + L"\\Chromium").c_str(), nullptr);
    CreateDirectoryW((user + L"\\Chromium\\Application").c_str(), nullptr);
    const std::wstring userChrome = user + L"\\Chromium\\Application\\chrome.exe";
    std::ofstream(userChrome.c_str()).put('x');
    PlaceholderTable userTable;
    userTable.Insert(L"localappdata", user);
    EXPECT_EQ(CheckChrome(*std::make_unique<RegistryLookup>(), false, true, userTable), haveChrome);
    DeleteFileW(userChrome.c_str());
    RemoveDirectoryW((user + L"\\Chromium\\Application").c_str());
    RemoveDirectoryW((user + L"\\Chromium").c_str());
    RemoveDirectoryW(user.c_str());
}
