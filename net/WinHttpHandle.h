// Owner for WinHTTP handles (sessions, connections, requests all close the same way).
#pragma once
#include <windows.h>
#include <winhttp.h>

#include "win32/Handle.h"

using UniqueWinHttp = UniqueHandle<NullHandleTraits<HINTERNET, WinHttpCloseHandle>>;
