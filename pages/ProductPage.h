// One admitted offer: its image, a consent text with the offer's privacy and licence links, and
// Accept, Decline and Skip All. The wizard window decides which product page follows.
#pragma once
#include <memory>
#include <string>

#include "pages/DisclaimerPage.h"
#include "pagebase/StaticFromImage.h"

class Package;

// The consent text with the offer's name and addresses put in, each escaped for the link markup: the
// name is shown as the backend sent it and cannot add, close or hide a link or a sentence, and an
// address cannot leave its link attribute.
std::wstring FillProductDisclaimer(const std::wstring& markup, const Package& offer);

class ProductPage : public DisclaimerPage {
public:
    ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> offer);

    void OnNavigateToPage() override;
    // A new language brings the raw consent text back, so the offer's values go in again.
    void UpdateTexts() override;
    std::wstring GetPageName() const override { return L"ProductPage"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void FillDisclaimer();
    // Records a declined offer; Decline and Skip All differ only in what they tell the wizard.
    void Decline(ButtonType type);

    std::shared_ptr<Package> offer_;
    HWND skipAllButton_ = nullptr;
    CStaticFromImage image_;
};
