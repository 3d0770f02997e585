// The page on which a failed run ends: a red cross, the title and text the wizard gives it, and Close.
#pragma once
#include "pagebase/IPage.h"
#include "pagebase/StaticFromImage.h"

class ErrorPage : public IPage {
public:
    explicit ErrorPage(std::shared_ptr<LanguageManager> languageManager);

    void OnNavigateToPage() override {}
    // The error page reports no errors of its own.
    void SetErrorCallback(ErrorCallback) override {}
    std::wstring GetPageName() const override { return L"ErrorPage"; }

    // Stores the title and the text and shows them.
    void SetTitleAndText(std::wstring title, std::wstring text);

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void UpdateData();

    std::wstring title_;
    std::wstring text_;
    CStaticFromImage image_;
};
