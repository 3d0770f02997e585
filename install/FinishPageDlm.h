// Finish page of the DLM wizard: start the downloaded file or show it in its folder, and Finish.
#pragma once
#include "pagebase/IPage.h"
#include "pagebase/StaticFromImage.h"

class FinishPageDlm : public IPage {
public:
    explicit FinishPageDlm(std::shared_ptr<LanguageManager> languageManager);

    // The run is over: the wizard keeps no minimise box from here on.
    void OnNavigateToPage() override;
    std::wstring GetPageName() const override { return L"FinishPageDLM"; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int notifyCode, HWND control) override;

private:
    void OnFinish();

    HWND launchRadio_ = nullptr;
    HWND openFolderRadio_ = nullptr;
    CStaticFromImage image_;
};

// Explorer's arguments that open the file's folder with the file selected.
std::wstring ExplorerSelectArguments(const std::wstring& path);
