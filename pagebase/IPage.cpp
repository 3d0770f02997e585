#include "pagebase/IPage.h"

#include <commctrl.h>

#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "resources/resource.h"

IPage::IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : Dialog(templateId), languageManager(std::move(languageManager)) {
    this->languageManager->RegisterPage(this);
    accentBrush.reset(CreateSolidBrush(ConfigurationManager::GetInstance()->accentColor));
}

IPage::~IPage() { languageManager->UnregisterPage(this); }

namespace {

// The name a control of a page template needs besides its window text; empty for the controls whose
// text is their name (buttons, static texts) or that name themselves (a combo box by its selection).
NameSource DefaultName(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, _countof(className));
    if (_wcsicmp(className, WC_LINK) == 0)
        return [control] { return LinkPlainText(WindowTextOf(control)); };
    const bool picture =
        _wcsicmp(className, L"Static") == 0 && (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
    if (picture || _wcsicmp(className, PROGRESS_CLASSW) == 0 || _wcsnicmp(className, L"RichEdit", 8) == 0)
        return [control] { return LabelOf(control); };
    return {};
}

}  // namespace

BOOL IPage::OnInitDialog() {
    buttonBand = GetItem(IDC_BUTTON_BAND);
    for (HWND child = GetWindow(GetHwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (NameSource name = DefaultName(child)) {
            auto named = std::make_unique<AccessibleName>();
            if (named->Attach(child, std::move(name)))
                accessibleNames_.push_back(std::move(named));
        }
        wchar_t className[32] = {};
        GetClassNameW(child, className, _countof(className));
        if (_wcsicmp(className, WC_LINK) == 0) {
            auto stops = std::make_unique<LinkTabStops>();
            if (stops->Attach(child))
                linkTabStops_.push_back(std::move(stops));
        }
    }
    return TRUE;
}

void IPage::NameControl(int controlId, NameSource name) {
    const HWND control = GetItem(controlId);
    if (!control)
        return;
    for (auto& named : accessibleNames_)
        if (named->GetHwnd() == control) {
            named->SetSource(std::move(name));
            return;
        }
    auto named = std::make_unique<AccessibleName>();
    if (named->Attach(control, std::move(name)))
        accessibleNames_.push_back(std::move(named));
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
