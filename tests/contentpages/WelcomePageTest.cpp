// The welcome page: logo by wizard type, texts, the three document links and Next.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "pagebase/ImageResource.h"
#include "pages/WelcomePageIsv.h"
#include "resources/resource.h"
#include "tests/contentpages/PageHost.h"

using namespace contentpages_test;

namespace {

class WelcomePage : public ::testing::Test {
protected:
    ScopedConfiguration scope;
    OpenedUrls opened;
    PageHost host;
};

bool IsOrange(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 60 && GetGValue(c) < 190 && GetBValue(c) < 90; }
bool IsGreen(COLORREF c) { return GetGValue(c) > 120 && GetRValue(c) < 120 && GetBValue(c) < 120; }

}  // namespace

TEST_F(WelcomePage, IsvShowsBuiltInLogoEulaLinkAndHidesSdkLink) {
    scope.config.privacyUrl = L"https://site.test/privacy";
    scope.config.termsUrl = L"https://site.test/terms";
    scope.config.sdkLicenseUrl.clear();
    auto page = host.Show<WelcomePageIsv>(host.Languages(L"en_US"));

    EXPECT_EQ(page->GetPageName(), L"WelcomePage");
    EXPECT_EQ(Text(page->GetItem(IDC_WELCOME_TITLE)), L"Welcome to");
    EXPECT_EQ(Text(page->GetItem(IDC_PRODUCT_TITLE)), L"Fennix Web");
    EXPECT_EQ(Text(page->GetItem(IDC_WELCOME_TEXT)),
              L"This will install Fennix Web on your computer. Click \"Next\" to continue.");
    EXPECT_EQ(Text(page->GetItem(IDC_NEXT_BUTTON)), L"Next");
    EXPECT_EQ(Text(page->GetItem(IDC_PRIVACY_LINK)), L"Privacy Policy");
    EXPECT_EQ(Text(page->GetItem(IDC_TERMS_LINK)), L"End User License Agreement");  // EULA_LINK
    EXPECT_TRUE(IsShown(page->GetItem(IDC_PRIVACY_LINK)));
    EXPECT_TRUE(IsShown(page->GetItem(IDC_TERMS_LINK)));
    EXPECT_FALSE(IsShown(page->GetItem(IDC_SDK_LINK)));

    const COLORREF logo = PixelAt(page->GetItem(IDC_PAGE_IMAGE), 0.5, 0.75);
    EXPECT_TRUE(IsOrange(logo)) << std::hex << logo;
}

TEST_F(WelcomePage, DlmShowsDownloadedLogoOrNothingAndTosLink) {
    scope.config.wizardType = WizardType::DLM;
    auto languages = host.Languages(L"en_US");
    {
        scope.config.productLogo = LoadImageResource(GetModuleHandleW(nullptr), 102, L"IMAGE_BLOB2");  // green disc
        ASSERT_TRUE(scope.config.productLogo);
        auto page = host.Show<WelcomePageIsv>(languages);
        // Only the DLM documents have TOS_LINK; with EULA_LINK the template text would stay.
        EXPECT_EQ(Text(page->GetItem(IDC_TERMS_LINK)), L"End User License Agreement");
        EXPECT_EQ(Text(page->GetItem(IDC_WELCOME_TEXT)),
                  L"This will download Fennix Web on your computer. Click \"Next\" to continue.");
        const COLORREF logo = PixelAt(page->GetItem(IDC_PAGE_IMAGE), 0.5, 0.85);
        EXPECT_TRUE(IsGreen(logo)) << std::hex << logo;
    }
    {
        scope.config.productLogo.reset();
        auto page = host.Show<WelcomePageIsv>(languages);
        EXPECT_EQ(PixelAt(page->GetItem(IDC_PAGE_IMAGE), 0.5, 0.75), RGB(255, 255, 255));
    }
}

TEST_F(WelcomePage, EachLinkOpensItsAddressAndAnEmptyAddressHidesIt) {
    struct Case {
        const wchar_t* privacy;
        const wchar_t* terms;
        const wchar_t* sdk;
    };
    const Case cases[] = {
        {L"https://site.test/privacy", L"https://site.test/terms", L"https://site.test/sdk"},
        {L"", L"https://site.test/terms", L""},
        {L"https://site.test/privacy", L"", L"https://site.test/sdk"},
        {L"", L"", L""},  // a DLM wizard whose backend sent no addresses
    };
    auto languages = host.Languages(L"en_US");
    for (const Case& c : cases) {
        scope.config.privacyUrl = c.privacy;
        scope.config.termsUrl = c.terms;
        scope.config.sdkLicenseUrl = c.sdk;
        auto page = host.Show<WelcomePageIsv>(languages);
        const std::pair<int, const wchar_t*> links[] = {
            {IDC_PRIVACY_LINK, c.privacy}, {IDC_TERMS_LINK, c.terms}, {IDC_SDK_LINK, c.sdk}};
        for (const auto& [id, url] : links) {
            SCOPED_TRACE(testing::Message() << "link " << id);
            EXPECT_EQ(IsShown(page->GetItem(id)), *url != L'\0');
            opened.urls.clear();
            if (*url) {
                Click(page->GetItem(id));
                EXPECT_EQ(opened.urls, std::vector<std::wstring>{url});
            }
        }
        EXPECT_TRUE(host.pressed.empty()) << "a link must not move the wizard";
    }
}

TEST_F(WelcomePage, NextReportsNext) {
    auto page = host.Show<WelcomePageIsv>(host.Languages(L"en_US"));
    Click(page->GetItem(IDC_NEXT_BUTTON));
    EXPECT_EQ(host.pressed, std::vector<ButtonType>{ButtonType::Next});
}

TEST_F(WelcomePage, LinksFitTheirTextInEveryLanguageAndKeepTheirPlace) {
    scope.config.sdkLicenseUrl = L"https://site.test/sdk";
    auto languages = host.Languages(L"en_US");
    auto page = host.Show<WelcomePageIsv>(languages);
    HWND terms = page->GetItem(IDC_TERMS_LINK);
    const RECT english = RectInParent(terms);

    host.SwitchLanguage(*languages, L"es");
    EXPECT_EQ(Text(terms), L"Contrato de licencia de usuario final");
    const RECT spanish = RectInParent(terms);
    EXPECT_EQ(spanish.left, english.left);
    EXPECT_EQ(spanish.top, english.top);
    EXPECT_GT(spanish.right - spanish.left, english.right - english.left);

    // The text fits: the control is at least as wide as the text drawn in its (underlined) font.
    HDC dc = GetDC(terms);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(terms, WM_GETFONT, 0, 0)));
    SIZE extent{};
    const std::wstring text = Text(terms);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(terms, dc);
    EXPECT_GE(spanish.right - spanish.left, extent.cx);
    EXPECT_GE(spanish.bottom - spanish.top, extent.cy);

    // The Spanish ISV document has no SDK_LINK: that link keeps the English text and still fits it.
    EXPECT_EQ(Text(page->GetItem(IDC_SDK_LINK)), L"SDK License");
    EXPECT_TRUE(IsShown(page->GetItem(IDC_SDK_LINK)));
}

TEST_F(WelcomePage, LinkIsDrawnAsLinkOnThePageBackground) {
    auto page = host.Show<WelcomePageIsv>(host.Languages(L"en_US"));
    HWND privacy = page->GetItem(IDC_PRIVACY_LINK);
    RECT client;
    GetClientRect(privacy, &client);
    RedrawWindow(privacy, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(privacy);
    int linkPixels = 0, otherPixels = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            if (c == RGB(255, 255, 255))
                continue;
            if (GetBValue(c) > GetRValue(c) + 60)
                ++linkPixels;
            else if (GetRValue(c) >= GetBValue(c))
                ++otherPixels;  // black, grey or the accent colour: not link text
        }
    }
    ReleaseDC(privacy, dc);
    EXPECT_GT(linkPixels, 20) << "blue text expected";
    EXPECT_LT(otherPixels, linkPixels / 4) << "only link-coloured text on the white page";
}
