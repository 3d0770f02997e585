#include "install/DownloadPageBase.h"

#include <commctrl.h>

#include <chrono>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"
#include "win32/Strings.h"
#include "win32/WizardMessages.h"

namespace {

// Texts inside the program are UTF-8, as the JSON of the report needs them.
std::string EventText(const std::wstring& text) { return WideToUtf8(text); }

template <typename T>
bool IsReady(const std::future<T>& task) {
    return task.valid() && task.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

DownloadPageBase::DownloadPageBase(std::shared_ptr<LanguageManager> languageManager, UINT templateId,
                                   WizardType family)
    : IPage(std::move(languageManager), templateId), rules_(RulesFor(family)) {}

// The futures wait for their tasks when they go; the timers must not fire into a half-destroyed page.
DownloadPageBase::~DownloadPageBase() {
    if (GetHwnd()) {
        KillTimer(GetHwnd(), kDownloadTimer);
        KillTimer(GetHwnd(), kProductInstallerTimer);
    }
}

BOOL DownloadPageBase::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(rules_.pageName, [this] {
        progressBar_ = GetItem(IDC_PROGRESS_BAR);
        image_.Attach(GetItem(IDC_PAGE_IMAGE));
        RegisterText(IDC_PROGRESS_TITLE, "PROGRESS_TITLE");
        RegisterText(IDC_PROGRESS_DESC, "PROGRESS_DESC");
        UpdateTexts();
        ShowImage(image_);
    });
    return TRUE;
}

void DownloadPageBase::OnNavigateToPage() {
    RunGuarded(rules_.pageName, [this] {
        auto config = ConfigurationManager::GetInstance();
        InstallPlanInput input;
        input.family = rules_.installsProduct ? WizardType::ISV : WizardType::DLM;
        input.failureEventCode = config->failureEventCode;
        input.productUrl = config->productUrl;
        input.productFileName = config->productFileName;
        input.productArguments = config->classicPages
                                     ? BuildProductArguments(config->options, config->configurations)
                                     : config->productInstallArgs;
        input.imageBaseUrl = config->imageBaseUrl;
        // The ISV wizard keeps both folders on the run's temporary folder.
        input.extractionBase = rules_.installsProduct ? config->downloadFolder : config->tempFolder;
        packages_ = {config->productPackage};
        for (const auto& offer : config->acceptedPackages) {
            input.offers.push_back({Utf8ToWide(offer->installerUrl), Utf8ToWide(offer->installerParams)});
            packages_.push_back(offer);
        }
        plan_ = BuildInstallPlan(input);
        downloaded_.assign(packages_.size(), std::wstring());
        next_ = 0;
        Advance();
    });
}

INT_PTR DownloadPageBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DOWNLOAD_INDETERMINATE:
        StartMarquee(true);
        return TRUE;
    case WM_DOWNLOAD_PROGRESS:
        ShowPercent(static_cast<unsigned>(wParam));
        return TRUE;
    default:
        return IPage::HandleMessage(message, wParam, lParam);
    }
}

void DownloadPageBase::OnTimer(UINT_PTR id) {
    if (id == kDownloadTimer)
        RunGuarded(rules_.pageName, [this] { PollDownload(); });
    else if (id == kProductInstallerTimer)
        RunGuarded(rules_.pageName, [this] { PollProductInstaller(); });
}

void DownloadPageBase::Advance() {
    bool offerStarted = false;
    while (next_ < plan_.size()) {
        const InstallStep& step = plan_[next_];
        // After a confirmed close nothing new starts, no download and no installer: the wizard is on its
        // way out.
        if (ConfigurationManager::GetInstance()->cancelRequested)
            return;
        if (step.kind == StepKind::Download) {
            if (!packages_[step.package])
                return;
            StartDownload(step);
            return;
        }
        EnterInstallPhase();
        if (downloaded_[step.package].empty()) {
            ++next_;  // its download failed and was reported
            continue;
        }
        StartInstaller(step);
        if (step.kind == StepKind::InstallAndWait)
            return;
        Complete(step, true, runningInstaller_);
        offerStarted = true;
    }
    if (offerStarted && rules_.installsProduct && installationEnded_)
        installationEnded_();
    Finish();
}

void DownloadPageBase::StartDownload(const InstallStep& step) {
    auto engine = DownloadManager::GetInstance();
    HWND window = GetHwnd();
    pendingDownload_ = std::async(std::launch::async, [engine, step, window] {
        return engine->DownloadFile(step.url, window, step.fileName, step.useTempFolder);
    });
    SetTimer(GetHwnd(), kDownloadTimer, kPollMs, nullptr);
}

void DownloadPageBase::PollDownload() {
    if (!IsReady(pendingDownload_))
        return;
    KillTimer(GetHwnd(), kDownloadTimer);
    const DownloadResult result = pendingDownload_.get();
    if (next_ >= plan_.size())
        return;
    Complete(plan_[next_], result.first,
             result.first ? DownloadManager::GetInstance()->lastDownloadedPath : result.second);
    Advance();
}

void DownloadPageBase::StartInstaller(const InstallStep& step) {
    std::wstring path = downloaded_[step.package];
    const ArchiveKind kind = DetectArchiveType(path);
    if (kind != ArchiveKind::Ordinary)
        path = PrepareInstaller(path, kind, step.extractionBase);
    runningInstaller_ = path;
    const bool wait = step.kind == StepKind::InstallAndWait;
    pendingInstaller_ = RunProcessAsync(path, step.arguments, wait);
    if (wait)
        SetTimer(GetHwnd(), kProductInstallerTimer, kPollMs, nullptr);
}

void DownloadPageBase::PollProductInstaller() {
    if (!IsReady(pendingInstaller_))
        return;
    KillTimer(GetHwnd(), kProductInstallerTimer);
    if (installationEnded_)
        installationEnded_();
    const RunResult result = pendingInstaller_.get();
    if (next_ >= plan_.size())
        return;
    Complete(plan_[next_], result.exitCode == 0, result.exitCode == 0 ? runningInstaller_ : result.text);
    Advance();
}

void DownloadPageBase::Complete(const InstallStep& step, bool succeeded, const std::wstring& pathOrError) {
    const std::shared_ptr<Package>& package = packages_[step.package];
    ++next_;
    if (!succeeded) {
        package->ReportEvent(step.failureCode, {{"12", step.failurePrefix + EventText(pathOrError)}});
        if (step.package == 0)
            productFailed_ = true;
        return;
    }
    if (step.kind == StepKind::Download)
        downloaded_[step.package] = pathOrError;
    if (step.recordsPath)
        ConfigurationManager::GetInstance()->downloadedFilePath = pathOrError;
    if (step.successCode != 0)
        package->ReportEvent(step.successCode);
}

void DownloadPageBase::EnterInstallPhase() {
    if (installPhase_)
        return;
    installPhase_ = true;
    if (!rules_.installsProduct)
        return;
    if (installationStarted_)
        installationStarted_();
    StartMarquee(true);
}

void DownloadPageBase::Finish() {
    if (productFailed_ && errorCallback) {
        errorCallback(languageManager->GetString(rules_.errorTitleKey),
                      languageManager->GetString(rules_.errorTextKey));
        return;
    }
    if (buttonCallback)
        buttonCallback(ButtonType::Next);
}

void DownloadPageBase::StartMarquee(bool remember) {
    SendMessageW(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progressBar_, PBM_SETPOS, 0, 0);
    SendMessageW(progressBar_, PBM_SETMARQUEE, TRUE, 30);
    SetWindowLongW(progressBar_, GWL_STYLE, GetWindowLongW(progressBar_, GWL_STYLE) | PBS_MARQUEE);
    if (remember)
        marquee_ = true;
}

void DownloadPageBase::ShowPercent(unsigned percent) {
    const double fraction = percent / 100.0;
    if (fraction > 1.0) {
        StartMarquee(false);
        return;
    }
    if (marquee_) {
        SendMessageW(progressBar_, PBM_SETMARQUEE, FALSE, 0);
        SendMessageW(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageW(progressBar_, PBM_SETPOS, 0, 0);
        SendMessageW(progressBar_, PBM_SETSTEP, 1, 0);
        SetWindowLongW(progressBar_, GWL_STYLE, GetWindowLongW(progressBar_, GWL_STYLE) & ~PBS_MARQUEE);
        marquee_ = false;
    }
    SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(fraction * 100), 0);
}
