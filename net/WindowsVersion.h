// The Windows version tests that decide proxy and protocol choices.
#pragma once
#include <windows.h>

// Whether Windows is at least major.minor with service pack `servicePackMajor` (one comparison over all three).
bool IsWindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor);
// 6.1, not 6.2 or later.
bool IsWindows7();
