// What the tests know of the Wine prefix they run in, from outside the code under test.
#pragma once
#include <cstdlib>
#include <string>

namespace testing_support {

// A fresh prefix reports Windows 7 SP1.
constexpr char kPrefixWindowsVersion[] = "6.1.7601";
constexpr char kPrefixWindowsMajorMinor[] = "6.1";

// What ctest says of the prefix and build: 64-bit Windows (what both builds must see in the 64-bit
// prefix) and WOW64 (only the i686 build there).
inline bool PrefixIs64BitWindows() {
    const char* expected = std::getenv("FENNIX_EXPECT_WINDOWS64");
    return expected && std::string(expected) == "1";
}
inline bool PrefixIsWow64() {
    const char* expected = std::getenv("FENNIX_EXPECT_WOW64");
    return expected && std::string(expected) == "1";
}

}  // namespace testing_support
