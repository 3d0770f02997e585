// Not a test: saves a picture of the download, finish and error pages in English and Spanish.
//   FENNIX_SCREENSHOT_DIR=<folder> wine install_pages_screens.exe   (under an X display, e.g. Xvfb)
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/ErrorPage.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "tests/contentpages/PageHost.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WizardDriver.h"
#include "win32/WizardMessages.h"

using namespace contentpages_test;

TEST(Screens, SaveDownloadFinishAndErrorPages) {
    const std::wstring folder = testing_support::WindowsPathFromEnv("FENNIX_SCREENSHOT_DIR");
    if (folder.empty())
        GTEST_SKIP() << "FENNIX_SCREENSHOT_DIR not set";
    ScopedConfiguration scope;
    PageHost host;
    auto save = [&](IPage& page, const std::wstring& name) {
        Pump(400);
        EXPECT_TRUE(testing_support::SaveScreenshot(page.GetHwnd(), folder + L"\\" + name + L".png"));
        ShowWindow(page.GetHwnd(), SW_HIDE);
    };
    for (const std::wstring locale : {L"en_US", L"es"}) {
        const std::wstring suffix = L"-" + locale.substr(0, 2);
        scope.config.wizardType = WizardType::ISV;
        auto languages = host.Languages(locale);
        {
            auto page = host.Show<DownloadPageIsv>(languages);
            PostMessageW(page->GetHwnd(), WM_DOWNLOAD_PROGRESS, 40, 0);
            save(*page, L"download-isv-progress" + suffix);
            ShowWindow(page->GetHwnd(), SW_SHOW);
            PostMessageW(page->GetHwnd(), WM_DOWNLOAD_INDETERMINATE, 0, 0);
            save(*page, L"download-isv-marquee" + suffix);
        }
        {
            auto page = host.Show<FinishPageIsv>(languages);
            save(*page, L"finish-isv" + suffix);
        }
        {
            auto page = host.Show<ErrorPage>(languages);
            page->SetTitleAndText(languages->GetString("PAGE_ERROR_TITLE"), languages->GetString("PAGE_ERROR_TEXT"));
            save(*page, L"error-isv" + suffix);
        }
        scope.config.wizardType = WizardType::DLM;
        auto dlmLanguages = host.Languages(locale);
        {
            auto page = host.Show<DownloadPageDlm>(dlmLanguages);
            PostMessageW(page->GetHwnd(), WM_DOWNLOAD_PROGRESS, 70, 0);
            save(*page, L"download-dlm-progress" + suffix);
        }
        {
            auto page = host.Show<FinishPageDlm>(dlmLanguages);
            save(*page, L"finish-dlm" + suffix);
        }
    }
}
