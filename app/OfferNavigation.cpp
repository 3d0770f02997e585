#include "app/OfferNavigation.h"

#include <climits>

#include "backend/Package.h"

void RecordAnswer(OfferNavigation& state, OfferAnswer answer, const std::vector<std::shared_ptr<Package>>& offers) {
    if (answer == OfferAnswer::Accept)
        return;
    if (answer == OfferAnswer::SkipAll)
        state.skipAll = true;
    const auto at = static_cast<std::size_t>(state.offerIndex);
    if (state.offerIndex >= 0 && at < offers.size() && offers[at]->rules.partner.frequencyRules.saadFlag)
        state.stopAfterDecline = true;
}

std::size_t CountSkippedProductPages(const std::function<bool(std::size_t)>& isProductPage, std::size_t currentIndex,
                                     const std::vector<std::shared_ptr<Package>>& offers, OfferNavigation& state,
                                     bool offerDeclined, int maxOffers, int& extraOfferSlots,
                                     std::vector<SkippedOffer>& skipped) {
    std::size_t count = 0;
    for (;;) {
        if (!isProductPage(currentIndex + count + 1))
            return count;
        ++state.offerIndex;
        // A product page always has its offer; a list that disagrees skips nothing more.
        if (state.offerIndex < 0 || static_cast<std::size_t>(state.offerIndex) >= offers.size())
            return count;
        const std::shared_ptr<Package>& offer = offers[static_cast<std::size_t>(state.offerIndex)];
        auto& frequency = offer->rules.partner.frequencyRules;

        bool skippedAfterDecline = false;
        if (!state.skipAll && !state.offerLimitReached && !state.stopAfterDecline) {
            if (offerDeclined && frequency.extraSlotFlag) {
                skippedAfterDecline = true;
                frequency.maxShownWith = INT_MAX;
                --extraOfferSlots;
            }
            for (int i = 0; i < state.offerIndex; ++i) {
                if (state.offerIndex >= offers[static_cast<std::size_t>(i)]->rules.partner.frequencyRules.maxShownWith) {
                    state.offerLimitReached = true;
                    break;
                }
            }
            if (!state.offerLimitReached && !skippedAfterDecline)
                return count;
        }

        const char* reason = state.skipAll             ? "SAC"
                             : skippedAfterDecline     ? "SED"
                             : state.offerLimitReached ? "MOF"
                                                       : "DOD";
        skipped.push_back({offer, reason, state.offerIndex < maxOffers});
        ++count;
    }
}
