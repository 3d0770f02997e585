#include "pages/LanguagePageQV.h"

#include "locale/LanguageManager.h"
#include "resources/resource.h"

LanguagePageQV::LanguagePageQV(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_LANGUAGE_PAGE_QV) {}

BOOL LanguagePageQV::OnInitDialog() {
    IPage::OnInitDialog();
    languageCombo_ = GetItem(IDC_LANGUAGE_COMBO);
    RegisterText(IDC_NEXT_BUTTON, "BUTTON_NEXT");
    RegisterText(IDC_SPLASH_TITLE_QV, "SPLASH_TITLE_QV");
    RegisterText(IDC_SPLASH_TEXT_QV, "SPLASH_TEXT_QV");
    languageManager->FillLanguageCombo(languageCombo_);  // hides the box in this wizard
    ApplySelection();  // also labels this page
    SendMessageW(GetHwnd(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
    return TRUE;
}

void LanguagePageQV::OnCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_LANGUAGE_COMBO && notifyCode == CBN_SELCHANGE) {
        ApplySelection();
    } else if (id == IDC_NEXT_BUTTON && notifyCode == BN_CLICKED) {
        if (buttonCallback)
            buttonCallback(ButtonType::Next);
    } else {
        IPage::OnCommand(id, notifyCode, control);
    }
}

void LanguagePageQV::ApplySelection() {
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
