#include "install/DownloadPageBase.h"

#include <commctrl.h>

#include <chrono>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"
#include "win32/RunLog.h"
#include "win32/SecureFolder.h"
#include "win32/Strings.h"
#include "win32/WizardMessages.h"

namespace {

// Texts inside the program are UTF-8, as the JSON of the report needs them.
std::string EventText(const std::wstring& text) { return WideToUtf8(text); }

unsigned long long FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

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
        KillTimer(GetHwnd(), kInstallerTimer);
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
        packages_ = {config->productPackage};
        payloads_ = {config->productPayload};
        for (const auto& offer : config->acceptedPackages) {
            input.offers.push_back({Utf8ToWide(offer->installerUrl), Utf8ToWide(offer->installerParams)});
            packages_.push_back(offer);
            payloads_.push_back(offer->payload);
        }
        plan_ = BuildInstallPlan(input);
        downloaded_.assign(packages_.size(), Fetched());
        installs_.clear();
        installs_.resize(packages_.size());
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
    case kStepDoneMessage:
        RunGuarded(rules_.pageName, [this, wParam, lParam] { OnStepDone(wParam, lParam); });
        return TRUE;
    default:
        return IPage::HandleMessage(message, wParam, lParam);
    }
}

void DownloadPageBase::OnTimer(UINT_PTR id) {
    if (id == kDownloadTimer)
        RunGuarded(rules_.pageName, [this] { PollDownload(); });
    else if (id == kInstallerTimer)
        RunGuarded(rules_.pageName, [this] { PollInstallers(); });
}

// Each task posts this as its last act: its result is an instant away.
void DownloadPageBase::OnStepDone(WPARAM serialOrPackage, LPARAM task) {
    if (task == kInstallerTask) {
        if (serialOrPackage < installs_.size() && installs_[serialOrPackage].task.valid())
            installs_[serialOrPackage].task.wait();
        PollInstallers();
        return;
    }
    if (serialOrPackage != stepSerial_ || !pendingDownload_.valid())
        return;  // a download the timer already collected
    pendingDownload_.wait();
    PollDownload();
}

// Posts the step-done message when the task's function returns, whichever way it does.
struct DownloadPageBase::PostWhenDone {
    HWND window;
    WPARAM serial;
    ~PostWhenDone() { PostMessageW(window, kStepDoneMessage, serial, 0); }
};

void DownloadPageBase::Advance() {
    while (next_ < plan_.size()) {
        const InstallStep& step = plan_[next_];
        // After a confirmed close nothing new starts, no download and no installer: the wizard is on its
        // way out.
        if (ConfigurationManager::GetInstance()->cancelRequested)
            return;
        if (step.kind == StepKind::Download) {
            if (!pendingDownload_.valid() && packages_[step.package])
                StartDownload(step);
            StartWaitedInstallersEarly();
            StartOfferInstallersWhenDue();
            return;  // the download's end moves on
        }
        EnterInstallPhase();
        if (!downloaded_[step.package].succeeded) {
            ++next_;  // its download failed and was reported
            continue;
        }
        Install& install = installs_[step.package];
        if (!install.started)
            StartInstaller(step);
        // The offers' installers are not waited for: every one whose file is in has started by now, and
        // their outcomes are still taken one by one in the plan's order.
        if (step.kind == StepKind::Start)
            StartOfferInstallersWhenDue();
        if (!IsReady(install.task))
            return;  // its end moves on
        CompleteInstaller(step, install.task.get());
    }
    // A task's late message or the timer comes here again once everything is taken: end only once.
    if (ended_)
        return;
    ended_ = true;
    if (installPhase_ && rules_.installsProduct && installationEnded_)
        installationEnded_();
    Finish();
}

std::wstring DownloadPageBase::PackageFolder(std::size_t package) const {
    const std::wstring& run = ConfigurationManager::GetInstance()->tempFolder;
    if (run.empty())
        return {};
    const std::wstring folder = run + L"\\" + std::to_wstring(package);
    return CreateAdminOnlyFolder(folder) ? folder : std::wstring();
}

void DownloadPageBase::StartDownload(const InstallStep& step) {
    auto engine = DownloadManager::GetInstance();
    HWND window = GetHwnd();
    const std::wstring folder =
        step.useTempFolder ? PackageFolder(step.package) : ConfigurationManager::GetInstance()->downloadFolder;
    const ExpectedPayload payload = payloads_[step.package];
    const WPARAM serial = ++stepSerial_;
    pendingDownload_ = std::async(std::launch::async, [engine, step, window, folder, payload, serial] {
        const PostWhenDone done{window, serial};
        Fetched fetched;
        if (folder.empty()) {
            fetched.pathOrError = L"no folder of its own for the package";
            return fetched;
        }
        const ULONGLONG started = GetTickCount64();
        const DownloadResult result = engine->DownloadFile(step.url, window, step.fileName, folder);
        const std::wstring took = std::to_wstring(GetTickCount64() - started) + L" ms";
        if (!result.first) {
            LogLine(L"download " + step.url + L": failed after " + took + L": " + result.second);
            fetched.pathOrError = result.second;
            return fetched;
        }
        // Checked before anything else touches the file, and held so that what was checked is what runs.
        fetched.held = std::make_shared<UniqueFile>();
        const std::wstring problem = VerifyDownloadedFile(engine->lastDownloadedPath, payload, *fetched.held);
        fetched.succeeded = problem.empty();
        fetched.pathOrError = problem.empty() ? engine->lastDownloadedPath : problem;
        // The fallback's success keeps the first transport's failure text.
        LogLine(L"download " + step.url + L": " + std::to_wstring(FileBytes(engine->lastDownloadedPath)) +
                L" bytes in " + took + L" over " +
                (result.second.empty() ? L"WinHTTP" : L"WinINet after " + result.second) + L", digest check: " +
                (!payload.Given() ? L"none given" : problem.empty() ? L"passed" : problem));
        return fetched;
    });
    SetTimer(GetHwnd(), kDownloadTimer, kPollMs, nullptr);
}

void DownloadPageBase::PollDownload() {
    if (!IsReady(pendingDownload_))
        return;
    KillTimer(GetHwnd(), kDownloadTimer);
    Fetched fetched = pendingDownload_.get();
    if (next_ >= plan_.size())
        return;
    const InstallStep& step = plan_[next_];
    if (fetched.succeeded) {
        // Under way at once, so that a zip is extracted while the next file downloads.
        for (const InstallStep& later : plan_)
            if (later.kind != StepKind::Download && later.package == step.package) {
                fetched.prepared = PrepareInstallerAsync(fetched.pathOrError);
                break;
            }
        downloaded_[step.package] = fetched;
    }
    Complete(step, fetched.succeeded, fetched.pathOrError);
    Advance();
}

void DownloadPageBase::StartWaitedInstallersEarly() {
    for (const InstallStep& step : plan_)
        if (step.kind == StepKind::InstallAndWait && downloaded_[step.package].succeeded &&
            !installs_[step.package].started)
            StartInstaller(step);
}

// The offers follow the product's installer, not the later downloads: each starts once its file is in
// and every installer waited for has ended (or never started, its download having failed).
void DownloadPageBase::StartOfferInstallersWhenDue() {
    for (const InstallStep& step : plan_) {
        if (step.kind != StepKind::InstallAndWait)
            continue;
        const Install& install = installs_[step.package];
        const bool settled = downloaded_[step.package].succeeded ? install.started && IsReady(install.task)
                                                                 : DownloadTaken(step.package);
        if (!settled)
            return;
    }
    for (const InstallStep& step : plan_)
        if (step.kind == StepKind::Start && downloaded_[step.package].succeeded && !installs_[step.package].started)
            StartInstaller(step);
}

// True once the package's download step is behind the plan's position: its outcome was taken.
bool DownloadPageBase::DownloadTaken(std::size_t package) const {
    for (std::size_t index = 0; index < next_ && index < plan_.size(); ++index)
        if (plan_[index].kind == StepKind::Download && plan_[index].package == package)
            return true;
    return false;
}

void DownloadPageBase::StartInstaller(const InstallStep& step) {
    Fetched& fetched = downloaded_[step.package];
    UniqueFile held = fetched.held ? std::move(*fetched.held) : UniqueFile();
    const bool wait = step.kind == StepKind::InstallAndWait;
    if (wait)
        NotifyInstallationStarted();
    HWND window = GetHwnd();
    const WPARAM package = step.package;
    Install& install = installs_[step.package];
    install.started = true;
    install.task = StartInstallerAsync(
        fetched.prepared.valid() ? fetched.prepared : PrepareInstallerAsync(fetched.pathOrError), step.arguments, wait,
        std::move(held), &ConfigurationManager::GetInstance()->cancelRequested,
        [window, package] { PostMessageW(window, kStepDoneMessage, package, kInstallerTask); });
    SetTimer(GetHwnd(), kInstallerTimer, kPollMs, nullptr);
}

void DownloadPageBase::PollInstallers() {
    bool running = false;
    for (const Install& install : installs_)
        running = running || (install.task.valid() && !IsReady(install.task));
    if (!running)
        KillTimer(GetHwnd(), kInstallerTimer);
    Advance();
}

void DownloadPageBase::CompleteInstaller(const InstallStep& step, const RunResult& result) {
    // An offer counts once its process started; the product once its installer succeeded, also when it
    // asks for a restart, which the finish page then mentions.
    const bool restart = step.kind == StepKind::InstallAndWait && result.started && InstalledButRestartNeeded(result.exitCode);
    if (restart)
        ConfigurationManager::GetInstance()->restartRequired = true;
    const bool succeeded =
        step.kind == StepKind::Start ? result.started : result.started && (result.exitCode == 0 || restart);
    Complete(step, succeeded, succeeded ? result.installer : result.text);
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
    if (step.recordsPath)
        ConfigurationManager::GetInstance()->downloadedFilePath = pathOrError;
    if (step.successCode != 0)
        package->ReportEvent(step.successCode);
}

// Once, when the product's installer starts or, failing that, when the downloads have ended.
void DownloadPageBase::NotifyInstallationStarted() {
    if (installationNotified_ || !rules_.installsProduct)
        return;
    installationNotified_ = true;
    if (installationStarted_)
        installationStarted_();
}

void DownloadPageBase::EnterInstallPhase() {
    if (installPhase_)
        return;
    installPhase_ = true;
    if (!rules_.installsProduct)
        return;
    NotifyInstallationStarted();
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
