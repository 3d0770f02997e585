#include "install/DownloadPageIsv.h"

#include <chrono>

#include "app/Strings.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "pages/PageSupport.h"
#include "resources/resource.h"

namespace {
constexpr int kProductLogoId = 101;
}

DownloadPageIsv::DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager)
    : DownloadPageBase(std::move(languageManager), IDD_DOWNLOAD_PAGE_ISV) {}

void DownloadPageIsv::ShowImage(CStaticFromImage& image) { image.LoadImage(kProductLogoId, L"IMAGE_BLOB"); }

DownloadPageBase::DownloadTarget DownloadPageIsv::TargetFor(const Package& package) const {
    auto config = ConfigurationManager::GetInstance();
    const std::wstring location = package.isProduct ? config->productUrl : AnsiToWide(package.installerUrl);
    return {ResolveDownloadUrl(location, config->imageBaseUrl), L"", true};
}

void DownloadPageIsv::OnDownloaded(const std::shared_ptr<Package>& package, const std::wstring& path) {
    if (package->isProduct)
        ConfigurationManager::GetInstance()->downloadedFilePath = path;
    installQueue.emplace_back(package, path);
}

void DownloadPageIsv::OnDownloadsDone() {
    if (installationStarted)
        installationStarted();
    StartMarquee(true);
    RunNextInstaller();
}

void DownloadPageIsv::OnOffersStarted() {
    if (installationEnded)
        installationEnded();
    Finish();
}

void DownloadPageIsv::OnProductInstallerStarted(const std::wstring& path) {
    productInstallerPath = path;
    SetTimer(GetHwnd(), kProductInstallerTimer, kPollMs, nullptr);
}

const std::wstring& DownloadPageIsv::ExtractionBaseFolder() const {
    return ConfigurationManager::GetInstance()->downloadFolder;
}

void DownloadPageIsv::OnTimer(UINT_PTR id) {
    if (id == kProductInstallerTimer)
        RunGuarded(L"DownloadPageISV", [this] { PollProductInstaller(); });
    else
        DownloadPageBase::OnTimer(id);
}

void DownloadPageIsv::PollProductInstaller() {
    if (!pendingInstaller.valid() ||
        pendingInstaller.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    KillTimer(GetHwnd(), kProductInstallerTimer);
    if (installationEnded)
        installationEnded();
    const RunResult result = pendingInstaller.get();
    if (installQueue.empty())
        return;
    std::shared_ptr<Package> product = installQueue.front().first;
    installQueue.pop_front();

    if (result.exitCode != 0) {
        product->ReportEvent(FailureCode(*product), {{"12", "EXEC FAILED: " + EventText(result.text)}});
        productFailed = true;
    } else {
        ConfigurationManager::GetInstance()->downloadedFilePath = productInstallerPath;
        product->ReportEvent(3);
    }

    if (!installQueue.empty())
        RunNextInstaller();
    else
        Finish();
}
