// Welcome page, shown after loading when the wizard has no license page: the product logo, a
// welcome text and three document links (privacy, terms, SDK licence).
#pragma once
#include <array>

#include "pagebase/IPage.h"
#include "pagebase/StaticFromImage.h"
#include "pages/LinkButton.h"

class WelcomePageIsv : public IPage {
public:
    explicit WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager);

    void OnNavigateToPage() override {}
    // Also fits each link to its (possibly translated) text.
    void UpdateTexts() override;
    std::wstring GetPageName() const override { return L"WelcomePage"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    // Privacy, terms, SDK licence: controls 1039, 1040, 1041.
    std::array<LinkButton, 3> links_;
    CStaticFromImage logo_;
};
