#include "install/DownloadPageDlm.h"

#include "config/ConfigurationManager.h"
#include "resources/resource.h"

DownloadPageDlm::DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager)
    : DownloadPageBase(std::move(languageManager), IDD_DOWNLOAD_PAGE_DLM, WizardType::DLM) {}

void DownloadPageDlm::ShowImage(CStaticFromImage& image) {
    image.SetImage(ConfigurationManager::GetInstance()->productLogo);  // fetched while loading; may be missing
}
