#include "pages/WarningPageQVClassic.h"

#include "config/ConfigurationManager.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"

WarningPageQVClassic::WarningPageQVClassic(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_WARNING_PAGE_QV_CLASSIC) {}

BOOL WarningPageQVClassic::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(L"WarningPageQVClassic", [this] {
        warningText_ = GetItem(IDC_WARNING_TEXT);
        backgroundBrush_.reset(CreateSolidBrush(ConfigurationManager::GetInstance()->backgroundColor));

        RegisterText(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");  // not on this template: skipped
        RegisterText(IDC_WARNING_TITLE, "WARNING_TITLE");
        RegisterText(IDC_WARNING_SUBTITLE, "WARNING_SUBTITLE");
        RegisterText(IDC_WARNING_TEXT, "WARNING_TEXT");
        RegisterText(IDC_BACK_BUTTON, "BUTTON_BACK");
        RegisterText(IDC_NEXT_BUTTON, "BUTTON_NEXT");
        UpdateTexts();

        titleFont_ = SetHeavyTitleFont(GetItem(IDC_WARNING_TITLE));
    });
    return TRUE;
}

void WarningPageQVClassic::OnCommand(int id, int notifyCode, HWND control) {
    RunGuarded(L"WarningPageQVClassic", [&] {
        if (notifyCode == BN_CLICKED && (id == IDC_NEXT_BUTTON || id == IDC_BACK_BUTTON)) {
            if (buttonCallback)
                buttonCallback(id == IDC_NEXT_BUTTON ? ButtonType::Next : ButtonType::Back);
            return;
        }
        IPage::OnCommand(id, notifyCode, control);
    });
}

HBRUSH WarningPageQVClassic::OnCtlColor(HDC dc, HWND control, UINT kind) {
    if (control && control == warningText_) {
        SetBkMode(dc, TRANSPARENT);
        return backgroundBrush_.get();
    }
    return IPage::OnCtlColor(dc, control, kind);
}
