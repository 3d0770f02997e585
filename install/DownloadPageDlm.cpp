#include "install/DownloadPageDlm.h"

#include "app/Strings.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "resources/resource.h"

DownloadPageDlm::DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager)
    : DownloadPageBase(std::move(languageManager), IDD_DOWNLOAD_PAGE_DLM) {}

void DownloadPageDlm::ShowImage(CStaticFromImage& image) {
    image.SetImage(ConfigurationManager::GetInstance()->productLogo);  // fetched while loading; may be missing
}

DownloadPageBase::DownloadTarget DownloadPageDlm::TargetFor(const Package& package) const {
    auto config = ConfigurationManager::GetInstance();
    if (package.isProduct)
        return {config->productUrl, config->productFileName, false};
    return {ResolveDownloadUrl(AnsiToWide(package.installerUrl), config->imageBaseUrl), L"", true};
}

void DownloadPageDlm::OnDownloaded(const std::shared_ptr<Package>& package, const std::wstring& path) {
    if (package->isProduct) {
        ConfigurationManager::GetInstance()->downloadedFilePath = path;
        package->ReportEvent(3);
    } else {
        installQueue.emplace_back(package, path);
    }
}

void DownloadPageDlm::OnDownloadsDone() {
    if (!installQueue.empty())
        RunNextInstaller();
    else
        Finish();
}

const std::wstring& DownloadPageDlm::ExtractionBaseFolder() const {
    return ConfigurationManager::GetInstance()->tempFolder;
}
