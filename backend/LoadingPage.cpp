#include "backend/LoadingPage.h"

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include "backend/ApiManager.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "events/EventContext.h"
#include "locale/LanguageManager.h"
#include "net/DownloadManager.h"
#include "pagebase/ImageResource.h"
#include "resources/resource.h"
#include "win32/Narrow.h"
#include "win32/RunLog.h"
#include "win32/Strings.h"
#include "win32/WizardMessages.h"

namespace {

constexpr UINT kMarqueeIntervalMs = 30;

std::wstring OptionalText(const nlohmann::json& object, const char* key) {
    return object.contains(key) ? Utf8ToWide(object.at(key).get<std::string>()) : std::wstring();
}

// The DLM product; false when it has no title or no address.
bool ReadProduct(const nlohmann::json& i, ConfigurationManager& config) {
    config.productTitle = Utf8ToWide(i.at("ct").get<std::string>());
    config.productUrl = Utf8ToWide(i.at("cu").get<std::string>());
    if (config.productTitle.empty() || config.productUrl.empty())
        return false;
    config.productLogoUrl = OptionalText(i, "cl");
    config.privacyUrl = OptionalText(i, "cp");
    config.termsUrl = OptionalText(i, "ctu");
    config.channel = OptionalText(i, "ch");
    config.flow = OptionalText(i, "cfl");
    config.productFileName = i.contains("cf") ? OptionalText(i, "cf") : config.productTitle + L".exe";
    config.ispbValue = i.contains("cb") ? i.at("cb").get<std::string>() : std::string();
    return true;
}

constexpr std::size_t kMaxOffersConsidered = 100;

}  // namespace

PackageList ReadConfigurationResponse(const nlohmann::json& response, const std::shared_ptr<ConfigurationManager>& config,
                                      bool& configError, EligibilityChecker::RejectionReporter reporter,
                                      const std::function<void(const std::shared_ptr<Package>&)>& admittedHook) {
    if (response.is_object() && response.contains("l"))
        config->countryCode = response.at("l").get<std::string>();

    if (config->wizardType == WizardType::DLM && !ReadProduct(response.at("i"), *config)) {
        configError = true;
        return {};
    }
    // A product the backend meant to be verified is never run unverified: a malformed digest ends the run.
    if (response.is_object() && response.contains("product")) {
        const auto& product = response.at("product");
        if (!product.is_object() || !ReadExpectedPayload(product, config->productPayload).empty()) {
            configError = true;
            return {};
        }
    }

    if (response.is_object() && response.contains("f") && response.at("f").is_object() &&
        response.at("f").contains("a"))
        config->publisherId = response.at("f").at("a").get<std::string>();

    PackageList admitted;
    // "00xA" marks a channel that never carries offers.
    if (!response.is_object() || !response.contains("o") || config->channel == L"00xA")
        return admitted;

    config->maxOffers = response.at("f").at("m").get<int>();
    config->offerCount = 0;
    if (!reporter)
        reporter = [](CheckedOffer& offer, const std::string& text) {
            static_cast<Package&>(offer).ReportEvent(2, {{"13", text}});  // every offer here is a package
        };
    LogLine("configuration: " + std::to_string(response.at("o").size()) + " offers listed, at most " +
            std::to_string(config->maxOffers) + " shown");
    EligibilityChecker checker(config->maxOffers, config,
                               [reporter = std::move(reporter)](CheckedOffer& offer, const std::string& text) {
                                   LogLine("offer " + offer.offerId + ": rejected: " + text);
                                   reporter(offer, text);
                               });
    // Only the first offers are considered, however many the response lists.
    std::size_t considered = 0;
    for (const auto& offer : response.at("o")) {
        if (++considered > kMaxOffersConsidered)
            break;
        auto package = std::make_shared<Package>(MakeEventContext(), offer, false, std::string(),
                                                 static_cast<int>(admitted.size()));
        bool limitReached = false;
        if (checker.IsEligible(package, limitReached, admitted)) {
            LogLine("offer " + package->offerId + ": admitted");
            admitted.push_back(package);
            ++config->offerCount;
            if (admittedHook)
                admittedHook(package);
            if (package->rules.exclusive)
                break;
        } else if (limitReached) {
            break;
        }
    }
    return admitted;
}

void LoadingPage::ImageState::Started() {
    std::lock_guard<std::mutex> lock(imagesMutex);
    ++pendingImages;
}

void LoadingPage::ImageState::Complete() {
    std::lock_guard<std::mutex> lock(imagesMutex);
    if (--pendingImages == 0 && listFinal && callback)
        callback(packages);
}

void LoadingPage::ImageState::SetFinalList(PackageList list) {
    std::lock_guard<std::mutex> lock(imagesMutex);
    packages = std::move(list);
    listFinal = true;
    if (pendingImages == 0 && callback)
        callback(packages);
}

// Every download completes exactly once, also when it cannot even be started.
void LoadingPage::FetchImage(const std::shared_ptr<ImageState>& state, const std::shared_ptr<Package>& package) {
    state->Started();
    try {
        package->DownloadImage([state] { state->Complete(); });
    } catch (...) {
        state->Complete();
    }
}

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE) {}

LoadingPage::~LoadingPage() {
    // Downloads still running keep the shared state alive; they must not call into a wizard that is gone.
    std::lock_guard<std::mutex> lock(images_->imagesMutex);
    images_->callback = nullptr;
}

void LoadingPage::SetLoadCompleteCallback(LoadCompleteCallback callback) {
    std::lock_guard<std::mutex> lock(images_->imagesMutex);
    images_->callback = std::move(callback);
}

BOOL LoadingPage::OnInitDialog() {
    IPage::OnInitDialog();
    progressBar_ = GetItem(IDC_PROGRESS_BAR);
    return TRUE;
}

void LoadingPage::OnNavigateToPage() {
    SendMessageW(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progressBar_, PBM_SETPOS, 0, 0);
    SetWindowLongW(progressBar_, GWL_STYLE, GetWindowLongW(progressBar_, GWL_STYLE) | PBS_MARQUEE);
    SendMessageW(progressBar_, PBM_SETMARQUEE, TRUE, kMarqueeIntervalMs);

    configError = false;
    const HWND window = GetHwnd();
    configResult = std::future<PackageList>();  // waits for the worker of an earlier visit
    configResult = std::async(std::launch::async, [this, window]() -> PackageList {
        try {
            std::unique_ptr<nlohmann::json> response = ApiManager::GetInstance()->RequestConfiguration();
            bool productUnusable = false;
            PackageList admitted = ReadConfigurationResponse(
                *response, ConfigurationManager::GetInstance(), productUnusable, {},
                [state = images_](const std::shared_ptr<Package>& package) { FetchImage(state, package); });
            configError = productUnusable;
            // The configuration is written before the window thread learns that the worker is done.
            PostMessageW(window, WM_REQUEST_COMPLETE, 0, 0);
            return admitted;
        } catch (...) {
            PostMessageW(window, WM_REQUEST_COMPLETE, 0, 0);
            throw;
        }
    });
}

INT_PTR LoadingPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_REQUEST_COMPLETE) {
        SetMessageResult(OnRequestComplete());
        return TRUE;
    }
    return IPage::HandleMessage(message, wParam, lParam);
}

LRESULT LoadingPage::OnRequestComplete() {
    if (configError) {
        ShowConfigurationError();
        return 0;
    }
    auto config = ConfigurationManager::GetInstance();
    PackageList packages;
    try {
        packages = configResult.get();
    } catch (...) {
        // A failed request or an unusable response: ISV goes on without offers, DLM cannot go on.
        if (config->wizardType == WizardType::DLM) {
            ShowConfigurationError();
            return 0;
        }
    }

    auto state = images_;
    if (config->wizardType == WizardType::DLM && !config->productLogoUrl.empty()) {
        state->Started();
        try {
            DownloadManager::GetInstance()->DownloadToMemoryAsync(config->productLogoUrl, [state](DownloadBuffer data) {
                if (data && !data->empty())
                    ConfigurationManager::GetInstance()->productLogo = DecodeImage(data->data(), data->size());
                state->Complete();
            });
        } catch (...) {
            state->Complete();
        }
    }
    state->SetFinalList(std::move(packages));
    return 0;
}

void LoadingPage::ShowConfigurationError() {
    if (!errorCallback)
        return;
    switch (ConfigurationManager::GetInstance()->wizardType) {
    case WizardType::DLM:
        errorCallback(languageManager->GetString("PAGE_CONFIGURATION_ERROR_TITLE"),
                      languageManager->GetString("PAGE_CONFIGURATION_ERROR_DESC"));
        break;
    case WizardType::ISV:
        errorCallback(languageManager->GetString("PAGE_ERROR_TITLE"), L"");
        break;
    case WizardType::Unknown:
        errorCallback(L"", L"");
        break;
    }
}
