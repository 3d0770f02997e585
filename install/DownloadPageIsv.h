// Download page of the ISV wizard: everything goes to the temporary folder, then the product's
// installer runs and is waited for, then the offers' installers are started.
#pragma once
#include <functional>

#include "install/DownloadPageBase.h"

using InstallationCallback = std::function<void()>;

class DownloadPageIsv : public DownloadPageBase {
public:
    explicit DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager);

    std::wstring GetPageName() const override { return L"DownloadPageISV"; }
    // The wizard learns through these that installers are running (its closing question changes).
    void SetInstallationStartedCallback(InstallationCallback callback) { installationStarted = std::move(callback); }
    void SetInstallationEndedCallback(InstallationCallback callback) { installationEnded = std::move(callback); }

protected:
    void OnTimer(UINT_PTR id) override;

    const wchar_t* Name() const override { return L"DownloadPageISV"; }
    void ShowImage(CStaticFromImage& image) override;
    DownloadTarget TargetFor(const Package& package) const override;
    void OnDownloaded(const std::shared_ptr<Package>& package, const std::wstring& path) override;
    void OnDownloadsDone() override;
    void OnNothingToInstall() override { Finish(); }
    void OnOffersStarted() override;
    void OnProductInstallerStarted(const std::wstring& path) override;
    const std::wstring& ExtractionBaseFolder() const override;
    const char* ErrorTitleKey() const override { return "PAGE_ERROR_TITLE"; }
    const char* ErrorTextKey() const override { return "PAGE_ERROR_TEXT"; }

private:
    void PollProductInstaller();

    std::wstring productInstallerPath;
    InstallationCallback installationStarted;
    InstallationCallback installationEnded;
};
