#include "pages/LanguagePage.h"

#include "locale/LanguageManager.h"
#include "resources/resource.h"

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE) {}

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : IPage(std::move(languageManager), templateId) {}

void LanguagePage::RegisterPageTexts() { RegisterText(IDC_SPLASH_TEXT, "SPLASH_TEXT"); }

BOOL LanguagePage::OnInitDialog() {
    IPage::OnInitDialog();
    languageCombo_ = GetItem(IDC_LANGUAGE_COMBO);
    RegisterText(IDC_NEXT_BUTTON, "BUTTON_NEXT");
    RegisterPageTexts();
    languageManager->FillLanguageCombo(languageCombo_);
    ApplySelection();  // also labels this page
    SendMessageW(GetHwnd(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
    return TRUE;
}

void LanguagePage::OnCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_LANGUAGE_COMBO && notifyCode == CBN_SELCHANGE) {
        ApplySelection();
    } else if (id == IDC_NEXT_BUTTON && notifyCode == BN_CLICKED) {
        if (buttonCallback)
            buttonCallback(ButtonType::Next);
    } else {
        IPage::OnCommand(id, notifyCode, control);
    }
}

void LanguagePage::ApplySelection() {
    const LRESULT index = SendMessageW(languageCombo_, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return;
    const LRESULT length = SendMessageW(languageCombo_, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return;
    std::wstring name(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(languageCombo_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name.data()));
    name.resize(static_cast<size_t>(length));
    languageManager->SetLanguage(name);
}
