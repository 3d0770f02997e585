// The license page: texts, the licence box, the disclaimer's links, the heavy title and its buttons.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include "pages/LicensePageIsv.h"
#include "resources/resource.h"
#include "tests/contentpages/PageHost.h"

using namespace contentpages_test;

namespace {

class LicensePage : public ::testing::Test {
protected:
    void SetUp() override {
        scope.config.termsUrl = L"https://site.test/legal/terms-of-use/";
        scope.config.privacyUrl = L"https://site.test/legal/privacy-policy/";
    }

    ScopedConfiguration scope;
    OpenedUrls opened;
    PageHost host;
};

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST_F(LicensePage, ShowsTheLicenceAndTheDisclaimerWithTheConfiguredAddresses) {
    auto page = host.Show<LicensePageIsv>(host.Languages(L"en_US"));

    EXPECT_EQ(page->GetPageName(), L"LicensePage");
    EXPECT_EQ(Text(page->GetItem(IDC_LICENSE_TITLE)), L"License Agreement and Privacy Policy");
    EXPECT_EQ(Text(page->GetItem(IDC_LICENSE_TEXT)),
              L"Please review the license terms before installing Fennix Web\u00ae. Please scroll down to see the "
              L"rest of the agreement.");
    EXPECT_EQ(Text(page->GetItem(IDC_AGREE_BUTTON)), L"&Agree");
    EXPECT_EQ(Text(page->GetItem(IDC_BACK_BUTTON)), L"&Back");

    // The whole licence is in the box, up to its last sentence.
    const std::wstring licence = Text(page->GetItem(IDC_LICENSE_EULA));
    EXPECT_EQ(licence.rfind(L"FENNIX WEB END USER LICENSE AGREEMENT", 0), 0u);
    EXPECT_TRUE(EndsWith(licence, L"support section of the Fennix Web web site.")) << licence.size() << " characters";
    EXPECT_TRUE(SendMessageW(page->GetItem(IDC_LICENSE_EULA), EM_GETAUTOURLDETECT, 0, 0));

    const std::wstring disclaimer = Text(page->GetItem(IDC_LICENSE_DISCLAIMER));
    EXPECT_NE(disclaimer.find(L"By clicking \"Accept\""), std::wstring::npos) << disclaimer;
    EXPECT_NE(disclaimer.find(L"href=\"https://site.test/legal/terms-of-use/\""), std::wstring::npos) << disclaimer;
    EXPECT_NE(disclaimer.find(L"href=\"https://site.test/legal/privacy-policy/\""), std::wstring::npos) << disclaimer;
    EXPECT_EQ(disclaimer.find(L"[LICENSE_"), std::wstring::npos) << disclaimer;
}

TEST_F(LicensePage, DisclaimerLinksOpenTermsThenPrivacy) {
    auto page = host.Show<LicensePageIsv>(host.Languages(L"en_US"));
    HWND disclaimer = page->GetItem(IDC_LICENSE_DISCLAIMER);
    ASSERT_TRUE(ClickLink(disclaimer, 0));
    ASSERT_TRUE(ClickLink(disclaimer, 1));
    EXPECT_EQ(opened.urls, (std::vector<std::wstring>{L"https://site.test/legal/terms-of-use/",
                                                      L"https://site.test/legal/privacy-policy/"}));
    EXPECT_TRUE(host.pressed.empty());
}

TEST_F(LicensePage, AnAddressCannotBreakTheDisclaimerMarkup) {
    // A quote would end the link's address early and turn the rest into markup of its own.
    scope.config.termsUrl = L"https://site.test/t?a=\"x\"><a href=\"file:///C:/evil.exe";
    auto page = host.Show<LicensePageIsv>(host.Languages(L"en_US"));
    HWND disclaimer = page->GetItem(IDC_LICENSE_DISCLAIMER);
    ASSERT_TRUE(ClickLink(disclaimer, 0));
    ASSERT_TRUE(ClickLink(disclaimer, 1));
    EXPECT_FALSE(ClickLink(disclaimer, 2)) << "no third link";
    EXPECT_EQ(opened.urls, (std::vector<std::wstring>{L"https://site.test/t?a=%22x%22%3E%3Ca href=%22file:///C:/evil.exe",
                                                      L"https://site.test/legal/privacy-policy/"}));
}

TEST_F(LicensePage, LanguageChangeKeepsTheAddressesInTheDisclaimer) {
    auto languages = host.Languages(L"en_US");
    auto page = host.Show<LicensePageIsv>(languages);
    host.SwitchLanguage(*languages, L"es");

    // The Spanish document lacks BUTTON_AGREE and BUTTON_BACK: those keep what they showed.
    EXPECT_EQ(Text(page->GetItem(IDC_AGREE_BUTTON)), L"&Agree");
    const std::wstring disclaimer = Text(page->GetItem(IDC_LICENSE_DISCLAIMER));
    EXPECT_EQ(disclaimer.find(L"[LICENSE_"), std::wstring::npos) << disclaimer;
    ASSERT_TRUE(ClickLink(page->GetItem(IDC_LICENSE_DISCLAIMER), 1));
    EXPECT_EQ(opened.urls, std::vector<std::wstring>{L"https://site.test/legal/privacy-policy/"});
}

TEST_F(LicensePage, SpanishFromTheStartKeepsTemplateTextsOfAgreeAndBack) {
    auto page = host.Show<LicensePageIsv>(host.Languages(L"es"));
    EXPECT_EQ(Text(page->GetItem(IDC_AGREE_BUTTON)), L"&Agree");
    EXPECT_EQ(Text(page->GetItem(IDC_BACK_BUTTON)), L"&Back");
    EXPECT_EQ(Text(page->GetItem(IDC_LICENSE_DISCLAIMER)).find(L"[LICENSE_"), std::wstring::npos);
}

TEST_F(LicensePage, AgreeIsNextAndBackIsBack) {
    auto page = host.Show<LicensePageIsv>(host.Languages(L"en_US"));
    Click(page->GetItem(IDC_AGREE_BUTTON));
    Click(page->GetItem(IDC_BACK_BUTTON));
    EXPECT_EQ(host.pressed, (std::vector<ButtonType>{ButtonType::Next, ButtonType::Back}));
}
