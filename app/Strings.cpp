#include "app/Strings.h"

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::string FromWide(UINT codePage, const std::wstring& text) {
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }
std::wstring AnsiToWide(const std::string& text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(const std::wstring& text) { return FromWide(CP_ACP, text); }
