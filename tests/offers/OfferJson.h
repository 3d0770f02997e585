// Offer objects as the backend sends them, for the offer tests.
#pragma once
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "backend/Package.h"

namespace offers_test {

// A minimal offer that passes every rule on a test prefix, each in a vertical of its own; `ps` members
// are added or replaced.
inline nlohmann::json Offer(const std::string& id, const nlohmann::json& ps = nlohmann::json::object()) {
    static int vertical = 100;
    nlohmann::json offer = {
        {"ad", {{"o", id}, {"f", "flow-" + id}}},
        {"ps",
         {{"i", id + ".png"},
          {"dn", "Offer " + id},
          {"u", "installers/" + id + ".exe"},
          {"cp", "https://localhost/privacy/" + id},
          {"ctu", "https://localhost/terms/" + id},
          {"v", ++vertical}}},
    };
    for (const auto& member : ps.items())
        offer["ps"][member.key()] = member.value();
    return offer;
}

// A partner offer with frequency rules ("cfs": "mo", "saad", "sied").
inline nlohmann::json PartnerOffer(const std::string& id, const nlohmann::json& cfs) {
    return Offer(id, {{"pn", true}, {"cfs", cfs}});
}

inline std::shared_ptr<Package> MakeOffer(const nlohmann::json& offer, int index) {
    return std::make_shared<Package>(EventContext{}, offer, false, std::string(), index);
}

}  // namespace offers_test
