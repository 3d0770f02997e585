#include "pages/WelcomePageIsv.h"

#include "config/ConfigurationManager.h"
#include "pagebase/AccessibleName.h"
#include "locale/LanguageManager.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"

namespace {
constexpr int kProductLogoId = 101;
}

WelcomePageIsv::WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_WELCOME_PAGE_ISV) {}

BOOL WelcomePageIsv::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(L"WelcomePage", [this] {
        auto config = ConfigurationManager::GetInstance();
        const bool dlm = config->wizardType == WizardType::DLM;

        logo_.Attach(GetItem(IDC_PAGE_IMAGE));
        if (dlm)
            logo_.SetImage(config->productLogo);  // downloaded while loading; may be missing
        else
            logo_.LoadImage(kProductLogoId, L"IMAGE_BLOB");
        // The logo stands for the product: it reads as the title shown below it.
        NameControl(IDC_PAGE_IMAGE, [title = GetItem(IDC_PRODUCT_TITLE)] { return SpokenText(title); });

        const int linkIds[] = {IDC_PRIVACY_LINK, IDC_TERMS_LINK, IDC_SDK_LINK};
        for (size_t i = 0; i < links_.size(); ++i)
            links_[i].Attach(GetItem(linkIds[i]));

        RegisterText(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");
        RegisterText(IDC_WELCOME_TITLE, "WELCOME_TITLE");
        RegisterText(IDC_WELCOME_TEXT, "WELCOME_TEXT");
        RegisterText(IDC_NEXT_BUTTON, "BUTTON_NEXT");
        RegisterText(IDC_PRIVACY_LINK, "PRIVACY_LINK");
        RegisterText(IDC_TERMS_LINK, dlm ? "TOS_LINK" : "EULA_LINK");
        RegisterText(IDC_SDK_LINK, "SDK_LINK");
        UpdateTexts();

        const std::wstring* urls[] = {&config->privacyUrl, &config->termsUrl, &config->sdkLicenseUrl};
        for (size_t i = 0; i < links_.size(); ++i) {
            links_[i].SetUrl(*urls[i]);
            if (urls[i]->empty())
                ShowWindow(links_[i].GetHwnd(), SW_HIDE);
        }
    });
    return TRUE;
}

void WelcomePageIsv::UpdateTexts() {
    IPage::UpdateTexts();
    for (auto& link : links_)
        link.SizeToText();
}

void WelcomePageIsv::OnCommand(int id, int notifyCode, HWND control) {
    RunGuarded(L"WelcomePage", [&] {
        for (auto& link : links_)
            if (link.HandleCommand(control, notifyCode))
                return;
        if (id == IDC_NEXT_BUTTON && notifyCode == BN_CLICKED) {
            if (buttonCallback)
                buttonCallback(ButtonType::Next);
            return;
        }
        IPage::OnCommand(id, notifyCode, control);
    });
}
