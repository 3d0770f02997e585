// Finish page of the ISV wizard: a check box that starts the installed product, and Finish.
#pragma once
#include "pagebase/IPage.h"
#include "pagebase/StaticFromImage.h"

class FinishPageIsv : public IPage {
public:
    explicit FinishPageIsv(std::shared_ptr<LanguageManager> languageManager);

    // The run is over: the wizard keeps no minimise box from here on.
    void OnNavigateToPage() override;
    std::wstring GetPageName() const override { return L"FinishPageISV"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void OnFinish();

    HWND launchCheck_ = nullptr;
    CStaticFromImage image_;
};
