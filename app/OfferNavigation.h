// Which product pages the wizard skips after an answer, and why: a decision over plain data so that
// it can be checked without windows.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Package;

struct OfferNavigation {
    int offerIndex = 0;  // offer of the product page most recently reached
    bool skipAll = false;
    bool stopAfterDecline = false;
    bool offerLimitReached = false;
};

enum class OfferAnswer { Accept, Decline, SkipAll };

// Records the answer on the product page of `state.offerIndex`: Skip All skips every later offer, and so
// does declining (or skipping) an offer whose rules say "saad".
void RecordAnswer(OfferNavigation& state, OfferAnswer answer, const std::vector<std::shared_ptr<Package>>& offers);

struct SkippedOffer {
    std::shared_ptr<Package> offer;
    std::string reason;  // "SAC", "SED", "MOF" or "DOD"
    bool reported;       // only skips within the offer limit reach the backend
};

// Counts the product pages that follow page `currentIndex` and are skipped, advancing `state.offerIndex`
// over them and over the page that is shown. `isProductPage` tells for a page index whether it is a
// product page; `offers` are in page order. An offer skipped after a decline stops limiting later
// offers and takes one of the `extraOfferSlots`.
std::size_t CountSkippedProductPages(const std::function<bool(std::size_t)>& isProductPage, std::size_t currentIndex,
                                     const std::vector<std::shared_ptr<Package>>& offers, OfferNavigation& state,
                                     bool offerDeclined, int maxOffers, int& extraOfferSlots,
                                     std::vector<SkippedOffer>& skipped);
