// The page base and the language and error pages, as real child dialogs from the program's templates.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "install/ErrorPage.h"
#include "locale/LanguageManager.h"
#include "pages/LanguagePage.h"
#include "pages/LanguagePageQV.h"
#include "resources/resource.h"
#include "tests/pages/TestPage.h"
#include "tests/support/WizardDriver.h"

using namespace testing_support;

namespace {

constexpr wchar_t kSpanish[] = L"espa\u00f1ol";

bool SpanishUser() {
    const char* expected = std::getenv("FENNIX_EXPECT_LANGUAGE");
    return expected && std::string(expected) == "es";
}

std::wstring Text(const IPage& page, int id) { return WindowText(GetDlgItem(page.GetHwnd(), id)); }

// A parent window for pages and a configuration of the test's own for the language manager.
class PagesTest : public testing::Test {
protected:
    // The controls of every template must be available, as the program makes them at start.
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        LoadLibraryW(L"RICHED32.DLL");
    }

    void SetUp() override {
        config = std::make_shared<ConfigurationManager>(L"ISV");
        parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 700, 600, nullptr, nullptr, nullptr, nullptr);
        manager = std::make_shared<LanguageManager>(nullptr, config);
    }
    void TearDown() override {
        DestroyWindow(parent);
        if (!config->tempFolder.empty())
            RemoveDirectoryW(config->tempFolder.c_str());
    }

    template <typename Page>
    Page& Create(std::unique_ptr<Page> page) {
        EXPECT_TRUE(page->Create(parent));
        Page& result = *page;
        pages.push_back(std::move(page));
        return result;
    }

    // Chooses a language in the combo box as a user does.
    void Choose(IPage& page, const std::wstring& language) {
        HWND combo = GetDlgItem(page.GetHwnd(), IDC_LANGUAGE_COMBO);
        const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(language.c_str()));
        ASSERT_NE(index, CB_ERR);
        SendMessageW(combo, CB_SETCURSEL, index, 0);
        SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }

    std::shared_ptr<ConfigurationManager> config;
    HWND parent = nullptr;
    std::shared_ptr<LanguageManager> manager;
    std::vector<std::unique_ptr<IPage>> pages;
    MessageBoxAnswerer answerer;
};

}  // namespace

TEST_F(PagesTest, LanguagePageOpensInTheUsersLanguage) {
    config->showLicensePage = false;
    auto& page = Create(std::make_unique<LanguagePage>(manager));
    HWND combo = GetDlgItem(page.GetHwnd(), IDC_LANGUAGE_COMBO);
    EXPECT_TRUE(GetWindowLongW(combo, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(WindowText(combo), SpanishUser() ? kSpanish : L"English");
    if (SpanishUser()) {
        EXPECT_EQ(Text(page, IDC_NEXT_BUTTON), L"Siguiente");
        EXPECT_EQ(Text(page, IDC_SPLASH_TEXT),
                  L"Para continuar, seleccione su idioma preferido y haga clic en \"Siguiente\".");
    } else {
        EXPECT_EQ(Text(page, IDC_NEXT_BUTTON), L"Next");
        EXPECT_EQ(Text(page, IDC_SPLASH_TEXT),
                  L"To continue, please select your preferred language, and click \"Next\".");
    }
    EXPECT_EQ(LOWORD(SendMessageW(page.GetHwnd(), DM_GETDEFID, 0, 0)), IDC_NEXT_BUTTON);
    EXPECT_EQ(page.GetPageName(), L"LanguagePage");
    EXPECT_TRUE(answerer.TakeTexts().empty());
}

TEST_F(PagesTest, BrandedLanguagePageHidesTheSelector) {
    config->productTitle = L"F\u00e9nix W\u00ebb";
    auto& page = Create(std::make_unique<LanguagePageQV>(manager));
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(page.GetHwnd(), IDC_LANGUAGE_COMBO), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(Text(page, IDC_SPLASH_TITLE_QV), L"Welcome to F\u00e9nix W\u00ebb\u00ae Setup Wizard");
    const std::wstring text = Text(page, IDC_SPLASH_TEXT_QV);
    EXPECT_EQ(text.rfind(L"This wizard will guide you through the installation of F\u00e9nix W\u00ebb on your", 0), 0u);
    EXPECT_NE(text.find(SpanishUser() ? L"\"Siguiente\"" : L"\"Next\""), std::wstring::npos);
    EXPECT_EQ(page.GetPageName(), L"LanguagePageQV");
}

TEST_F(PagesTest, ChangingTheLanguageRelabelsEveryPageHiddenOnesToo) {
    config->showLicensePage = false;
    auto& language = Create(std::make_unique<LanguagePage>(manager));
    auto& error = Create(std::make_unique<ErrorPage>(manager));
    auto& license = Create(std::make_unique<TestPage>(
        manager, IDD_LICENSE_PAGE_ISV, L"LicensePage",
        std::vector<std::pair<int, std::string>>{{IDC_AGREE_BUTTON, "BUTTON_AGREE"}, {IDC_BACK_BUTTON, "BUTTON_BACK"}}));
    ShowWindow(language.GetHwnd(), SW_SHOW);  // the others stay hidden

    Choose(language, L"English");
    EXPECT_EQ(Text(language, IDC_NEXT_BUTTON), L"Next");
    EXPECT_EQ(Text(error, IDC_CLOSE_BUTTON), L"Close");
    EXPECT_EQ(Text(license, IDC_AGREE_BUTTON), L"&Agree");

    Choose(language, kSpanish);
    EXPECT_EQ(Text(language, IDC_NEXT_BUTTON), L"Siguiente");
    EXPECT_EQ(Text(error, IDC_CLOSE_BUTTON), L"Cerrar");
    // Spanish has no Agree and Back: the controls keep what they showed.
    EXPECT_EQ(Text(license, IDC_AGREE_BUTTON), L"&Agree");
    EXPECT_EQ(Text(license, IDC_BACK_BUTTON), L"&Back");
    EXPECT_EQ(config->languageName, kSpanish);
    EXPECT_EQ(config->localeName, L"es");

    // Choosing the same language again changes nothing.
    Choose(language, kSpanish);
    EXPECT_EQ(Text(language, IDC_NEXT_BUTTON), L"Siguiente");

    // A page made while Spanish is chosen shows its own template texts for them.
    auto& late = Create(std::make_unique<TestPage>(
        manager, IDD_LICENSE_PAGE_ISV, L"LicensePage",
        std::vector<std::pair<int, std::string>>{{IDC_AGREE_BUTTON, "BUTTON_AGREE"}, {IDC_BACK_BUTTON, "BUTTON_BACK"}}));
    EXPECT_EQ(Text(late, IDC_AGREE_BUTTON), L"&Agree");
    EXPECT_EQ(Text(late, IDC_BACK_BUTTON), L"&Back");

    // A destroyed page leaves the others in the list.
    pages.erase(pages.begin() + 1);
    Choose(language, L"English");
    EXPECT_EQ(Text(late, IDC_AGREE_BUTTON), L"&Agree");
    EXPECT_EQ(Text(language, IDC_NEXT_BUTTON), L"Next");
}

TEST_F(PagesTest, MissingControlsAndMissingTextsAreSkipped) {
    auto& language = Create(std::make_unique<LanguagePageQV>(manager));
    auto& page = Create(std::make_unique<TestPage>(
        manager, IDD_LICENSE_PAGE_ISV, L"LicensePage",
        std::vector<std::pair<int, std::string>>{{IDC_NEXT_BUTTON, "BUTTON_NEXT"},  // not on this template
                                                 {IDC_LICENSE_TITLE, "WARNING_TITLE"},  // in no document
                                                 {IDC_BACK_BUTTON, "BUTTON_BACK"}}));
    EXPECT_EQ(page.RegisteredTexts(), 3u);
    EXPECT_EQ(Text(page, IDC_LICENSE_TITLE), L"LICENSE_TITLE placeholder");
    EXPECT_EQ(Text(page, IDC_BACK_BUTTON), L"&Back");  // Spanish has no text of its own for it
    Choose(language, L"English");  // the combo is hidden, but still chooses
    EXPECT_EQ(Text(page, IDC_LICENSE_TITLE), L"LICENSE_TITLE placeholder");
    EXPECT_EQ(Text(page, IDC_BACK_BUTTON), L"&Back");
}

TEST_F(PagesTest, NoLanguageListedLeavesTemplateTextsAndNextWorks) {
    auto unknown = std::make_shared<ConfigurationManager>(L"XYZ");
    auto lonely = std::make_shared<LanguageManager>(nullptr, unknown);
    auto& page = Create(std::make_unique<LanguagePage>(lonely));
    EXPECT_EQ(answerer.TakeTexts(),
              (std::vector<std::wstring>{L"Unknown wizard type", L"Unknown wizard type (language manager"}));
    EXPECT_EQ(Text(page, IDC_NEXT_BUTTON), L"NEXT placeholder");
    EXPECT_EQ(Text(page, IDC_SPLASH_TEXT), L"SPLASH_TEXT placeholder");

    std::vector<ButtonType> pressed;
    page.SetButtonCallback([&](ButtonType type) { pressed.push_back(type); });
    SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_NEXT_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page.GetHwnd(), IDC_NEXT_BUTTON)));
    EXPECT_EQ(pressed, std::vector<ButtonType>{ButtonType::Next});
}

TEST_F(PagesTest, PagesNeverCloseThemselvesAndPaintTheirBand) {
    auto& page = Create(std::make_unique<LanguagePageQV>(manager));
    SendMessageW(page.GetHwnd(), WM_COMMAND, IDOK, 0);
    SendMessageW(page.GetHwnd(), WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(IsWindow(page.GetHwnd()));

    page.SetBackgroundColor(RGB(255, 255, 255));
    HDC dc = GetDC(page.GetHwnd());
    auto brushColour = [&](int id) {
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(page.GetHwnd(), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(GetDlgItem(page.GetHwnd(), id))));
        LOGBRUSH info{};
        return brush && GetObjectW(brush, sizeof info, &info) ? info.lbColor : CLR_INVALID;
    };
    EXPECT_EQ(brushColour(IDC_BUTTON_BAND), RGB(127, 188, 66));
    EXPECT_EQ(brushColour(IDC_SPLASH_TITLE_QV), RGB(255, 255, 255));
    ReleaseDC(page.GetHwnd(), dc);
}

TEST_F(PagesTest, ErrorPageShowsExactlyWhatItIsGivenAndSendsClose) {
    auto& page = Create(std::make_unique<ErrorPage>(manager));
    EXPECT_EQ(Text(page, IDC_ERROR_TITLE), L"ERROR_TITLE placeholder");
    page.SetTitleAndText(L"Error occurred while installing F\u00e9nix.", L"Click on \"Close\" & try again.");
    EXPECT_EQ(Text(page, IDC_ERROR_TITLE), L"Error occurred while installing F\u00e9nix.");
    EXPECT_EQ(Text(page, IDC_ERROR_TEXT), L"Click on \"Close\" & try again.");
    EXPECT_EQ(page.GetPageName(), L"ErrorPage");

    std::vector<ButtonType> pressed;
    page.SetButtonCallback([&](ButtonType type) { pressed.push_back(type); });
    page.SetErrorCallback([&](const std::wstring&, const std::wstring&) { ADD_FAILURE() << "kept"; });
    SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page.GetHwnd(), IDC_CLOSE_BUTTON)));
    EXPECT_EQ(pressed, std::vector<ButtonType>{ButtonType::Close});
}
