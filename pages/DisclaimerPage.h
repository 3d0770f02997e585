// A page with a disclaimer in a link control (the licence page, each product page): its links open with
// the shell on a click or Enter, and it is drawn on the configured background colour.
#pragma once
#include <memory>

#include "pagebase/IPage.h"

class DisclaimerPage : public IPage {
public:
    DisclaimerPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, int disclaimerId,
                   const wchar_t* pageName);

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNotify(NMHDR* header) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;

    HWND disclaimer_ = nullptr;

private:
    int disclaimerId_;
    const wchar_t* pageName_;
    UniqueBrush backgroundBrush_;
};
