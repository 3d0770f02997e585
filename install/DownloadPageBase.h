// What both download pages share: they build the run's install plan from the configuration and carry
// it out on tasks polled by timers, with the progress bar and the events. The families differ only in
// their rules (install/InstallPlan.h) and their image.
//
// Downloads run one at a time in the plan's order. Work runs ahead of the plan where the backend cannot
// tell: a downloaded package is prepared (a zip extracted) while the next file downloads, the
// product's installer starts as soon as its file is in, and an offer's as soon as its file is in and
// the product's installer has ended. Outcomes are still taken in the plan's order, so the events come
// exactly as the plan lists them, and the offers start in its order. A confirmed close stops what has
// not started yet; an installer already running goes on, as it would at the end.
#pragma once
#include <windows.h>

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/ExpectedPayload.h"
#include "install/InstallPlan.h"
#include "install/InstallerRunner.h"
#include "net/DownloadManager.h"
#include "pagebase/IPage.h"
#include "pagebase/StaticFromImage.h"

class Package;

using InstallationCallback = std::function<void()>;

class DownloadPageBase : public IPage {
public:
    static constexpr UINT_PTR kDownloadTimer = 0x1000;
    static constexpr UINT_PTR kInstallerTimer = 0x1002;
    static constexpr UINT kPollMs = 100;
    // Posted by a task as it ends, so the page moves on at once; the timers stay as the net for a
    // message that never comes. A download posts its serial with lParam 0, an installer its package's
    // index with kInstallerTask.
    static constexpr UINT kStepDoneMessage = WM_APP + 0x40;
    static constexpr LPARAM kInstallerTask = 1;

    ~DownloadPageBase() override;

    std::wstring GetPageName() const override { return rules_.pageName; }
    // Plans the product, then every accepted offer, and starts the first download.
    void OnNavigateToPage() override;
    // The wizard learns through these that installers are running (its closing question changes);
    // only a family that installs its product calls them.
    void SetInstallationStartedCallback(InstallationCallback callback) { installationStarted_ = std::move(callback); }
    void SetInstallationEndedCallback(InstallationCallback callback) { installationEnded_ = std::move(callback); }

protected:
    DownloadPageBase(std::shared_ptr<LanguageManager> languageManager, UINT templateId, WizardType family);

    virtual void ShowImage(CStaticFromImage& image) = 0;

    BOOL OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;

private:
    // Starts what can run and takes the outcomes that are due in the plan's order; ends the page when no
    // step is left.
    void Advance();
    void StartDownload(const InstallStep& step);
    // Installers waited for (the product's) whose file is in, while later downloads still run.
    void StartWaitedInstallersEarly();
    // Offers' installers whose file is in, once the installers waited for have ended.
    void StartOfferInstallersWhenDue();
    bool DownloadTaken(std::size_t package) const;
    void StartInstaller(const InstallStep& step);
    void PollDownload();
    void PollInstallers();
    void CompleteInstaller(const InstallStep& step, const RunResult& result);
    // Reports the step's outcome, remembers what it produced and moves past it.
    void Complete(const InstallStep& step, bool succeeded, const std::wstring& pathOrError);
    void NotifyInstallationStarted();
    void EnterInstallPhase();
    void Finish();
    // Progress bar to marquee; `remember` marks it as a marquee that the next percentage ends.
    void StartMarquee(bool remember);
    void ShowPercent(unsigned percent);

    // Waits out the last instant of the task that posted, then collects what is due.
    void OnStepDone(WPARAM serialOrPackage, LPARAM task);
    struct PostWhenDone;

    const FamilyRules& rules_;
    WPARAM stepSerial_ = 0;  // of the download that runs now
    CStaticFromImage image_;
    HWND progressBar_ = nullptr;
    bool marquee_ = false;
    // A finished download: the verified file, held open without write sharing until its installer
    // started, or why there is none.
    struct Fetched {
        bool succeeded = false;
        std::wstring pathOrError;
        std::shared_ptr<UniqueFile> held;
        std::shared_future<Preparation> prepared;  // of a package that has an installer
    };
    struct Install {
        bool started = false;
        std::future<RunResult> task;  // collected once its step is due
    };

    // The package's own folder in the run's folder, made new for this run; "" when it cannot be.
    std::wstring PackageFolder(std::size_t package) const;

    std::vector<std::shared_ptr<Package>> packages_;  // the product, then the accepted offers
    std::vector<ExpectedPayload> payloads_;           // per package
    std::vector<InstallStep> plan_;
    std::size_t next_ = 0;
    std::vector<Fetched> downloaded_;  // per package; failed while not (or not successfully) downloaded
    std::vector<Install> installs_;    // per package
    bool installPhase_ = false;
    bool installationNotified_ = false;
    bool ended_ = false;
    bool productFailed_ = false;
    std::future<Fetched> pendingDownload_;
    InstallationCallback installationStarted_;
    InstallationCallback installationEnded_;
};
