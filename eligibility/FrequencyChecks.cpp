#include "eligibility/FrequencyChecks.h"

#include <algorithm>

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? "," : "") + items[i];
    return text;
}

}  // namespace

RuleResult CheckFrequency(const CandidateOfferRules& offer, int32_t admittedCount,
                          const std::vector<std::string>& admittedOfferIds, int extraOfferSlots,
                          const std::vector<AdmittedOfferRules>& admitted, const Base62Encoder& encode) {
    if (admittedCount > offer.maxBefore)
        return "SHOWED " + std::to_string(admittedCount) + " PRODUCTS BUT ONLY " + std::to_string(offer.maxBefore) +
               " ALLOWED BEFORE";

    if (offer.allowedBefore && !offer.allowedBefore->empty()) {
        std::vector<std::string> notAllowed;
        for (const auto& id : admittedOfferIds)
            if (!Contains(*offer.allowedBefore, encode(id)))
                notAllowed.push_back(id);
        if (!notAllowed.empty())
            return "NOT ALLOWED AFTER " + Join(notAllowed);
    }

    // While extra slots exist, earlier offers' limits on what follows them do not apply.
    if (extraOfferSlots != 0)
        return std::nullopt;

    const int count = static_cast<int>(admitted.size());
    for (const auto& earlier : admitted) {
        const int after = count - earlier.admissionIndex - 1;
        if (static_cast<uint32_t>(after) >= static_cast<uint32_t>(earlier.maxAfter))
            return "ONLY " + std::to_string(earlier.maxAfter) + " PRODUCTS ALLOWED TO BE SHOWN AFTER " +
                   earlier.offerId;
    }

    const std::string ownForm = encode(offer.offerId);
    std::vector<std::string> refusing;
    for (const auto& earlier : admitted)
        if (earlier.allowedAfter && !earlier.allowedAfter->empty() && !Contains(*earlier.allowedAfter, ownForm))
            refusing.push_back(earlier.offerId);
    if (!refusing.empty())
        return "NOT ALLOWED AFTER " + Join(refusing);
    return std::nullopt;
}
