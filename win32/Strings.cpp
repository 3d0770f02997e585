#include "win32/Strings.h"

#include <cmath>
#include <vector>

#include "win32/Narrow.h"

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(codePage, 0, text.data(), CheckedNarrow<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), CheckedNarrow<int>(text.size()), result.data(), length);
    return result;
}

std::string FromWide(UINT codePage, const std::wstring& text) {
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(codePage, 0, text.data(), CheckedNarrow<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), CheckedNarrow<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }
std::wstring AnsiToWide(const std::string& text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(const std::wstring& text) { return FromWide(CP_ACP, text); }

bool EncodeBase62(const std::string& bytes, std::string& text) {
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    text.clear();
    // The conversion takes time quadratic in the length: a hostile id must not hold the worker for hours.
    if (bytes.size() > kMaxBase62Bytes)
        return false;
    size_t start = bytes.find_first_not_of('\0');
    if (start == std::string::npos)
        return true;
    size_t count = bytes.size() - start;
    // Digits needed for `count` bytes: count * log(256) / log(62), rounded up.
    size_t size = static_cast<size_t>(std::ceil(static_cast<double>(count) * std::log(256.0) / std::log(62.0)));
    std::vector<unsigned char> digits(size, 0);
    size_t length = 0;
    for (size_t i = start; i < bytes.size(); ++i) {
        unsigned carry = static_cast<unsigned char>(bytes[i]);
        size_t used = 0;
        for (auto it = digits.rbegin(); (carry != 0 || used < length) && it != digits.rend(); ++it, ++used) {
            carry += 256u * *it;
            *it = static_cast<unsigned char>(carry % 62);
            carry /= 62;
        }
        if (carry != 0)
            return false;  // "Non-zero carry": the buffer estimate was too small
        length = used;
    }
    size_t first = size - length;
    while (first < size && digits[first] == 0)
        ++first;
    for (size_t i = first; i < size; ++i)
        text += kAlphabet[digits[i]];
    return true;
}
