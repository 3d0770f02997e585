// Window messages exchanged between the wizard window, its pages and the worker threads.
#pragma once
#include <windows.h>

constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 1;       // wParam: percent done (above 100: marquee)
constexpr UINT WM_DOWNLOAD_INDETERMINATE = WM_USER + 2;  // no total size known
constexpr UINT WM_LOAD_COMPLETE = WM_USER + 3;           // the loading page handed over the offers
constexpr UINT WM_REQUEST_COMPLETE = WM_USER + 4;        // the configuration worker is done
