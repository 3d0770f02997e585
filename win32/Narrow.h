// A size into the narrower integer that a Windows call takes: a value that does not fit is an error,
// never a silent wrap, in either build.
#pragma once
#include <cstddef>
#include <limits>
#include <stdexcept>

template <typename To>
To CheckedNarrow(size_t value) {
    if (value > static_cast<size_t>(std::numeric_limits<To>::max()))
        throw std::length_error("size too large for a Windows call");
    return static_cast<To>(value);
}
