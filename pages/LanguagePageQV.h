// The branded first page: a welcome title and text; the language is chosen without asking.
#pragma once
#include "app/IPage.h"

class LanguagePageQV : public IPage {
public:
    explicit LanguagePageQV(std::shared_ptr<LanguageManager> languageManager);

    void OnNavigateToPage() override {}
    void SetButtonCallback(ButtonCallback callback) override { buttonCallback = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { errorCallback = std::move(callback); }
    std::wstring GetPageName() const override { return L"LanguagePageQV"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    // Loads the selected language, which re-labels every page.
    void ApplySelection();

    HWND languageCombo_ = nullptr;
};
