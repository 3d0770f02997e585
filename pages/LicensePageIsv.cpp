#include "pages/LicensePageIsv.h"

#include <commctrl.h>
#include <richedit.h>

#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "pagebase/PageSupport.h"
#include "pages/LinkButton.h"
#include "pages/LinkMarkup.h"
#include "resources/resource.h"

std::wstring ReplaceUrlPlaceholder(std::wstring markup, const std::wstring& placeholder, const std::wstring& url) {
    return FillLinkMarkup(markup, {{placeholder, EscapeLinkAddress(url)}});
}

LicensePageIsv::LicensePageIsv(std::shared_ptr<LanguageManager> languageManager)
    : DisclaimerPage(std::move(languageManager), IDD_LICENSE_PAGE_ISV, IDC_LICENSE_DISCLAIMER, L"LicensePage") {}

BOOL LicensePageIsv::OnInitDialog() {
    DisclaimerPage::OnInitDialog();
    RunGuarded(L"LicensePage", [this] {
        licenseText_ = GetItem(IDC_LICENSE_EULA);
        title_ = GetItem(IDC_LICENSE_TITLE);

        // Addresses in the licence are shown as links; clicking them does nothing.
        SendMessageW(licenseText_, EM_AUTOURLDETECT, TRUE, 0);

        RegisterText(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");  // not on this template: skipped
        RegisterText(IDC_LICENSE_TITLE, "LICENSE_TITLE");
        RegisterText(IDC_LICENSE_TEXT, "LICENSE_TEXT");
        RegisterText(IDC_AGREE_BUTTON, "BUTTON_AGREE");
        RegisterText(IDC_BACK_BUTTON, "BUTTON_BACK");
        RegisterText(IDC_LICENSE_EULA, "LICENSE_EULA");
        RegisterText(IDC_LICENSE_DISCLAIMER, "LICENSE_DISCLAIMER");
        UpdateTexts();  // also fills the disclaimer's addresses

        titleFont_ = SetHeavyTitleFont(title_);
    });
    return TRUE;
}

void LicensePageIsv::OnNavigateToPage() {
    SendMessageW(licenseText_, EM_SETSEL, 0, 0);
    SendMessageW(licenseText_, EM_SCROLLCARET, 0, 0);
}

void LicensePageIsv::UpdateTexts() {
    IPage::UpdateTexts();
    FillDisclaimerUrls();
}

// A language change sets the raw disclaimer again, so this runs after every text update.
void LicensePageIsv::FillDisclaimerUrls() {
    if (!disclaimer_)
        return;
    auto config = ConfigurationManager::GetInstance();
    const std::wstring text = WindowTextOf(disclaimer_);

    std::wstring filled = ReplaceUrlPlaceholder(text, L"[LICENSE_TOS_URL]", config->termsUrl);
    filled = ReplaceUrlPlaceholder(std::move(filled), L"[LICENSE_PRIVACY_URL]", config->privacyUrl);
    if (filled != text)
        SetWindowTextW(disclaimer_, filled.c_str());
}

void LicensePageIsv::OnCommand(int id, int notifyCode, HWND control) {
    RunGuarded(L"LicensePage", [&] {
        if (notifyCode == BN_CLICKED && (id == IDC_AGREE_BUTTON || id == IDC_BACK_BUTTON)) {
            if (buttonCallback)
                buttonCallback(id == IDC_AGREE_BUTTON ? ButtonType::Next : ButtonType::Back);
            return;
        }
        IPage::OnCommand(id, notifyCode, control);
    });
}

