// The event reports as the test backend logged them, decoded from their signed request bodies.
#pragma once
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace testing_support {

struct Event {
    std::string who;     // "product" ("10" = 1), else the offer id ("5")
    std::string code;    // "6"
    std::string reason;  // "13"
    nlohmann::json data;
    nlohmann::json request;
};

// The reports among the logged requests, in the order they arrived.
std::vector<Event> Events(const std::vector<nlohmann::json>& requests);

// (who, code) of every report, sorted: each package reports on a thread of its own, so the order
// between packages is not given.
using Reports = std::vector<std::pair<std::string, std::string>>;
Reports Summary(const std::vector<Event>& events);
// The same with the reason.
using ReasonedReports = std::vector<std::tuple<std::string, std::string, std::string>>;
ReasonedReports SummaryWithReasons(const std::vector<Event>& events);

// What the design does order, within each package: 1 first, then 2, 3, 4 or -1, and 5 last. One line per
// report out of that order; empty when all are in it.
std::string PackageOrderProblems(const std::vector<Event>& events);

// The complete lines of a log that another process may be writing: a last line without its end is
// still being written and does not count yet. Empty lines are left out.
std::vector<std::wstring> CompleteLines(const std::wstring& text);

}  // namespace testing_support
