#include "pages/ConfigurationsPageQVClassic.h"

#include "config/ConfigurationManager.h"
#include "pagebase/AccessibleName.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"

namespace {
// In the order of the configuration's `configurations`. The first box has no text of its own: its
// two-line label is the static 1062 beside it.
constexpr int kConfigurationBoxes[] = {IDC_CONFIGURATIONS_CHECK_1, IDC_CONFIGURATIONS_CHECK_2,
                                       IDC_CONFIGURATIONS_CHECK_3, IDC_CONFIGURATIONS_CHECK_4,
                                       IDC_CONFIGURATIONS_CHECK_5};
}

ConfigurationsPageQVClassic::ConfigurationsPageQVClassic(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_CONFIGURATIONS_PAGE_QV_CLASSIC) {}

BOOL ConfigurationsPageQVClassic::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(L"ConfigurationsPageQVClassic", [this] {
        for (int id : kConfigurationBoxes)
            CheckDlgButton(GetHwnd(), id, BST_CHECKED);

        RegisterText(IDC_CONFIGURATIONS_TITLE, "CONFIGURATIONS_TITLE");
        RegisterText(IDC_CONFIGURATIONS_SUBTITLE_1, "CONFIGURATIONS_SUBTITLE_1");
        RegisterText(IDC_CONFIGURATIONS_TEXT_1, "CONFIGURATIONS_TEXT_1");
        RegisterText(IDC_CONFIGURATIONS_CHECK_1_LABEL, "CONFIGURATIONS_CHECK_1");
        RegisterText(IDC_CONFIGURATIONS_CHECK_2, "CONFIGURATIONS_CHECK_2");
        RegisterText(IDC_CONFIGURATIONS_SUBTITLE_2, "CONFIGURATIONS_SUBTITLE_2");
        RegisterText(IDC_CONFIGURATIONS_TEXT_2, "CONFIGURATIONS_TEXT_2");
        RegisterText(IDC_CONFIGURATIONS_CHECK_3, "CONFIGURATIONS_CHECK_3");
        RegisterText(IDC_CONFIGURATIONS_CHECK_4, "CONFIGURATIONS_CHECK_4");
        RegisterText(IDC_CONFIGURATIONS_CHECK_5, "CONFIGURATIONS_CHECK_5");
        RegisterText(IDC_BACK_BUTTON, "BUTTON_BACK");
        RegisterText(IDC_NEXT_BUTTON, "BUTTON_NEXT");
        UpdateTexts();

        // The first box has its text in a label of its own, after it.
        NameControl(IDC_CONFIGURATIONS_CHECK_1, [label = GetItem(IDC_CONFIGURATIONS_CHECK_1_LABEL)] {
            return SpokenText(label);
        });

        titleFont_ = SetHeavyTitleFont(GetItem(IDC_CONFIGURATIONS_TITLE));
    });
    return TRUE;
}

void ConfigurationsPageQVClassic::OnCommand(int id, int notifyCode, HWND control) {
    RunGuarded(L"ConfigurationsPageQVClassic", [&] {
        if (id == IDC_NEXT_BUTTON && notifyCode == BN_CLICKED) {
            StoreConfigurations();
            if (buttonCallback)
                buttonCallback(ButtonType::Next);
            return;
        }
        if (id == IDC_BACK_BUTTON && notifyCode == BN_CLICKED) {
            if (buttonCallback)
                buttonCallback(ButtonType::Back);
            return;
        }
        IPage::OnCommand(id, notifyCode, control);
    });
}

void ConfigurationsPageQVClassic::StoreConfigurations() {
    auto& configurations = ConfigurationManager::GetInstance()->configurations;
    for (size_t i = 0; i < configurations.size(); ++i)
        configurations[i] = IsDlgButtonChecked(GetHwnd(), kConfigurationBoxes[i]) == BST_CHECKED;
}
