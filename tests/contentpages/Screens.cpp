// Not a test: saves a picture of every content page in English and Spanish for a person to look at.
//   FENNIX_SCREENSHOT_DIR=<folder> wine contentpages_screens.exe   (under an X display, e.g. Xvfb)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "pages/ConfigurationsPageQVClassic.h"
#include "pages/LicensePageIsv.h"
#include "pages/OptionsPageQVClassic.h"
#include "pages/WarningPageQVClassic.h"
#include "pages/WelcomePageIsv.h"
#include "tests/contentpages/PageHost.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WizardDriver.h"

using namespace contentpages_test;

TEST(Screens, SaveEveryContentPage) {
    const std::wstring folder = testing_support::WindowsPathFromEnv("FENNIX_SCREENSHOT_DIR");
    if (folder.empty())
        GTEST_SKIP() << "FENNIX_SCREENSHOT_DIR not set";
    ScopedConfiguration scope;
    PageHost host;
    const std::pair<const wchar_t*, std::function<std::unique_ptr<IPage>(std::shared_ptr<LanguageManager>)>> pages[] = {
        {L"welcome", [&](auto l) { return host.Show<WelcomePageIsv>(l); }},
        {L"license", [&](auto l) { return host.Show<LicensePageIsv>(l); }},
        {L"warning", [&](auto l) { return host.Show<WarningPageQVClassic>(l); }},
        {L"options", [&](auto l) { return host.Show<OptionsPageQVClassic>(l); }},
        {L"configurations", [&](auto l) { return host.Show<ConfigurationsPageQVClassic>(l); }},
    };
    for (const wchar_t* locale : {L"en_US", L"es"}) {
        auto languages = host.Languages(locale);
        for (const auto& [name, show] : pages) {
            auto page = show(languages);
            Pump(300);
            EXPECT_TRUE(testing_support::SaveScreenshot(page->GetHwnd(), folder + L"\\" + name + L"-" + locale + L".png"));
        }
    }
}
