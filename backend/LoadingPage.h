// The page shown while the backend's configuration is fetched: a moving progress bar, a worker that
// turns the response into admitted offers, then the offers' images, then the hand-over to the wizard.
#pragma once
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include <nlohmann/json.hpp>

#include "eligibility/EligibilityChecker.h"
#include "pagebase/IPage.h"

class ConfigurationManager;
class Package;

using PackageList = std::vector<std::shared_ptr<Package>>;
using LoadCompleteCallback = std::function<void(PackageList)>;

// What the worker makes of a configuration response: writes the country, publisher, offer limit and
// (DLM) product fields and the product's digest into `config` and returns the offers the eligibility engine admitted, in
// response order, of the first 100 listed. Sets `configError` and returns nothing more when a DLM response names no usable
// product or a malformed product digest. Throws the JSON library's errors for a missing or mistyped required member.
PackageList ReadConfigurationResponse(const nlohmann::json& response, const std::shared_ptr<ConfigurationManager>& config,
                                      bool& configError, EligibilityChecker::RejectionReporter reporter = {});

class LoadingPage : public IPage {
public:
    explicit LoadingPage(std::shared_ptr<LanguageManager> languageManager);
    ~LoadingPage() override;

    void OnNavigateToPage() override;
    std::wstring GetPageName() const override { return L"LoadingPage"; }

    // May be called from a download thread: the callback must only store the list and post.
    void SetLoadCompleteCallback(LoadCompleteCallback callback);
    void ShowConfigurationError();

protected:
    BOOL OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Shared with the download threads, which may finish after the page is gone.
    struct ImageState {
        std::mutex imagesMutex;  // guards pendingImages and the call of the callback
        int pendingImages = 0;
        LoadCompleteCallback callback;
        PackageList packages;
        // Under imagesMutex: one download less; the last one hands the list over.
        void Complete();
    };

    LRESULT OnRequestComplete();

    HWND progressBar_ = nullptr;
    std::shared_ptr<ImageState> images_ = std::make_shared<ImageState>();
    std::future<PackageList> configResult;
    std::atomic<bool> configError{false};
};
