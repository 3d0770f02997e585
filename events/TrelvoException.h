// The system's own exception: thrown by the configuration request and the JSON POST transport.
#pragma once
#include <stdexcept>
#include <string>

class TrelvoException : public std::runtime_error {
public:
    explicit TrelvoException(const std::string& message) : std::runtime_error(message) {}
};
