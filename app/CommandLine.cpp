#include "app/CommandLine.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "win32/Handle.h"

std::wstring LogPathArgument(const wchar_t* commandLine) {
    if (!commandLine || !StrStrIW(commandLine, L"/log="))
        return {};  // the shell's splitter only when needed: it would load shell32 at every start
    int count = 0;
    UniqueLocal arguments(CommandLineToArgvW(commandLine, &count));
    if (!arguments)
        return {};
    auto* argv = static_cast<wchar_t**>(arguments.get());
    std::wstring path;
    constexpr wchar_t kSwitch[] = L"/log=";
    constexpr int kSwitchLength = static_cast<int>(sizeof kSwitch / sizeof kSwitch[0]) - 1;
    for (int i = 1; i < count; ++i)
        if (wcslen(argv[i]) >= static_cast<size_t>(kSwitchLength) &&
            CompareStringOrdinal(argv[i], kSwitchLength, kSwitch, kSwitchLength, TRUE) == CSTR_EQUAL)
            path = argv[i] + kSwitchLength;
    return path;
}
