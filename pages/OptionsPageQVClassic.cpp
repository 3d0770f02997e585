#include "pages/OptionsPageQVClassic.h"

#include "config/ConfigurationManager.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"

namespace {
// In the order of the configuration's `options`.
constexpr int kOptionBoxes[] = {IDC_OPTIONS_CHECK_1, IDC_OPTIONS_CHECK_2, IDC_OPTIONS_CHECK_3};
}

OptionsPageQVClassic::OptionsPageQVClassic(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_OPTIONS_PAGE_QV_CLASSIC) {}

BOOL OptionsPageQVClassic::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(L"OptionsPageQVClassic", [this] {
        for (int id : kOptionBoxes)
            CheckDlgButton(GetHwnd(), id, BST_CHECKED);

        RegisterText(IDC_OPTIONS_TITLE, "OPTIONS_TITLE");
        RegisterText(IDC_OPTIONS_CHECK_1, "OPTIONS_CHECK_1");
        RegisterText(IDC_OPTIONS_CHECK_2, "OPTIONS_CHECK_2");
        RegisterText(IDC_OPTIONS_CHECK_3, "OPTIONS_CHECK_3");
        RegisterText(IDC_NEXT_BUTTON, "BUTTON_NEXT");
        UpdateTexts();

        titleFont_ = SetHeavyTitleFont(GetItem(IDC_OPTIONS_TITLE));
    });
    return TRUE;
}

void OptionsPageQVClassic::OnCommand(int id, int notifyCode, HWND control) {
    RunGuarded(L"OptionsPageQVClassic", [&] {
        if (id == IDC_NEXT_BUTTON && notifyCode == BN_CLICKED) {
            StoreOptions();
            if (buttonCallback)
                buttonCallback(ButtonType::Next);
            return;
        }
        IPage::OnCommand(id, notifyCode, control);
    });
}

void OptionsPageQVClassic::StoreOptions() {
    auto& options = ConfigurationManager::GetInstance()->options;
    for (size_t i = 0; i < options.size(); ++i)
        options[i] = IsDlgButtonChecked(GetHwnd(), kOptionBoxes[i]) == BST_CHECKED;
}
