// Show-order and frequency rules of partner offers, as a decision over plain data.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "eligibility/RuleResult.h"

// What the frequency rules need from an offer admitted earlier in the same response.
struct AdmittedOfferRules {
    std::string offerId;
    int admissionIndex = 0;
    int32_t maxAfter = 2147483647;
    const std::vector<std::string>* allowedAfter = nullptr;  // base-62 identifiers; null or empty: any
};

// What the frequency rules need from the offer being checked.
struct CandidateOfferRules {
    std::string offerId;
    int32_t maxBefore = 2147483647;
    const std::vector<std::string>* allowedBefore = nullptr;  // base-62 identifiers; null or empty: any
};

// The base-62 form of an identifier's bytes.
using Base62Encoder = std::function<std::string(const std::string&)>;

// admittedCount and admittedOfferIds are the checker's own record; `admitted` is the caller's list.
RuleResult CheckFrequency(const CandidateOfferRules& offer, int32_t admittedCount,
                          const std::vector<std::string>& admittedOfferIds, int extraOfferSlots,
                          const std::vector<AdmittedOfferRules>& admitted, const Base62Encoder& encode);
