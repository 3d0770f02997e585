#include "install/DownloadPageIsv.h"

#include "resources/resource.h"

namespace {
constexpr int kProductLogoId = 101;
}

DownloadPageIsv::DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager)
    : DownloadPageBase(std::move(languageManager), IDD_DOWNLOAD_PAGE_ISV, WizardType::ISV) {}

void DownloadPageIsv::ShowImage(CStaticFromImage& image) { image.LoadImage(kProductLogoId, L"IMAGE_BLOB"); }
