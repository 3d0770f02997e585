// Time limits of every network call, both transports. Without them a silent server holds a download for good.
#pragma once
#include <windows.h>

#include <string>

struct NetLimits {
    DWORD resolveMs = 10000;  // WinHTTP only: WinINet has no such option
    DWORD connectMs = 10000;
    DWORD sendMs = 30000;
    DWORD receiveMs = 30000;  // for the response and for each wait inside a body
};

// The limits a request starts with; read once per request.
NetLimits CurrentNetLimits();

// The failure text for a body that stayed silent for the receive limit, named by the call that waited.
std::wstring StalledText(const wchar_t* operation, DWORD receiveMs);

// Replaces the process's limits for a scope (tests shorten them) and puts the old ones back at its end.
class ScopedNetLimits {
public:
    explicit ScopedNetLimits(const NetLimits& limits);
    ~ScopedNetLimits();
    ScopedNetLimits(const ScopedNetLimits&) = delete;
    ScopedNetLimits& operator=(const ScopedNetLimits&) = delete;

private:
    NetLimits previous_;
};
