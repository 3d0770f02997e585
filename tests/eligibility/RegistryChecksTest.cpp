#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "eligibility/RegistryChecks.h"
#include "tests/eligibility/RegistryScratch.h"

using scratch::kView32;
using scratch::kView64;

namespace {

const wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

std::wstring TempPath() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

}  // namespace

class RegistryRulesTest : public scratch::RegistryFixture {};

TEST_F(RegistryRulesTest, KeyRulesInOrder) {
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(L"Product"), kView32);
    RegistryLookup lookup;
    const std::vector<std::wstring> none;
    const std::wstring present = vendor + L"\\product";
    const std::wstring absent = vendor + L"\\other";

    EXPECT_EQ(CheckRegistryKeys(lookup, {absent, present}, {}, none, none), RuleResult("REGISTRY KEY EXISTS"));
    EXPECT_EQ(CheckRegistryKeys(lookup, {absent}, {absent}, none, none),
              RuleResult("NONE OF THE REGISTRY KEYS EXISTS"));
    EXPECT_EQ(CheckRegistryKeys(lookup, {absent}, {absent, present}, none, none), std::nullopt);
    // An empty first entry ends the search for required keys even though a later one exists.
    EXPECT_EQ(CheckRegistryKeys(lookup, {}, {L"", present}, none, none),
              RuleResult("NONE OF THE REGISTRY KEYS EXISTS"));
    // ...and for blocking keys it blocks nothing.
    EXPECT_EQ(CheckRegistryKeys(lookup, {L"", present}, {}, none, none), std::nullopt);
}

TEST_F(RegistryRulesTest, BlockingValues) {
    scratch::SetString(HKEY_CURRENT_USER, VendorPath(L"Settings"), kView64, L"Installed", L"1");
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Path", L"c:\\x");
    RegistryLookup lookup;
    const std::vector<std::wstring> none;
    EXPECT_EQ(CheckRegistryKeys(lookup, {}, {}, {vendor + L"\\Settings\\INSTALLED"}, none),
              RuleResult("REGISTRY VALUE EXISTS"));
    EXPECT_EQ(CheckRegistryValues(lookup, {vendor + L"\\settings\\missing", vendor + L"\\path"}),
              RuleResult("REGISTRY VALUE EXISTS"));
    EXPECT_EQ(CheckRegistryValues(lookup, {vendor + L"\\settings\\missing", vendor + L"\\missing"}), std::nullopt);
    EXPECT_EQ(CheckRegistryValues(lookup, {L"", vendor + L"\\path"}), std::nullopt);
}

TEST_F(RegistryRulesTest, ValueDataMatchesByType) {
    const REGSAM view = scratch::ExpectWindows64() ? kView32 : kView64;
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), view, L"Mode", L"On");
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), view, L"Level", 3);
    scratch::SetQword(HKEY_CURRENT_USER, VendorPath(), view, L"Big", 5000000000ull);
    const DWORD weird = 0;
    scratch::SetRaw(HKEY_LOCAL_MACHINE, VendorPath(), view, L"Binary", REG_BINARY, &weird, sizeof weird);

    RegistryLookup lookup;
    struct Case {
        std::wstring keySpec;
        bool blocks;
    };
    const Case cases[] = {
        {vendor + L"\\mode\\ON", true},       {vendor + L"\\mode\\on", true},
        {vendor + L"\\mode\\off", false},     {vendor + L"\\mode\\o", false},
        {vendor + L"\\level\\3", true},       {vendor + L"\\level\\ 3", true},
        {vendor + L"\\level\\4", false},      {vendor + L"\\big\\5000000000", true},
        {vendor + L"\\big\\5000000001", false}, {vendor + L"\\binary\\0", false},
        {vendor + L"\\missing\\3", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckRegistryValueData(lookup, {c.keySpec}).has_value(), c.blocks)
            << std::string(c.keySpec.begin(), c.keySpec.end());
    // An empty entry moves on to the next one.
    EXPECT_EQ(CheckRegistryValueData(lookup, {L"", vendor + L"\\level\\3"}), RuleResult("REGISTRY VALUE DATA MATCHES"));
}

TEST_F(RegistryRulesTest, ValueDataThatIsNoNumberEscapesWithStandardText) {
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Level", 3);
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Level", 3);
    scratch::SetQword(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Big", 3);
    scratch::SetQword(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Big", 3);
    RegistryLookup lookup;
    struct Case {
        std::wstring keySpec;
        const char* text;
    };
    const Case cases[] = {
        {vendor + L"\\level\\abc", "invalid stoul argument"},
        {vendor + L"\\level\\99999999999", "stoul argument out of range"},
        {vendor + L"\\big\\x1", "invalid stoull argument"},
        {vendor + L"\\big\\99999999999999999999999", "stoull argument out of range"},
    };
    for (const auto& c : cases) {
        try {
            CheckRegistryValueData(lookup, {c.keySpec});
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), c.text);
        }
    }
}

// A DWORD value whose data is not four bytes cannot be read as a DWORD: it matches nothing and must not
// end the offer loop.
TEST_F(RegistryRulesTest, MalformedDwordIsNoMatch) {
    const ULONGLONG longData = 3;
    scratch::SetRaw(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Level", REG_DWORD, &longData, sizeof longData);
    scratch::SetRaw(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Level", REG_DWORD, &longData, sizeof longData);
    UniqueRegKey key = scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(), kView32);
    EXPECT_THROW(ReadDwordValue(key.get(), L"Level"), win32::RegistryError);
    RegistryLookup lookup;
    EXPECT_NO_THROW(EXPECT_EQ(CheckRegistryValueData(lookup, {vendor + L"\\level\\3"}), std::nullopt));
}

class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = TempPath() + scratch::UniqueName(L"apps");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        existing = folder + L"\\present.exe";
        std::ofstream(existing.c_str()).put('x');
    }
    void TearDown() override {
        for (const auto& name : names)
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
                scratch::DeleteTree(root, kAppPaths, name);
        DeleteFileW(existing.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring Register(HKEY root, REGSAM view, const std::wstring& stem, const std::wstring& path) {
        std::wstring name = scratch::UniqueName(stem.c_str()) + L".exe";
        scratch::SetString(root, std::wstring(kAppPaths) + L"\\" + name, view, L"", path);
        names.push_back(name);
        return name;
    }
    static std::wstring Lower(std::wstring text) {
        for (auto& c : text)
            c = static_cast<wchar_t>(towlower(c));
        return text;
    }

    std::wstring folder, existing;
    std::vector<std::wstring> names;
};

TEST_F(AppPathsTest, RegisteredApplicationMustPointAtExistingFile) {
    const std::wstring inHklm64 = Lower(Register(HKEY_LOCAL_MACHINE, kView64, L"Hklm64", existing));
    const std::wstring inHklm32 = Lower(Register(HKEY_LOCAL_MACHINE, kView32, L"hklm32", existing));
    const std::wstring inHkcu = Lower(Register(HKEY_CURRENT_USER, kView64, L"hkcu", existing));
    const std::wstring broken = Lower(Register(HKEY_LOCAL_MACHINE, kView32, L"broken", folder + L"\\missing.exe"));
    const std::wstring capital = Register(HKEY_LOCAL_MACHINE, kView32, L"Capital", existing);

    AppPathTable apps;
    EXPECT_TRUE(apps.IsAppInstalled(inHklm64));
    EXPECT_TRUE(apps.IsAppInstalled(inHklm32));
    EXPECT_TRUE(apps.IsAppInstalled(inHkcu));
    EXPECT_FALSE(apps.IsAppInstalled(broken));
    EXPECT_FALSE(apps.IsAppInstalled(L"never" + inHkcu));
    // Registered names are lower-cased; the rule's name is not.
    EXPECT_FALSE(apps.IsAppInstalled(capital));
    EXPECT_TRUE(apps.IsAppInstalled(Lower(capital)));

    EXPECT_EQ(CheckApps(apps, {inHklm64, inHkcu}, {broken}), std::nullopt);
    EXPECT_EQ(CheckApps(apps, {inHklm64, broken}, {}), RuleResult("REGISTRY INCLUDE APP NOT FOUND"));
    EXPECT_EQ(CheckApps(apps, {}, {broken, inHklm32}), RuleResult("REGISTRY EXCLUDE APP FOUND"));
    EXPECT_EQ(CheckApps(apps, {broken}, {inHklm32}), RuleResult("REGISTRY INCLUDE APP NOT FOUND"));
}

// A registered path is only looked for on a drive: the same file through a device-namespace route
// counts as missing.
TEST_F(AppPathsTest, OnlyPathsOnADriveAreLookedFor) {
    const std::wstring onDrive = Lower(Register(HKEY_CURRENT_USER, kView64, L"drive", existing));
    const std::wstring literal = Lower(Register(HKEY_CURRENT_USER, kView64, L"literal", L"\\\\?\\" + existing));
    const std::wstring device = Lower(Register(HKEY_CURRENT_USER, kView64, L"device", L"\\\\.\\" + existing));
    AppPathTable apps;
    EXPECT_TRUE(apps.IsAppInstalled(onDrive));
    EXPECT_FALSE(apps.IsAppInstalled(literal));
    EXPECT_FALSE(apps.IsAppInstalled(device));
}

// Entries are enumerated and resolved once per table: a file that appears later is not seen.
TEST_F(AppPathsTest, PathsAreResolvedOncePerTable) {
    const std::wstring late = folder + L"\\late.exe";
    const std::wstring name = Lower(Register(HKEY_CURRENT_USER, kView64, L"late", late));
    AppPathTable apps;
    EXPECT_FALSE(apps.IsAppInstalled(name));
    std::ofstream(late.c_str()).put('x');
    EXPECT_TRUE(apps.IsAppInstalled(name)) << "the path is kept, its existence is tested each time";
    DeleteFileW(late.c_str());

    const std::wstring added = Lower(Register(HKEY_CURRENT_USER, kView64, L"added", existing));
    EXPECT_FALSE(apps.IsAppInstalled(added));
    EXPECT_TRUE(AppPathTable().IsAppInstalled(added));
}
