#include "eligibility/NumberConversions.h"

#include <cerrno>
#include <cwchar>
#include <stdexcept>

namespace {

template <typename T, typename Convert>
T Convert10(const std::wstring& text, Convert convert, const char* invalid, const char* outOfRange) {
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    int& error = errno;
    const int saved = error;
    error = 0;
    const T value = convert(begin, &end);
    const int result = error;
    error = saved;
    if (end == begin)
        throw std::invalid_argument(invalid);
    if (result == ERANGE)
        throw std::out_of_range(outOfRange);
    return value;
}

}  // namespace

unsigned long StringToULong(const std::wstring& text) {
    return Convert10<unsigned long>(
        text, [](const wchar_t* s, wchar_t** end) { return std::wcstoul(s, end, 10); }, "invalid stoul argument",
        "stoul argument out of range");
}

unsigned long long StringToULongLong(const std::wstring& text) {
    return Convert10<unsigned long long>(
        text, [](const wchar_t* s, wchar_t** end) { return std::wcstoull(s, end, 10); }, "invalid stoull argument",
        "stoull argument out of range");
}

float StringToFloat(const std::wstring& text) {
    return Convert10<float>(
        text, [](const wchar_t* s, wchar_t** end) { return std::wcstof(s, end); }, "invalid stof argument",
        "stof argument out of range");
}
