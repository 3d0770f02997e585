// One offer from the configuration response, or the product itself: texts, parameters, rules, image, events.
#pragma once
#include <windows.h>
// The event-log API's macro would rename Package::ReportEvent in some translation units only.
#ifdef ReportEvent
#undef ReportEvent
#endif

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "backend/PackageParameters.h"
#include "config/ExpectedPayload.h"
#include "eligibility/EligibilityChecker.h"
#include "events/EventContext.h"

namespace Gdiplus {
class Bitmap;
}

// Made with std::make_shared and never copied: reports and image downloads keep it alive by shared pointer.
class Package : public CheckedOffer, public std::enable_shared_from_this<Package> {
public:
    // An offer; throws the JSON library's or the conversion's error when the offer is malformed.
    Package(EventContext context, const nlohmann::json& offer, bool isProduct, const std::string& initialChannel,
            int index);
    // The product; texts are converted with the ANSI code page.
    Package(EventContext context, bool isProduct, int productOrdinal, const std::wstring& productId,
            const std::wstring& flow, const std::wstring& title, const std::wstring& channel, int index = 0);
    ~Package();  // waits for running reports
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Once the backend has named the product: new context and texts, event data rebuilt.
    void ResetAsProduct(EventContext context, const std::wstring& title, const std::wstring& flow,
                        const std::wstring& channel, const std::wstring& productId);

    std::string ExpandParameters(const std::string& text) const;

    // Product: calls back at once. Offer: downloads the image on another thread and calls back there.
    void DownloadImage(std::function<void()> callback);
    // Writes the partner no-show date (180 days ahead) under `noShowKey`; false when nothing was written.
    bool RecordShownDate();

    // Queues one event behind every earlier report of the process; nothing once a terminal event has
    // been accepted.
    void ReportEvent(int code, const nlohmann::json& data = nullptr);
    void WaitForReports();

    std::mutex packageMutex;  // guards pendingReports, and eventData/eventContext against ResetAsProduct
    std::condition_variable reportsFinished;
    int pendingReports = 0;
    EventContext eventContext;
    bool isProduct = false;
    int productOrdinal = 0;
    std::string displayName;
    std::string offerFlow;
    std::string channel;
    std::string imageName;
    std::string installerUrl;
    std::string installerParams;
    ExpectedPayload payload;  // the installer's digest and size, when the backend gave them
    std::string packagePrivacyUrl;
    std::string packageEulaUrl;
    std::atomic<bool> reportingClosed{false};
    nlohmann::json eventData;
    std::shared_ptr<Gdiplus::Bitmap> image;
    PackageParameters parameters;

private:
    struct EventState;
    static void SendReport(const EventState& state, const std::atomic<bool>& stopped);
    void FinishReport();
    void BuildEventData();
    void ReadPartner(const nlohmann::json& ps);
    void ReadRules(const nlohmann::json& ps);
};

// Codes after whose acceptance a package reports nothing more.
bool IsTerminalEventCode(int code);
