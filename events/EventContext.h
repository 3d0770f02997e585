// What every event report of a package carries: the common event fields and the signature header.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

using HttpHeaders = std::vector<std::pair<std::wstring, std::wstring>>;

struct EventContext {
    nlohmann::json commonData = nlohmann::json::object();
    HttpHeaders headers;  // ("Authorization", "Signature=…")
};

// Reads the run's configuration; never fails (missing values are empty strings).
EventContext MakeEventContext();

// SHA-256 of machine id and session id, as 64 lower-case hexadecimal digits.
std::string EventSignature(const std::string& machineId, const std::string& sessionId);
