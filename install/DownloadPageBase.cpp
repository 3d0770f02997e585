#include "install/DownloadPageBase.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <regex>

#include "app/Strings.h"
#include "app/WizardMessages.h"
#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "pages/PageSupport.h"
#include "resources/resource.h"

namespace {

// Longer locations are not matched: the library's matcher recurses once per character and would run
// out of stack on a hostile address. No real host name comes near this.
constexpr size_t kLongestMatchedHost = 1024;

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool IsAbsoluteUrl(const std::wstring& location) {
    static const std::regex pattern(R"(^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$)");
    std::string text = WideToAnsi(location);
    // The tail after the host is ".*": only its line breaks matter, so the matcher sees the scheme, the
    // host and the tail's first character only.
    size_t hostStart = 0;
    if (text.compare(0, 7, "http://") == 0)
        hostStart = 7;
    else if (text.compare(0, 8, "https://") == 0)
        hostStart = 8;
    const size_t tailStart = text.find_first_of("/?#", hostStart);
    if (tailStart != std::string::npos) {
        if (text.find_first_of("\r\n", tailStart) != std::string::npos)
            return false;
        text.resize(tailStart + 1);
    }
    // A location that names its scheme is a URL even when its host has no dot (localhost, an intranet
    // name) or carries a port, neither of which the pattern allows.
    if (hostStart > 0)
        return true;
    if (text.size() > kLongestMatchedHost + 1)
        return false;
    return std::regex_match(text, pattern);
}

std::wstring ResolveDownloadUrl(const std::wstring& location, const std::wstring& baseUrl) {
    return IsAbsoluteUrl(location) ? location : baseUrl + location;
}

DownloadPageBase::DownloadPageBase(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : IPage(std::move(languageManager), templateId) {}

// The futures wait for their tasks when they go; the timers must not fire into a half-destroyed page.
DownloadPageBase::~DownloadPageBase() {
    if (GetHwnd()) {
        KillTimer(GetHwnd(), kDownloadTimer);
        KillTimer(GetHwnd(), kProductInstallerTimer);
    }
}

BOOL DownloadPageBase::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(Name(), [this] {
        progressBar = GetItem(IDC_PROGRESS_BAR);
        image.Attach(GetItem(IDC_PAGE_IMAGE));
        RegisterText(IDC_PROGRESS_TITLE, "PROGRESS_TITLE");
        RegisterText(IDC_PROGRESS_DESC, "PROGRESS_DESC");
        UpdateTexts();
        ShowImage(image);
    });
    return TRUE;
}

void DownloadPageBase::OnNavigateToPage() {
    RunGuarded(Name(), [this] {
        auto config = ConfigurationManager::GetInstance();
        downloadQueue.push_back(config->productPackage);
        for (const auto& offer : config->acceptedPackages)
            downloadQueue.push_back(offer);
        StartNextDownload();
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
        RunGuarded(Name(), [this] { PollDownload(); });
}

void DownloadPageBase::StartNextDownload() {
    // After a confirmed close nothing new starts; the wizard is on its way out.
    if (ConfigurationManager::GetInstance()->cancelRequested || downloadQueue.empty())
        return;
    const auto& package = downloadQueue.front();
    if (!package)
        return;
    DownloadTarget target = TargetFor(*package);
    auto engine = DownloadManager::GetInstance();
    HWND window = GetHwnd();
    pendingDownload = std::async(std::launch::async, [engine, target, window] {
        return engine->DownloadFile(target.url, window, target.fileName, target.useTempFolder);
    });
    SetTimer(GetHwnd(), kDownloadTimer, kPollMs, nullptr);
}

void DownloadPageBase::PollDownload() {
    if (!pendingDownload.valid() ||
        pendingDownload.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    KillTimer(GetHwnd(), kDownloadTimer);
    DownloadResult result = pendingDownload.get();
    if (downloadQueue.empty())
        return;
    std::shared_ptr<Package> package = downloadQueue.front();
    downloadQueue.pop_front();

    if (!result.first) {
        package->ReportEvent(FailureCode(*package), {{"12", "DOWNLOAD FAILED: " + EventText(result.second)}});
        if (package->isProduct)
            productFailed = true;
    } else {
        OnDownloaded(package, DownloadManager::GetInstance()->lastDownloadedPath);
    }

    if (!downloadQueue.empty())
        StartNextDownload();
    else
        OnDownloadsDone();
}

void DownloadPageBase::RunNextInstaller() {
    if (installQueue.empty()) {
        OnNothingToInstall();
        return;
    }
    auto config = ConfigurationManager::GetInstance();
    const auto& [package, downloadedPath] = installQueue.front();
    std::wstring path = downloadedPath;
    const ArchiveKind kind = DetectArchiveType(path);
    if (kind != ArchiveKind::Ordinary)
        path = PrepareInstaller(path, kind, ExtractionBaseFolder());

    std::wstring arguments;
    if (!package->isProduct)
        arguments = AnsiToWide(package->installerParams);
    else if (config->classicPages)
        arguments = BuildProductArguments(config->options, config->configurations);
    else
        arguments = config->productInstallArgs;

    const bool isProduct = package->isProduct;
    pendingInstaller = RunProcessAsync(path, arguments, isProduct);
    if (isProduct) {
        OnProductInstallerStarted(path);
        return;
    }

    // An offer counts as installed once its installer has been started; its outcome is not examined.
    std::shared_ptr<Package> offer = package;
    installQueue.pop_front();
    offer->ReportEvent(3);
    if (!installQueue.empty())
        RunNextInstaller();
    else
        OnOffersStarted();
}

void DownloadPageBase::Finish() {
    if (productFailed && errorCallback) {
        errorCallback(languageManager->GetString(ErrorTitleKey()), languageManager->GetString(ErrorTextKey()));
        return;
    }
    if (buttonCallback)
        buttonCallback(ButtonType::Next);
}

void DownloadPageBase::StartMarquee(bool remember) {
    SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progressBar, PBM_SETPOS, 0, 0);
    SendMessageW(progressBar, PBM_SETMARQUEE, TRUE, 30);
    SetWindowLongW(progressBar, GWL_STYLE, GetWindowLongW(progressBar, GWL_STYLE) | PBS_MARQUEE);
    if (remember)
        marquee = true;
}

void DownloadPageBase::ShowPercent(unsigned percent) {
    const double fraction = percent / 100.0;
    if (fraction > 1.0) {
        StartMarquee(false);
        return;
    }
    if (marquee) {
        SendMessageW(progressBar, PBM_SETMARQUEE, FALSE, 0);
        SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageW(progressBar, PBM_SETPOS, 0, 0);
        SendMessageW(progressBar, PBM_SETSTEP, 1, 0);
        SetWindowLongW(progressBar, GWL_STYLE, GetWindowLongW(progressBar, GWL_STYLE) & ~PBS_MARQUEE);
        marquee = false;
    }
    SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(fraction * 100), 0);
}

// Event texts go out in the ANSI code page; one that is not plain ASCII would not be valid JSON text
// and the whole report would be dropped, so such a text is sent as UTF-8 instead.
std::string DownloadPageBase::EventText(const std::wstring& text) {
    std::string ansi = WideToAnsi(text);
    return IsAscii(ansi) ? ansi : WideToUtf8(text);
}

int DownloadPageBase::FailureCode(const Package& package) {
    return package.isProduct && ConfigurationManager::GetInstance()->failureEventCode ? 3 : -1;
}
