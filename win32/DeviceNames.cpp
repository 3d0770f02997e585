#include "win32/DeviceNames.h"

#include <cwctype>

bool IsDeviceName(const std::wstring& name) {
    // Windows reads only the part before the first dot, without its trailing blanks.
    std::wstring base = name.substr(0, name.find(L'.'));
    base.erase(base.find_last_not_of(L' ') + 1);
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (base == device)
            return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}
