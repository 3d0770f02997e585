#include "pagebase/IPage.h"

#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "resources/resource.h"

IPage::IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : Dialog(templateId), languageManager(std::move(languageManager)) {
    this->languageManager->RegisterPage(this);
    accentBrush.reset(CreateSolidBrush(ConfigurationManager::GetInstance()->accentColor));
}

IPage::~IPage() { languageManager->UnregisterPage(this); }

BOOL IPage::OnInitDialog() {
    buttonBand = GetItem(IDC_BUTTON_BAND);
    return TRUE;
}

void IPage::RegisterText(int controlId, std::string key) {
    const HWND control = GetItem(controlId);
    for (auto& [registered, registeredKey] : texts)
        if (registered == control) {
            registeredKey = std::move(key);  // a control shows one text at a time
            return;
        }
    texts.emplace_back(control, std::move(key));
}

void IPage::UpdateTexts() {
    for (const auto& [control, key] : texts) {
        if (!control || !IsWindow(control))
            continue;
        const std::wstring text = languageManager->GetString(key);
        if (!text.empty())
            SetWindowTextW(control, text.c_str());
    }
}

HBRUSH IPage::OnCtlColor(HDC dc, HWND control, UINT kind) {
    if (control && control == buttonBand) {
        SetBkMode(dc, TRANSPARENT);
        return accentBrush.get();
    }
    return Dialog::OnCtlColor(dc, control, kind);
}
