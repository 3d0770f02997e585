// What a single eligibility rule decides: nothing when the offer passes, the result text when it blocks.
#pragma once
#include <optional>
#include <string>

using RuleResult = std::optional<std::string>;
