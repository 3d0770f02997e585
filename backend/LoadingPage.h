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
// response order, of the first 100 listed; `admittedHook` learns of each as it is admitted. Sets `configError` and
// returns nothing more when a DLM response names no usable product or a malformed product digest. Throws the JSON
// library's errors for a missing or mistyped required member.
PackageList ReadConfigurationResponse(const nlohmann::json& response, const std::shared_ptr<ConfigurationManager>& config,
                                      bool& configError, EligibilityChecker::RejectionReporter reporter = {},
                                      const std::function<void(const std::shared_ptr<Package>&)>& admittedHook = {});

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
    // Each admitted offer's image is fetched as soon as the worker admits it; the list is handed over
    // once it is final and every image started is in.
    struct ImageState {
        std::mutex imagesMutex;  // guards everything below and the call of the callback
        int pendingImages = 0;
        bool listFinal = false;
        LoadCompleteCallback callback;
        PackageList packages;
        void Started();
        // One download less; the last one hands a final list over.
        void Complete();
        // The list the wizard gets; handed over at once when no image is still coming.
        void SetFinalList(PackageList list);
    };
    static void FetchImage(const std::shared_ptr<ImageState>& state, const std::shared_ptr<Package>& package);

    LRESULT OnRequestComplete();

    HWND progressBar_ = nullptr;
    std::shared_ptr<ImageState> images_ = std::make_shared<ImageState>();
    std::future<PackageList> configResult;
    std::atomic<bool> configError{false};
};
