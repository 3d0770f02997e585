// What both download pages share: the download queue worked off one file at a time on a task, the
// install queue, the progress bar, the events and the end of the page. The families fill in where
// files go, what happens to the product and which texts an error shows.
#pragma once
#include <windows.h>

#include <deque>
#include <future>
#include <memory>
#include <string>
#include <utility>

#include "app/IPage.h"
#include "app/StaticFromImage.h"
#include "install/DownloadManager.h"
#include "install/InstallerRunner.h"

class Package;

// True when the location is used as it stands; otherwise the image base URL goes in front of it.
bool IsAbsoluteUrl(const std::wstring& location);
// The address to download an offer's installer (or the ISV product) from.
std::wstring ResolveDownloadUrl(const std::wstring& location, const std::wstring& baseUrl);

class DownloadPageBase : public IPage {
public:
    static constexpr UINT_PTR kDownloadTimer = 0x1000;
    static constexpr UINT_PTR kProductInstallerTimer = 0x1002;
    static constexpr UINT kPollMs = 100;

    ~DownloadPageBase() override;

    // Queues the product, then every accepted offer, and starts the first download.
    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { buttonCallback = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { errorCallback = std::move(callback); }

protected:
    struct DownloadTarget {
        std::wstring url;
        std::wstring fileName;  // "" takes the name from the URL
        bool useTempFolder = true;
    };

    DownloadPageBase(std::shared_ptr<LanguageManager> languageManager, UINT templateId);

    BOOL OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;

    // Family differences.
    virtual const wchar_t* Name() const = 0;
    virtual void ShowImage(CStaticFromImage& image) = 0;
    virtual DownloadTarget TargetFor(const Package& package) const = 0;
    virtual void OnDownloaded(const std::shared_ptr<Package>& package, const std::wstring& path) = 0;
    virtual void OnDownloadsDone() = 0;
    // The install queue turned out empty when RunNextInstaller was asked to start one.
    virtual void OnNothingToInstall() = 0;
    virtual void OnOffersStarted() { Finish(); }
    virtual void OnProductInstallerStarted(const std::wstring& path) = 0;
    virtual const std::wstring& ExtractionBaseFolder() const = 0;
    virtual const char* ErrorTitleKey() const = 0;
    virtual const char* ErrorTextKey() const = 0;

    void StartNextDownload();
    void RunNextInstaller();
    void Finish();
    // Progress bar to marquee; `remember` marks it as a marquee that the next percentage ends.
    void StartMarquee(bool remember);
    void ShowPercent(unsigned percent);

    // The failure event: 3 for the product when the build says so, -1 otherwise.
    static int FailureCode(const Package& package);
    // A failure text for an event's data.
    static std::string EventText(const std::wstring& text);

    HWND progressBar = nullptr;
    bool marquee = false;
    std::future<DownloadResult> pendingDownload;
    std::future<RunResult> pendingInstaller;
    bool productFailed = false;
    std::deque<std::shared_ptr<Package>> downloadQueue;
    std::deque<std::pair<std::shared_ptr<Package>, std::wstring>> installQueue;
    CStaticFromImage image;

private:
    void PollDownload();
};
