// Finish page of the ISV wizard: a check box that starts the installed product, and Finish.
#pragma once
#include "app/ui/IPage.h"
#include "app/ui/StaticFromImage.h"

class FinishPageIsv : public IPage {
public:
    explicit FinishPageIsv(std::shared_ptr<LanguageManager> languageManager);

    // The run is over: the wizard keeps no minimise box from here on.
    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { buttonCallback = std::move(callback); }
    // Stored but never called: nothing on this page can fail in a way the user is told about.
    void SetErrorCallback(ErrorCallback callback) override { errorCallback = std::move(callback); }
    std::wstring GetPageName() const override { return L"FinishPageISV"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void OnFinish();

    HWND launchCheck_ = nullptr;
    CStaticFromImage image_;
};
