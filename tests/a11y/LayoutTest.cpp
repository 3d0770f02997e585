// Every page as the wizard makes it, in both languages and both families, measured at the screen's DPI
// (this test runs at 96 DPI and again in a prefix at 144): each text fits its control in the control's
// own font, and nothing that shows overlaps anything else but the background band under the buttons.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "backend/Package.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/ErrorPage.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "pages/ConfigurationsPageQVClassic.h"
#include "pages/LanguagePage.h"
#include "pages/LanguagePageQV.h"
#include "pages/LicensePageIsv.h"
#include "pages/OptionsPageQVClassic.h"
#include "pages/ProductPage.h"
#include "pages/WarningPageQVClassic.h"
#include "pages/WelcomePageIsv.h"
#include "resources/resource.h"
#include "tests/contentpages/PageHost.h"
#include "win32/Strings.h"

using namespace contentpages_test;

namespace {

std::string Describe(HWND control) {
    wchar_t className[64] = {};
    GetClassNameW(control, className, _countof(className));
    return std::to_string(GetDlgCtrlID(control)) + " (" + WideToUtf8(className) + ") \"" + WideToUtf8(Text(control)) +
           "\"";
}

bool IsClass(HWND control, const wchar_t* name) {
    wchar_t className[64] = {};
    GetClassNameW(control, className, _countof(className));
    return _wcsicmp(className, name) == 0;
}

LONG StaticType(HWND control) { return GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK; }

bool IsTextStatic(HWND control) {
    const LONG type = StaticType(control);
    return IsClass(control, L"Static") &&
           (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP);
}

// The band under the buttons, its line and frames: background that others may lie on.
bool IsBackground(HWND control) {
    return IsClass(control, L"Static") && StaticType(control) != SS_BITMAP && Text(control).empty();
}

// The text's extent in the control's font, laid out in `width` pixels as `format` lays it out.
SIZE TextExtent(HWND control, UINT format, LONG width) {
    const std::wstring text = Text(control);
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT bounds{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, format | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

LONG CharWidth(HWND control, wchar_t c) {
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    INT width = 0;
    GetCharWidth32W(dc, c, c, &width);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return width;
}

// Checks the texts of the page's visible controls and returns what each control covers on the page:
// the part of a static control its text takes, the ideal height of a link control, the whole of any
// other control.
std::vector<std::pair<HWND, RECT>> MeasureTexts(HWND page) {
    std::vector<std::pair<HWND, RECT>> covered;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control) || IsBackground(control))
            continue;
        SCOPED_TRACE(Describe(control));
        RECT client;
        GetClientRect(control, &client);
        RECT ink = RectInParent(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        if (IsTextStatic(control)) {
            UINT format = DT_EXPANDTABS | DT_WORDBREAK;
            if (style & SS_NOPREFIX)
                format |= DT_NOPREFIX;
            const SIZE text = TextExtent(control, format, client.right);
            EXPECT_LE(text.cx, client.right) << "clipped at the side";
            EXPECT_LE(text.cy, client.bottom) << "clipped at the bottom";
            const LONG type = StaticType(control);
            const LONG left = type == SS_CENTER  ? (client.right - text.cx) / 2
                              : type == SS_RIGHT ? client.right - text.cx
                                                 : 0;
            ink = {ink.left + left, ink.top, ink.left + left + text.cx, ink.top + text.cy};
        } else if (IsClass(control, L"Button") && !Text(control).empty()) {
            const LONG kind = style & BS_TYPEMASK;
            LONG room = client.right;
            UINT format = DT_SINGLELINE;
            if (kind == BS_OWNERDRAW) {
                room -= 4;  // the link button's padding
                format |= DT_NOPREFIX;
            } else if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
                room -= 2 * (GetSystemMetrics(SM_CXEDGE) + 1);
            } else {
                room -= MulDiv(12, dpi, 96) + 1 + CharWidth(control, L'0') / 2;  // the box and its gap
            }
            const SIZE text = TextExtent(control, format, room);
            EXPECT_LE(text.cx, room) << "clipped at the side";
            EXPECT_LE(text.cy, client.bottom) << "clipped at the bottom";
        } else if (IsClass(control, WC_LINK)) {
            SIZE ideal{};
            SendMessageW(control, LM_GETIDEALHEIGHT, client.right, reinterpret_cast<LPARAM>(&ideal));
            EXPECT_LE(ideal.cy, client.bottom) << "clipped at the bottom";
            ink.bottom = ink.top + ideal.cy;
        }
        covered.emplace_back(control, ink);
    }
    return covered;
}

void ExpectFitsAndNoOverlap(IPage& page, const std::string& what) {
    SCOPED_TRACE(what);
    Pump(20);
    const auto covered = MeasureTexts(page.GetHwnd());
    for (size_t i = 0; i < covered.size(); ++i)
        for (size_t j = i + 1; j < covered.size(); ++j) {
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &covered[i].second, &covered[j].second))
                << Describe(covered[i].first) << " overlaps " << Describe(covered[j].first);
        }
}

template <typename Page, typename... Args>
std::unique_ptr<Page> Place(PageHost& host, Args&&... args) {
    auto page = std::make_unique<Page>(std::forward<Args>(args)...);
    EXPECT_TRUE(page->Create(host.Hwnd()));
    page->SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, true);
    SetWindowPos(page->GetHwnd(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(page->GetHwnd(), SW_SHOW);  // not navigated to: the download pages would start downloading
    return page;
}

std::shared_ptr<Package> LongNamedOffer() {
    const nlohmann::json offer = {{"ad", {{"o", "layout"}, {"f", "flow"}}},
                                  {"ps",
                                   {{"i", "layout.png"},
                                    {"dn", "Offer With A Rather Long Name"},
                                    {"u", "installers/layout.exe"},
                                    {"cp", "https://localhost/privacy/"},
                                    {"ctu", "https://localhost/terms/"},
                                    {"v", 1}}}};
    return std::make_shared<Package>(EventContext{}, offer, false, std::string(), 0);
}

}  // namespace

TEST(Layout, EveryTextFitsAndNothingOverlapsInEveryLanguage) {
    if (const char* expected = std::getenv("FENNIX_EXPECT_DPI")) {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(dpi, std::atoi(expected)) << "the prefix is not at this DPI";
    }
    ScopedConfiguration scope;
    PageHost host;
    for (const std::wstring locale : {L"en_US", L"es"}) {
        const std::string language = WideToUtf8(locale);
        scope.config.wizardType = WizardType::ISV;
        scope.config.showLicensePage = true;
        scope.config.offerCount = 2;
        {
            auto languages = host.Languages(locale);
            ExpectFitsAndNoOverlap(*Place<LanguagePageQV>(host, languages), "branded language page " + language);
            ExpectFitsAndNoOverlap(*Place<LicensePageIsv>(host, languages), "license page " + language);
            ExpectFitsAndNoOverlap(*Place<WelcomePageIsv>(host, languages), "welcome page " + language);
            ExpectFitsAndNoOverlap(*Place<ProductPage>(host, languages, LongNamedOffer()), "offer page " + language);
            ExpectFitsAndNoOverlap(*Place<WarningPageQVClassic>(host, languages), "warning page " + language);
            ExpectFitsAndNoOverlap(*Place<OptionsPageQVClassic>(host, languages), "options page " + language);
            ExpectFitsAndNoOverlap(*Place<ConfigurationsPageQVClassic>(host, languages),
                                   "configurations page " + language);
            ExpectFitsAndNoOverlap(*Place<DownloadPageIsv>(host, languages), "download page " + language);
            ExpectFitsAndNoOverlap(*Place<FinishPageIsv>(host, languages), "finish page " + language);
            auto error = Place<ErrorPage>(host, languages);
            error->SetTitleAndText(languages->GetString("PAGE_ERROR_TITLE"), languages->GetString("PAGE_ERROR_TEXT"));
            ExpectFitsAndNoOverlap(*error, "error page " + language);
        }
        scope.config.wizardType = WizardType::DLM;
        scope.config.showLicensePage = false;
        {
            auto languages = host.Languages(locale);
            ExpectFitsAndNoOverlap(*Place<LanguagePage>(host, languages), "language page " + language);
            ExpectFitsAndNoOverlap(*Place<DownloadPageDlm>(host, languages), "DLM download page " + language);
            ExpectFitsAndNoOverlap(*Place<FinishPageDlm>(host, languages), "DLM finish page " + language);
        }
    }
}
