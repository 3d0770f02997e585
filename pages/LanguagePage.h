// The first page: a language selector with one instruction line and Next.
#pragma once
#include "pagebase/IPage.h"

class LanguagePage : public IPage {
public:
    explicit LanguagePage(std::shared_ptr<LanguageManager> languageManager);

    void OnNavigateToPage() override {}
    std::wstring GetPageName() const override { return L"LanguagePage"; }

protected:
    // For the branded variant, which shares the selector and Next but has texts of its own.
    LanguagePage(std::shared_ptr<LanguageManager> languageManager, UINT templateId);
    virtual void RegisterPageTexts();

    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    // Loads the selected language, which re-labels every page.
    void ApplySelection();

    HWND languageCombo_ = nullptr;
};
