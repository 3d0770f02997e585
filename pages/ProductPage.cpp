#include "pages/ProductPage.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "pagebase/PageSupport.h"
#include "pages/LinkMarkup.h"
#include "resources/resource.h"
#include "win32/Strings.h"

std::wstring FillProductDisclaimer(const std::wstring& markup, const Package& offer) {
    return FillLinkMarkup(markup,
                          {{L"[PACKAGE_NAME]", EscapeLinkText(Utf8ToWide(offer.displayName))},
                           {L"[PACKAGE_PRIVACY_URL]", EscapeLinkAddress(Utf8ToWide(offer.packagePrivacyUrl))},
                           {L"[PACKAGE_EULA_URL]", EscapeLinkAddress(Utf8ToWide(offer.packageEulaUrl))}});
}

ProductPage::ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> offer)
    : DisclaimerPage(std::move(languageManager), IDD_PRODUCT_PAGE, IDC_PRODUCT_DISCLAIMER, L"ProductPage"),
      offer_(std::move(offer)) {}

BOOL ProductPage::OnInitDialog() {
    DisclaimerPage::OnInitDialog();
    RunGuarded(L"ProductPage", [this] {
        auto config = ConfigurationManager::GetInstance();
        skipAllButton_ = GetItem(IDC_SKIP_ALL_BUTTON);

        // No Skip All where no further offer can follow.
        const bool last = offer_->index == config->offerCount - 1;
        const bool nothingMayFollow = offer_->rules.partner.frequencyRules.maxShownWith == offer_->index + 1;
        if (last || nothingMayFollow)
            ShowWindow(skipAllButton_, SW_HIDE);

        image_.Attach(GetItem(IDC_OFFER_IMAGE));
        std::shared_ptr<Gdiplus::Bitmap> picture;
        {
            std::lock_guard<std::mutex> lock(offer_->packageMutex);
            picture = offer_->image;
        }
        image_.SetImage(std::move(picture));
        NameControl(IDC_OFFER_IMAGE, [name = Utf8ToWide(offer_->displayName)] { return name; });

        RegisterText(IDC_ACCEPT_BUTTON, "BUTTON_ACCEPT");
        RegisterText(IDC_DECLINE_BUTTON, "BUTTON_DECLINE");
        RegisterText(IDC_SKIP_ALL_BUTTON, "BUTTON_SKIP_ALL");
        RegisterText(IDC_PRODUCT_DISCLAIMER, "PRODUCT_DISCLAIMER");
        UpdateTexts();
    });
    return TRUE;
}

void ProductPage::UpdateTexts() {
    IPage::UpdateTexts();
    FillDisclaimer();
}

void ProductPage::FillDisclaimer() {
    if (!disclaimer_)
        return;
    const std::wstring text = WindowTextOf(disclaimer_);
    const std::wstring filled = FillProductDisclaimer(text, *offer_);
    if (filled != text)
        SetWindowTextW(disclaimer_, filled.c_str());
}

void ProductPage::OnNavigateToPage() {
    RunGuarded(L"ProductPage", [this] {
        if (offer_->rules.partner.partnerOffer)
            offer_->RecordShownDate();
        ConfigurationManager::GetInstance()->shownPackages.push_back(offer_);
    });
}

void ProductPage::OnCommand(int id, int notifyCode, HWND control) {
    RunGuarded(L"ProductPage", [&] {
        if (notifyCode != BN_CLICKED) {
            IPage::OnCommand(id, notifyCode, control);
            return;
        }
        switch (id) {
        case IDC_ACCEPT_BUTTON:
            ConfigurationManager::GetInstance()->acceptedPackages.push_back(offer_);
            if (buttonCallback)
                buttonCallback(ButtonType::Accept);
            return;
        case IDC_DECLINE_BUTTON:
            Decline(ButtonType::Decline);
            return;
        case IDC_SKIP_ALL_BUTTON:
            Decline(ButtonType::SkipAll);
            return;
        default:
            IPage::OnCommand(id, notifyCode, control);
        }
    });
}

void ProductPage::Decline(ButtonType type) {
    ConfigurationManager::GetInstance()->offerDeclined = true;
    offer_->ReportEvent(4);
    if (buttonCallback)
        buttonCallback(type);
}

