// What the runner leaves on the machine: the installed product, and the temporary folder's removal with
// its entries in the machine-wide list of deletions at restart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "install/InstallerRunner.h"
#include "install/TemporaryFolder.h"
#include "tests/installer/InstallerTestSupport.h"
#include "tests/support/ScopedConfiguration.h"
#include "win32/Handle.h"

using namespace installer_test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

struct PendingValue {
    bool exists = false;
    std::vector<BYTE> data;
};

PendingValue ReadPendingValue() {
    PendingValue value;
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.exists = RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, value.data.data(), &size) ==
                   ERROR_SUCCESS;
    value.data.resize(size);
    return value;
}

// The paths scheduled for deletion (pairs of source and empty target) whose source lies under `folder`.
std::vector<std::wstring> PendingDeletionsUnder(const std::wstring& folder) {
    PendingValue value = ReadPendingValue();
    std::vector<std::wstring> strings;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(value.data.data());
    size_t count = value.data.size() / sizeof(wchar_t);
    for (size_t start = 0; start < count;) {
        size_t end = start;
        while (end < count && text[end] != L'\0')
            ++end;
        strings.emplace_back(text + start, end - start);
        start = end + 1;
    }
    std::vector<std::wstring> deletions;
    std::wstring prefix = L"\\??\\" + folder;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        const std::wstring& source = strings[i];
        if (source.empty())
            break;  // the list's final terminator
        if (CompareStringOrdinal(source.c_str(), static_cast<int>(std::min(source.size(), prefix.size())),
                                 prefix.c_str(), static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL &&
            strings[i + 1].empty())
            deletions.push_back(source.substr(4));
    }
    return deletions;
}

// Points the run's tempFolder at a folder of the test's and puts back the machine-wide deletion list.
class TemporaryFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ReadPendingValue();
        scope.config.tempFolder = temp;
    }
    void TearDown() override {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
            return;
        if (saved_.exists)
            RegSetValueExW(key.get(), kPendingValue, 0, REG_MULTI_SZ, saved_.data.data(),
                           static_cast<DWORD>(saved_.data.size()));
        else
            RegDeleteValueW(key.get(), kPendingValue);
    }

    testing_support::ScopedConfiguration scope;
    ScratchFolder scratch;
    std::wstring temp = scratch / L"ISV1234.tmp";

private:
    PendingValue saved_;
};

TEST_F(TemporaryFolderTest, NestedTreeIsRemovedWithNothingLeftForRestart) {
    WriteBytes(temp + L"\\fxweb-setup.exe", "MZ");
    WriteBytes(temp + L"\\offer.pkg\\setup.exe", "MZ");
    WriteBytes(temp + L"\\offer.pkg\\bin\\deep\\deeper\\data.bin", "data");
    WriteBytes(temp + L"\\offer.pkg\\readonly.txt", "r");
    SetFileAttributesW((temp + L"\\offer.pkg\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    std::filesystem::create_directories(temp + L"\\offer.pkg\\empty");

    RemoveTemporaryFolder();

    EXPECT_FALSE(Exists(temp));
    EXPECT_THAT(PendingDeletionsUnder(scratch.path()), IsEmpty());
}

TEST_F(TemporaryFolderTest, EmptyOrMissingFolderLeavesNothingBehind) {
    std::filesystem::create_directories(temp);
    RemoveTemporaryFolder();
    EXPECT_FALSE(Exists(temp));

    RemoveTemporaryFolder();  // already gone
    scope.config.tempFolder.clear();
    RemoveTemporaryFolder();  // never made
    EXPECT_TRUE(Exists(scratch.path()));
    EXPECT_THAT(PendingDeletionsUnder(scratch.path()), IsEmpty());
}

TEST_F(TemporaryFolderTest, FileHeldOpenIsLeftForRestartWithTheFoldersAboveIt) {
    std::wstring held = temp + L"\\offer.pkg\\logs\\install.log";
    WriteBytes(held, "in use");
    WriteBytes(temp + L"\\offer.pkg\\logs\\old.log", "old");
    WriteBytes(temp + L"\\offer.pkg\\setup.exe", "MZ");
    WriteBytes(temp + L"\\other\\file.txt", "x");
    WriteBytes(temp + L"\\fxweb-setup.exe", "MZ");
    UniqueFile open(CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(open);

    RemoveTemporaryFolder();

    EXPECT_TRUE(Exists(held));
    EXPECT_FALSE(Exists(temp + L"\\offer.pkg\\logs\\old.log"));
    EXPECT_FALSE(Exists(temp + L"\\offer.pkg\\setup.exe"));
    EXPECT_FALSE(Exists(temp + L"\\other"));
    EXPECT_FALSE(Exists(temp + L"\\fxweb-setup.exe"));
    // The file first, then each folder above it once it will be empty.
    EXPECT_THAT(PendingDeletionsUnder(scratch.path()),
                ElementsAre(held, temp + L"\\offer.pkg\\logs", temp + L"\\offer.pkg", temp));
}

// The sample product installer as the wizard runs it, and the product it installs.
class ProductInstallerTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(productFolder); }
    void TearDown() override { std::filesystem::remove_all(productFolder); }

    std::wstring productPath = ExpandFolderPlaceholders(L"{commonappdata}\\Fennix Web\\fxweb.exe");
    std::wstring productFolder = productPath.substr(0, productPath.find_last_of(L'\\'));
    ScratchFolder scratch;
    ScopedEnvironment logVariable{L"FENNIX_SAMPLE_LOG", scratch / L"installers.log"};
};

TEST_F(ProductInstallerTest, SilentInstallPutsTheProductInRoamingAppData) {
    ASSERT_NE(productPath.find(L"\\AppData\\Roaming\\Fennix Web\\fxweb.exe"), std::wstring::npos) << productPath;
    RunResult result = RunProcess(SampleInstaller(L"fxweb-setup.exe"), L"/S", true);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.text, L"");
    ASSERT_TRUE(Exists(productPath));
    EXPECT_EQ(ReadBytes(productPath), ReadBytes(SampleInstaller(L"fxweb.exe")));

    // The finish page starts it with "/RUNONSTARTUP"; it records how it was started.
    ScopedEnvironment noWindow(L"FENNIX_SAMPLE_FXWEB_NO_WINDOW", L"1");
    EXPECT_EQ(RunProcess(productPath, L"/RUNONSTARTUP", true).exitCode, 0u);
    EXPECT_THAT(ReadLogLines(productFolder + L"\\fxweb-launches.txt"),
                ElementsAre(L"\"" + productPath + L"\" /RUNONSTARTUP"));
}

TEST_F(ProductInstallerTest, AskedForFailureCodeItInstallsNothing) {
    for (const wchar_t* code : {L"1603", L"3"}) {
        ScopedEnvironment failure(L"FENNIX_SAMPLE_PRODUCT_EXIT", code);
        RunResult result = RunProcess(SampleInstaller(L"fxweb-setup.exe"), L"/S", true);
        EXPECT_EQ(result.exitCode, std::wcstoul(code, nullptr, 10));
        EXPECT_EQ(result.text, std::wstring(L"exit code = ") + code);
        EXPECT_FALSE(Exists(productPath));
    }
    EXPECT_EQ(ReadLogLines(scratch / L"installers.log").size(), 2u);
}

}  // namespace
