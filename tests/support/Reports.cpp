#include "tests/support/Reports.h"

#include <algorithm>
#include <map>

namespace testing_support {

namespace {

int Phase(const std::string& code) {
    if (code == "1")
        return 0;
    if (code == "5")
        return 2;
    return 1;
}

}  // namespace

std::vector<Event> Events(const std::vector<nlohmann::json>& requests) {
    std::vector<Event> events;
    for (const auto& request : requests) {
        if (request.value("path", "") != "/qdd" || !request.value("body_text", nlohmann::json()).is_string())
            continue;
        const auto body = nlohmann::json::parse(request["body_text"].get<std::string>());
        const auto data = nlohmann::json::parse(body.at("data").get<std::string>());
        const std::string who = data.value("10", 0) == 1 ? "product" : data.value("5", "");
        events.push_back({who, data.value("6", ""), data.value("13", ""), data, request});
    }
    return events;
}

Reports Summary(const std::vector<Event>& events) {
    Reports summary;
    for (const auto& e : events)
        summary.emplace_back(e.who, e.code);
    std::sort(summary.begin(), summary.end());
    return summary;
}

ReasonedReports SummaryWithReasons(const std::vector<Event>& events) {
    ReasonedReports summary;
    for (const auto& e : events)
        summary.emplace_back(e.who, e.code, e.reason);
    std::sort(summary.begin(), summary.end());
    return summary;
}

std::string PackageOrderProblems(const std::vector<Event>& events) {
    std::map<std::string, std::pair<int, std::string>> last;  // who -> (phase, code) of its latest report
    std::string problems;
    for (const auto& e : events) {
        const int phase = Phase(e.code);
        auto found = last.find(e.who);
        if (found != last.end() && (phase < found->second.first || (phase != 1 && phase == found->second.first)))
            problems += e.who + ": " + e.code + " after " + found->second.second + "\n";
        last[e.who] = {phase, e.code};
    }
    return problems;
}

std::vector<std::wstring> CompleteLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        if (end > start)
            lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace testing_support
