// Base of every wizard page: the common chrome (white background, accent button band), controls
// bound to locale keys, and the two callbacks through which a page talks to the wizard window.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "locale/LanguageManager.h"
#include "pagebase/AccessibleName.h"
#include "pagebase/LinkTabStops.h"
#include "win32/Dialog.h"
#include "win32/Handle.h"

enum class ButtonType : int { Next = 0, Accept = 1, Close = 2, Decline = 3, Finish = 4, Back = 5, SkipAll = 6 };

using ButtonCallback = std::function<void(ButtonType)>;
using ErrorCallback = std::function<void(const std::wstring& title, const std::wstring& text)>;

class IPage : public Dialog, public TextClient {
public:
    IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId);
    ~IPage() override;

    // Called by the wizard window each time the page becomes the current page.
    virtual void OnNavigateToPage() = 0;
    virtual void SetButtonCallback(ButtonCallback callback) { buttonCallback = std::move(callback); }
    virtual void SetErrorCallback(ErrorCallback callback) { errorCallback = std::move(callback); }
    // Re-reads every registered text; an empty text keeps what the control shows.
    void UpdateTexts() override;
    // The page's fixed name; the wizard window compares it.
    virtual std::wstring GetPageName() const = 0;

protected:
    BOOL OnInitDialog() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
    // Enter and Escape never close a page.
    void OnOK() override {}
    void OnCancel() override {}

    // Binds a control of this page to a locale key; an id the template lacks is kept and skipped.
    void RegisterText(int controlId, std::string key);
    // Gives a control the name screen readers read, in place of the one the page base chose for it
    // (pictures, progress bars and rich edits are named by their label, link controls by their text).
    void NameControl(int controlId, NameSource name);

    std::shared_ptr<LanguageManager> languageManager;
    std::vector<std::pair<HWND, std::string>> texts;
    UniqueBrush accentBrush;
    HWND buttonBand = nullptr;
    ButtonCallback buttonCallback;
    ErrorCallback errorCallback;

private:
    std::vector<std::unique_ptr<AccessibleName>> accessibleNames_;
    std::vector<std::unique_ptr<LinkTabStops>> linkTabStops_;
};
