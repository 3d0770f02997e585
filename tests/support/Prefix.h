// What the tests know of the Wine prefix they run in, from outside the code under test.
#pragma once
#include <cstdlib>
#include <string>

namespace testing_support {

// A fresh prefix reports Windows 7 SP1.
constexpr char kPrefixWindowsVersion[] = "6.1.7601";
constexpr char kPrefixWindowsMajorMinor[] = "6.1";

// Whether the 32-bit program runs under WOW64 here: ctest says so per prefix (FENNIX_EXPECT_WOW64).
inline bool PrefixIsWow64() {
    const char* expected = std::getenv("FENNIX_EXPECT_WOW64");
    return expected && std::string(expected) == "1";
}

}  // namespace testing_support
