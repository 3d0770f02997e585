// The heavy page titles, and the classic pages: warning, options and configurations with their flags.
#include <gtest/gtest.h>

#include <functional>

#include "pages/ConfigurationsPageQVClassic.h"
#include "pages/LicensePageIsv.h"
#include "pages/OptionsPageQVClassic.h"
#include "pages/WarningPageQVClassic.h"
#include "resources/resource.h"
#include "tests/contentpages/PageHost.h"

using namespace contentpages_test;

namespace {

class ContentPages : public ::testing::Test {
protected:
    bool Checked(IPage& page, int id) { return IsDlgButtonChecked(page.GetHwnd(), id) == BST_CHECKED; }
    void Toggle(IPage& page, int id) { Click(page.GetItem(id)); }

    ScopedConfiguration scope;
    PageHost host;
};

constexpr int kOptionBoxes[] = {IDC_OPTIONS_CHECK_1, IDC_OPTIONS_CHECK_2, IDC_OPTIONS_CHECK_3};
constexpr int kConfigurationBoxes[] = {IDC_CONFIGURATIONS_CHECK_1, IDC_CONFIGURATIONS_CHECK_2,
                                       IDC_CONFIGURATIONS_CHECK_3, IDC_CONFIGURATIONS_CHECK_4,
                                       IDC_CONFIGURATIONS_CHECK_5};

}  // namespace

TEST_F(ContentPages, TitlesKeepTheirHeavyFontForTheLifeOfThePage) {
    struct Case {
        const wchar_t* name;
        int titleId;
        std::function<std::unique_ptr<IPage>(std::shared_ptr<LanguageManager>)> show;
    };
    const Case cases[] = {
        {L"LicensePage", IDC_LICENSE_TITLE, [&](auto l) { return host.Show<LicensePageIsv>(l); }},
        {L"WarningPageQVClassic", IDC_WARNING_TITLE, [&](auto l) { return host.Show<WarningPageQVClassic>(l); }},
        {L"OptionsPageQVClassic", IDC_OPTIONS_TITLE, [&](auto l) { return host.Show<OptionsPageQVClassic>(l); }},
        {L"ConfigurationsPageQVClassic", IDC_CONFIGURATIONS_TITLE,
         [&](auto l) { return host.Show<ConfigurationsPageQVClassic>(l); }},
    };
    auto languages = host.Languages(L"en_US");
    for (const Case& c : cases) {
        auto page = c.show(languages);
        ASSERT_TRUE(page->GetHwnd());
        EXPECT_EQ(page->GetPageName(), c.name);
        HWND title = page->GetItem(c.titleId);
        const LOGFONTW font = FontOf(title);
        EXPECT_EQ(font.lfHeight, 12);
        EXPECT_EQ(font.lfWeight, 1000);
        // The other texts keep the dialog's font.
        EXPECT_EQ(FontOf(page->GetItem(IDC_NEXT_BUTTON) ? page->GetItem(IDC_NEXT_BUTTON)
                                                        : page->GetItem(IDC_AGREE_BUTTON)).lfWeight, FW_NORMAL);

        ShowWindow(page->GetHwnd(), SW_HIDE);
        host.SwitchLanguage(*languages, L"es");
        ShowWindow(page->GetHwnd(), SW_SHOW);
        Pump(20);
        const LOGFONTW later = FontOf(title);  // fails if the font object is gone
        EXPECT_EQ(later.lfHeight, 12);
        EXPECT_EQ(later.lfWeight, 1000);
        host.SwitchLanguage(*languages, L"en_US");
    }
}

TEST_F(ContentPages, ClassicPagesKeepTemplateTextsAndReportTheirButtons) {
    // No compiled-in document defines the classic pages' keys.
    auto languages = host.Languages(L"en_US");
    auto warning = host.Show<WarningPageQVClassic>(languages);
    EXPECT_EQ(Text(warning->GetItem(IDC_WARNING_TITLE)), L"WARNING_TITLE placeholder");
    EXPECT_EQ(Text(warning->GetItem(IDC_WARNING_TEXT)), L"WARNING_TEXT placeholder");
    EXPECT_EQ(Text(warning->GetItem(IDC_NEXT_BUTTON)), L"Next");
    EXPECT_EQ(Text(warning->GetItem(IDC_BACK_BUTTON)), L"&Back");
    Click(warning->GetItem(IDC_NEXT_BUTTON));
    Click(warning->GetItem(IDC_BACK_BUTTON));

    auto configurations = host.Show<ConfigurationsPageQVClassic>(languages);
    EXPECT_EQ(Text(configurations->GetItem(IDC_CONFIGURATIONS_CHECK_1_LABEL)), L"CONFIGURATIONS_CHECK_1 placeholder");
    Click(configurations->GetItem(IDC_BACK_BUTTON));
    Click(configurations->GetItem(IDC_NEXT_BUTTON));

    auto options = host.Show<OptionsPageQVClassic>(languages);
    EXPECT_EQ(Text(options->GetItem(IDC_OPTIONS_CHECK_2)), L"OPTIONS_CHECK_2 placeholder");
    Click(options->GetItem(IDC_NEXT_BUTTON));

    EXPECT_EQ(host.pressed, (std::vector<ButtonType>{ButtonType::Next, ButtonType::Back, ButtonType::Back,
                                                     ButtonType::Next, ButtonType::Next}));
}

TEST_F(ContentPages, OptionsNextStoresExactlyTheTickedBoxes) {
    // Each row: which boxes the user unticks before Next.
    const std::vector<std::vector<int>> rows = {{}, {0}, {1}, {2}, {0, 2}, {0, 1, 2}};
    auto languages = host.Languages(L"en_US");
    for (const auto& untick : rows) {
        scope.config.options = {false, false, false};
        auto page = host.Show<OptionsPageQVClassic>(languages);
        std::array<bool, 3> expected{true, true, true};
        for (int i : untick) {
            Toggle(*page, kOptionBoxes[i]);
            expected[i] = false;
        }
        EXPECT_EQ(scope.config.options, (std::array<bool, 3>{false, false, false})) << "stored only on Next";
        Click(page->GetItem(IDC_NEXT_BUTTON));
        EXPECT_EQ(scope.config.options, expected);
    }
}

TEST_F(ContentPages, ConfigurationsNextStoresTicksBackStoresNothing) {
    const std::vector<std::vector<int>> rows = {{}, {0}, {1}, {4}, {0, 1, 2, 3, 4}};
    auto languages = host.Languages(L"en_US");
    for (const auto& untick : rows) {
        scope.config.configurations = {false, false, false, false, false};
        auto page = host.Show<ConfigurationsPageQVClassic>(languages);
        std::array<bool, 5> expected{true, true, true, true, true};
        for (int i : untick) {
            Toggle(*page, kConfigurationBoxes[i]);
            expected[i] = false;
        }
        Click(page->GetItem(IDC_BACK_BUTTON));
        EXPECT_EQ(scope.config.configurations, (std::array<bool, 5>{false, false, false, false, false}));
        Click(page->GetItem(IDC_NEXT_BUTTON));
        EXPECT_EQ(scope.config.configurations, expected);
    }
}

TEST_F(ContentPages, ReturningToAClassicPageShowsTheBoxesAsLeftAndNextStoresThem) {
    auto languages = host.Languages(L"en_US");
    auto options = host.Show<OptionsPageQVClassic>(languages);
    auto configurations = host.Show<ConfigurationsPageQVClassic>(languages);

    Toggle(*options, IDC_OPTIONS_CHECK_2);
    Click(options->GetItem(IDC_NEXT_BUTTON));
    EXPECT_EQ(scope.config.options, (std::array<bool, 3>{true, false, true}));

    // Back from the configurations page: the options page comes again, unchanged.
    Click(configurations->GetItem(IDC_BACK_BUTTON));
    options->OnNavigateToPage();
    EXPECT_FALSE(Checked(*options, IDC_OPTIONS_CHECK_2));
    EXPECT_TRUE(Checked(*options, IDC_OPTIONS_CHECK_1));
    EXPECT_EQ(scope.config.options, (std::array<bool, 3>{true, false, true}));

    Toggle(*options, IDC_OPTIONS_CHECK_1);
    Toggle(*options, IDC_OPTIONS_CHECK_2);
    Click(options->GetItem(IDC_NEXT_BUTTON));
    EXPECT_EQ(scope.config.options, (std::array<bool, 3>{false, true, true}));

    configurations->OnNavigateToPage();
    EXPECT_TRUE(Checked(*configurations, IDC_CONFIGURATIONS_CHECK_1));
}
