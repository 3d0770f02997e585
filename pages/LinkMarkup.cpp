#include "pages/LinkMarkup.h"

#include <cstdio>

namespace {

constexpr wchar_t kZeroWidthNonJoiner = L'\u200C';

bool IsControl(wchar_t c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::wstring EscapeLinkText(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        escaped += IsControl(c) ? L' ' : c;
        if (c == L'<')
            escaped += kZeroWidthNonJoiner;
    }
    return escaped;
}

std::wstring EscapeLinkAddress(const std::wstring& address) {
    std::wstring escaped;
    escaped.reserve(address.size());
    for (wchar_t c : address) {
        if (IsControl(c) || c == L'"' || c == L'\'' || c == L'<' || c == L'>') {
            wchar_t code[4];
            std::swprintf(code, 4, L"%%%02X", static_cast<unsigned>(c));
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::wstring FillLinkMarkup(const std::wstring& markup,
                            const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    std::wstring filled;
    size_t done = 0;
    for (;;) {
        // The placeholder that comes first from here on.
        size_t found = std::wstring::npos;
        const std::pair<std::wstring, std::wstring>* value = nullptr;
        for (const auto& candidate : values) {
            if (candidate.first.empty())
                continue;
            const size_t at = markup.find(candidate.first, done);
            if (at < found) {
                found = at;
                value = &candidate;
            }
        }
        if (!value)
            break;
        filled.append(markup, done, found - done);
        filled += value->second;
        done = found + value->first.size();
    }
    filled.append(markup, done, std::wstring::npos);
    return filled;
}
