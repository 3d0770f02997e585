// Classic wizard: three product options as check boxes, all ticked at first. Next stores them in the
// configuration's `options`, which the product installer's command line carries.
#pragma once
#include "pagebase/IPage.h"

class OptionsPageQVClassic : public IPage {
public:
    explicit OptionsPageQVClassic(std::shared_ptr<LanguageManager> languageManager);

    // Coming back shows the boxes as the user left them.
    void OnNavigateToPage() override {}
    std::wstring GetPageName() const override { return L"OptionsPageQVClassic"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void StoreOptions();

    UniqueFont titleFont_;
};
