// The wizard started from a folder where someone left DLLs named like the ones it loads, as anyone can
// in the user's Downloads: it runs on its own system DLLs and never loads theirs.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/Handle.h"

using namespace testing_support;

namespace {

// The DLLs the program loads that Windows does not keep on its known list, and one they load in turn.
constexpr const wchar_t* kPlanted[] = {L"winhttp.dll", L"wininet.dll", L"version.dll", L"riched32.dll",
                                       L"riched20.dll", L"gdiplus.dll"};
// Wine prefers its own DLL to one in the program's folder; for this copy of the wizard it takes the
// planted one first, as Windows would. Not version.dll: Wine's own user32 imports it before the
// program's first line runs, which Windows' user32 does not.
constexpr const wchar_t* kPreferPlanted[] = {L"winhttp", L"wininet", L"riched32", L"riched20", L"gdiplus"};
constexpr wchar_t kWizardName[] = L"FennixWebSetup-downloads.exe";

// Wine's DLL load order for programs named kWizardName, while it lives.
class PlantedFirst {
public:
    PlantedFirst() {
        UniqueRegKey overrides;
        RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        overrides.put(), nullptr);
        constexpr wchar_t kNativeFirst[] = L"native,builtin";
        for (const wchar_t* name : kPreferPlanted)
            RegSetValueExW(overrides.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst),
                           sizeof kNativeFirst);
    }
    ~PlantedFirst() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    PlantedFirst(const PlantedFirst&) = delete;
    PlantedFirst& operator=(const PlantedFirst&) = delete;

private:
    const std::wstring key_ = std::wstring(L"Software\\Wine\\AppDefaults\\") + kWizardName;
};

std::vector<std::wstring> MarkersIn(const std::wstring& folder) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    UniqueFind search(FindFirstFileW((folder + L"\\*.loaded").c_str(), &entry));
    if (search)
        do
            found.push_back(entry.cFileName);
        while (FindNextFileW(search.get(), &entry));
    return found;
}

class DllSearchTest : public testing::Test {
protected:
    void SetUp() override {
        folder = TestBackend::ScratchFolder(L"downloads");
        wizardPath = folder + L"\\" + kWizardName;
        ASSERT_TRUE(CopyFileW(WindowsPathFromEnv("FENNIX_WIZARD_EXE").c_str(), wizardPath.c_str(), FALSE));
        const std::wstring planted = WindowsPathFromEnv("FENNIX_PLANTED_DLL");
        for (const wchar_t* name : kPlanted)
            ASSERT_TRUE(CopyFileW(planted.c_str(), (folder + L"\\" + name).c_str(), FALSE)) << name;

        // The fixture catches a load: the DLL marks wherever it is loaded from.
        const std::wstring control = TestBackend::ScratchFolder(L"downloads-control");
        const std::wstring controlDll = control + L"\\control.dll";
        ASSERT_TRUE(CopyFileW(planted.c_str(), controlDll.c_str(), FALSE));
        FreeLibrary(LoadLibraryW(controlDll.c_str()));
        ASSERT_THAT(MarkersIn(control), testing::ElementsAre(L"control.dll.loaded"));
    }

    // Whatever became of the run, nothing planted was loaded.
    void TearDown() override {
        wizard.Terminate();
        EXPECT_THAT(MarkersIn(folder), testing::IsEmpty());
    }

    PlantedFirst loadOrder;
    std::wstring folder;
    std::wstring wizardPath;
    WizardProcess wizard;
};

}  // namespace

TEST_F(DllSearchTest, TheWizardLoadsNoDllFromItsOwnFolder) {
    TestBackend backend;
    backend.SetScenario({{"config", {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", nlohmann::json::array()}}}});
    const size_t mark = backend.Mark();
    ASSERT_TRUE(wizard.StartWithTempFolder(wizardPath, TestBackend::ScratchFolder(L"downloads-temp")));
    HWND window = WaitForWindowTitled(wizard.Id(), L"Fennix Web ");
    ASSERT_NE(window, nullptr) << "the wizard window did not appear";
    HWND page = WaitForPage(window, [](HWND p) { return ControlVisible(p, IDC_NEXT_BUTTON); });
    ASSERT_NE(page, nullptr);

    // Next asks the backend over WinHTTP; the license page that follows shows the rich edit control.
    ClickButton(page, IDC_NEXT_BUTTON);
    HWND license = WaitForPage(window, [](HWND p) { return ControlVisible(p, IDC_LICENSE_EULA); }, 30000);
    ASSERT_NE(license, nullptr) << "shown: " << testing::PrintToString(DescribeControls(VisiblePage(window)));
    EXPECT_FALSE(ControlText(license, IDC_LICENSE_EULA).empty());
    EXPECT_FALSE(backend.Requests(mark).empty()) << "the wizard asked the backend nothing";

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr);
    ClickButton(box, IDOK);
    EXPECT_TRUE(wizard.WaitForExit(15000));
}
