// Names that Windows takes as a device wherever they stand in a path.
#pragma once
#include <string>

// True for CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9 (also with a superscript 1, 2
// or 3), in any case, alone or followed by an extension or trailing blanks ("nul.txt", "Com1 .log"):
// opening such a name in any folder opens the device.
bool IsDeviceName(const std::wstring& name);
