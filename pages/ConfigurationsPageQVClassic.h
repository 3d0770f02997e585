// Classic wizard: five product settings as check boxes in two groups, all ticked at first. Next stores
// them in the configuration's `configurations`; Back leaves the stored values alone.
#pragma once
#include "pagebase/IPage.h"

class ConfigurationsPageQVClassic : public IPage {
public:
    explicit ConfigurationsPageQVClassic(std::shared_ptr<LanguageManager> languageManager);

    // Coming back shows the boxes as the user left them.
    void OnNavigateToPage() override {}
    std::wstring GetPageName() const override { return L"ConfigurationsPageQVClassic"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void StoreConfigurations();

    UniqueFont titleFont_;
};
