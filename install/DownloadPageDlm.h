// Download page of the DLM wizard: the product file goes to the user's download folder and stays
// there for the finish page; the offers go to the temporary folder and their installers are started.
#pragma once
#include "install/DownloadPageBase.h"

class DownloadPageDlm : public DownloadPageBase {
public:
    explicit DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager);

    std::wstring GetPageName() const override { return L"DownloadPageDLM"; }

protected:
    const wchar_t* Name() const override { return L"DownloadPageDLM"; }
    void ShowImage(CStaticFromImage& image) override;
    DownloadTarget TargetFor(const Package& package) const override;
    void OnDownloaded(const std::shared_ptr<Package>& package, const std::wstring& path) override;
    void OnDownloadsDone() override;
    void OnNothingToInstall() override {}
    // Never called: the product is not installed here.
    void OnProductInstallerStarted(const std::wstring&) override {}
    const std::wstring& ExtractionBaseFolder() const override;
    const char* ErrorTitleKey() const override { return "PAGE_DOWNLOAD_ERROR_TITLE"; }
    const char* ErrorTextKey() const override { return "PAGE_DOWNLOAD_ERROR_DESC"; }
};
