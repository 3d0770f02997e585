// What the built program carries: manifest, version, icon, strings and the wizard window template.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/WindowDriver.h"
#include "win32/Handle.h"

namespace {

class WizardResources : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = testing_support::WindowsPathFromEnv("FENNIX_WIZARD_EXE");
        module_.reset(LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module_) << "cannot open the wizard's resources";
    }

    std::string Resource(LPCWSTR type, LPCWSTR id) const {
        HRSRC info = FindResourceW(module_.get(), id, type);
        if (!info)
            return {};
        HGLOBAL data = LoadResource(module_.get(), info);
        return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module_.get(), info));
    }

    std::wstring path_;
    UniqueModule module_;
};

}  // namespace

TEST_F(WizardResources, ManifestAsksForAdministratorAndCommonControlsSix) {
    const std::string manifest = Resource(MAKEINTRESOURCEW(24) /* RT_MANIFEST */, MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty());
    for (const char* expected : {"level=\"requireAdministrator\"", "uiAccess=\"false\"",
                                 "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                                 "processorArchitecture=\"*\"", ">true</dpiAware>",
                                 "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
}

TEST_F(WizardResources, VersionIconStringsAndTemplates) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(7, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(318, 0));

    EXPECT_NE(FindResourceW(module_.get(), MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */), nullptr);
    EXPECT_NE(FindResourceW(module_.get(), MAKEINTRESOURCEW(103), MAKEINTRESOURCEW(5) /* RT_DIALOG */), nullptr);

    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(module_.get(), 101, text, _countof(text)), 0);
    EXPECT_STREQ(text, L"&About Trelvo...");
}

TEST(AboutBox, ShowsTheSetupVersion) {
    testing_support::WizardProcess wizard;
    ASSERT_TRUE(wizard.Start(testing_support::WindowsPathFromEnv("FENNIX_WIZARD_EXE")));
    HWND window = testing_support::WaitForWindowTitled(wizard.Id(), L"Fennix Web ");
    ASSERT_NE(window, nullptr);

    PostMessageW(window, WM_SYSCOMMAND, 16, 0);
    HWND about = testing_support::WaitForWindowTitled(wizard.Id(), L"About");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(testing_support::MessageBoxText(about), L"Trelvo, Version 2.7.0.318");
    testing_support::ClickButton(about, IDOK);
    wizard.Terminate();
}
