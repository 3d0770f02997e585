// Classic wizard: a warning shown before the license page. It only informs; links in its text are
// not followed.
#pragma once
#include "pagebase/IPage.h"

class WarningPageQVClassic : public IPage {
public:
    explicit WarningPageQVClassic(std::shared_ptr<LanguageManager> languageManager);

    void OnNavigateToPage() override {}
    std::wstring GetPageName() const override { return L"WarningPageQVClassic"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;

private:
    HWND warningText_ = nullptr;
    UniqueBrush backgroundBrush_;
    UniqueFont titleFont_;
};
