#include "app/PageFactory.h"

#include "backend/LoadingPage.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "pages/ConfigurationsPageQVClassic.h"
#include "pages/LanguagePage.h"
#include "pages/LanguagePageQV.h"
#include "pages/LicensePageIsv.h"
#include "pages/OptionsPageQVClassic.h"
#include "pages/ProductPage.h"
#include "pages/WarningPageQVClassic.h"
#include "pages/WelcomePageIsv.h"

std::unique_ptr<IPage> MakePage(const PageEntry& entry, WizardType family,
                                const std::shared_ptr<LanguageManager>& languages,
                                const std::vector<std::shared_ptr<Package>>& offers, const PageHooks& hooks) {
    const bool dlm = family == WizardType::DLM;
    switch (entry.kind) {
    case PageKind::Language:
        return std::make_unique<LanguagePage>(languages);
    case PageKind::LanguageBranded:
        return std::make_unique<LanguagePageQV>(languages);
    case PageKind::Loading: {
        auto loading = std::make_unique<LoadingPage>(languages);
        loading->SetLoadCompleteCallback(hooks.offersLoaded);
        return loading;
    }
    case PageKind::Warning:
        return std::make_unique<WarningPageQVClassic>(languages);
    case PageKind::License:
        return std::make_unique<LicensePageIsv>(languages);
    case PageKind::Welcome:
        return std::make_unique<WelcomePageIsv>(languages);
    case PageKind::Product:
        return std::make_unique<ProductPage>(languages, offers.at(entry.offer));
    case PageKind::Options:
        return std::make_unique<OptionsPageQVClassic>(languages);
    case PageKind::Configurations:
        return std::make_unique<ConfigurationsPageQVClassic>(languages);
    case PageKind::Download: {
        std::unique_ptr<DownloadPageBase> download;
        if (dlm)
            download = std::make_unique<DownloadPageDlm>(languages);
        else
            download = std::make_unique<DownloadPageIsv>(languages);
        download->SetInstallationStartedCallback([hooks] { hooks.installationRunning(true); });
        download->SetInstallationEndedCallback([hooks] { hooks.installationRunning(false); });
        return download;
    }
    case PageKind::Finish:
        if (dlm)
            return std::make_unique<FinishPageDlm>(languages);
        return std::make_unique<FinishPageIsv>(languages);
    }
    return nullptr;
}
