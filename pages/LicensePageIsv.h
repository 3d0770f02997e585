// License page of the branded wizard: the licence text in a scrollable box, a disclaimer whose links
// open the terms and the privacy policy, Agree and Back.
#pragma once
#include "pages/DisclaimerPage.h"

class LicensePageIsv : public DisclaimerPage {
public:
    explicit LicensePageIsv(std::shared_ptr<LanguageManager> languageManager);

    // Arriving gives the licence box the focus, which selects the whole text and scrolls to its end.
    void OnNavigateToPage() override;
    // Also puts the configuration's addresses into the disclaimer's links again.
    void UpdateTexts() override;
    std::wstring GetPageName() const override { return L"LicensePage"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void FillDisclaimerUrls();

    HWND licenseText_ = nullptr;
    HWND title_ = nullptr;
    UniqueFont titleFont_;
};

// Replaces every `placeholder` in a link markup text by `url`. Characters that would end the link's
// address attribute or open markup of their own are percent-encoded.
std::wstring ReplaceUrlPlaceholder(std::wstring markup, const std::wstring& placeholder, const std::wstring& url);
