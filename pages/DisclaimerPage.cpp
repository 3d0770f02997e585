#include "pages/DisclaimerPage.h"

#include <commctrl.h>

#include "config/ConfigurationManager.h"
#include "pagebase/PageSupport.h"
#include "pages/LinkButton.h"

DisclaimerPage::DisclaimerPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, int disclaimerId,
                               const wchar_t* pageName)
    : IPage(std::move(languageManager), templateId), disclaimerId_(disclaimerId), pageName_(pageName) {}

BOOL DisclaimerPage::OnInitDialog() {
    IPage::OnInitDialog();
    disclaimer_ = GetItem(disclaimerId_);
    RunGuarded(pageName_, [this] {
        backgroundBrush_.reset(CreateSolidBrush(ConfigurationManager::GetInstance()->backgroundColor));
    });
    return TRUE;
}

LRESULT DisclaimerPage::OnNotify(NMHDR* header) {
    // Enter on a focused link arrives as NM_RETURN; it opens the link as a click does.
    if (header && header->hwndFrom == disclaimer_ && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        const auto* link = reinterpret_cast<const NMLINK*>(header);
        RunGuarded(pageName_, [&] { OpenUrl(GetHwnd(), link->item.szUrl); });
        return 0;
    }
    return IPage::OnNotify(header);
}

HBRUSH DisclaimerPage::OnCtlColor(HDC dc, HWND control, UINT kind) {
    if (control && control == disclaimer_) {
        SetBkMode(dc, TRANSPARENT);
        return backgroundBrush_.get();
    }
    return IPage::OnCtlColor(dc, control, kind);
}
