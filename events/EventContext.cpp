#include "events/EventContext.h"

#include <windows.h>

#include "config/ConfigurationManager.h"
#include "win32/CryptoHash.h"
#include "win32/ProgramView.h"
#include "win32/Strings.h"
#include "win32/WindowsVersion.h"

std::string EventSignature(const std::string& machineId, const std::string& sessionId) {
    return Sha256Hex(machineId + sessionId);
}

EventContext MakeEventContext() {
    EventContext context;
    for (int i = 0; i <= 22; ++i)
        context.commonData[std::to_string(i)] = "";

    auto config = ConfigurationManager::GetInstance();
    std::string machineId = config->GetMachineId();
    std::string sessionId = config->GetSessionId();
    context.headers.emplace_back(L"Authorization",
                                 L"Signature=" + Utf8ToWide(EventSignature(machineId, sessionId)));

    auto& data = context.commonData;
    data["1"] = machineId;
    data["2"] = sessionId;
    data["3"] = WideToUtf8(config->brandName);
    data["4"] = WideToUtf8(config->productId);
    data["7"] = config->setupVersion;
    data["15"] = 0;
    data["19"] = WideToUtf8(config->flow);
    data["21"] = WideToUtf8(config->channel);
    data["22"] = WideToUtf8(config->productTitle);
    data["31"] = GetOsVersionString();
    data["38"] = Is64BitWindows() ? "1" : "0";
    return context;
}
