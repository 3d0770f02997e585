// The real time limits, shown once at full length: a server that takes the connection and never says a
// word, not even its side of the TLS handshake. It needs no test backend, so nothing waits behind it.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "config/ConfigurationManager.h"
#include "net/DownloadManager.h"
#include "net/NetLimits.h"
#include "tests/support/TestBackend.h"
#include "win32/Strings.h"

namespace {

// Listens on a free loopback port and holds every connection it accepts, silent, until it goes.
class SilentServer {
public:
    SilentServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(listener_, 8) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
        // Polls, since closing a listener need not wake an accept that waits on it.
        acceptor_ = std::thread([this] {
            while (!stop_) {
                fd_set ready;
                FD_ZERO(&ready);
                FD_SET(listener_, &ready);
                timeval wait{0, 100000};
                if (select(0, &ready, nullptr, nullptr, &wait) == 1) {
                    SOCKET s = accept(listener_, nullptr, nullptr);
                    if (s != INVALID_SOCKET)
                        held_.push_back(s);
                }
            }
        });
    }
    ~SilentServer() {
        stop_ = true;
        acceptor_.join();
        closesocket(listener_);
        for (SOCKET s : held_)
            closesocket(s);
        WSACleanup();
    }
    unsigned short Port() const { return port_; }

private:
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<SOCKET> held_;
};

}  // namespace

TEST(FullTimeLimit, ASilentServerEndsBothTransportsAtTheShippedLimits) {
    const NetLimits limits = CurrentNetLimits();
    EXPECT_EQ(limits.resolveMs, 10000u);
    EXPECT_EQ(limits.connectMs, 10000u);
    EXPECT_EQ(limits.sendMs, 30000u);
    EXPECT_EQ(limits.receiveMs, 30000u);

    SilentServer server;
    ASSERT_NE(server.Port(), 0);
    const std::wstring folder = TestBackend::ScratchFolder(L"full-limits");
    ConfigurationManager::GetInstance()->downloadFolder = folder;
    DownloadManager engine;
    const ULONGLONG start = GetTickCount64();
    const DownloadResult result = engine.DownloadFile(
        L"https://127.0.0.1:" + std::to_wstring(server.Port()) + L"/never.bin", nullptr, L"never.bin", folder);
    const ULONGLONG took = GetTickCount64() - start;
    std::printf("both transports gave up after %llu ms\n", took);
    std::fflush(stdout);
    EXPECT_FALSE(result.first);
    const size_t split = result.second.find(L" [WININET] ");
    ASSERT_NE(split, std::wstring::npos) << WideToUtf8(result.second);
    EXPECT_EQ(result.second.rfind(L"[WINHTTP] ", 0), 0u) << WideToUtf8(result.second);
    EXPECT_NE(result.second.find(L"12002"), std::wstring::npos) << WideToUtf8(result.second);
    EXPECT_NE(result.second.find(L"12002", split), std::wstring::npos) << WideToUtf8(result.second);
}
