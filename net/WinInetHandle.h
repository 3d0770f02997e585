// Owner for WinINet handles; kept apart from WinHttpHandle.h because the two SDK headers clash.
#pragma once
#include <windows.h>
#include <wininet.h>

#include "win32/Handle.h"

using UniqueWinInet = UniqueHandle<NullHandleTraits<HINTERNET, InternetCloseHandle>>;
