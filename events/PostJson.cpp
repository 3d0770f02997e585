#include "events/PostJson.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "events/TrelvoException.h"
#include "net/DownloadManager.h"
#include "net/WinHttpHandle.h"

namespace {

constexpr INTERNET_PORT kPort = 443;

void PrintLine(const char* format, unsigned long value) {
    std::printf(format, value);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

bool PostJson(const std::wstring& url, const std::string& body, const HttpHeaders& headers, std::string& response,
              unsigned long& status) {
    if (IsWindowsVersionAtLeast(6, 1, 0) && !IsWindowsVersionAtLeast(6, 1, 1))
        throw TrelvoException("Windows 7 without Service Pack 1 cannot post");

    // Scheme, credentials and extra information are asked for separately, so the path carries no query.
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUserNameLength = static_cast<DWORD>(-1);
    parts.dwPasswordLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) || !parts.lpszHostName ||
        parts.dwHostNameLength == 0)
        throw TrelvoException("Cannot split the URL");
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) : std::wstring();
    // Some implementations leave the query in the path even when it is asked for apart.
    path = path.substr(0, path.find_first_of(L"?#"));

    bool windows7 = IsWindowsVersionAtLeast(6, 1, 0) && !IsWindowsVersionAtLeast(6, 2, 0);
    UniqueWinHttp session(WinHttpOpen(nullptr,
                                      windows7 ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        throw TrelvoException("Cannot open an HTTP session");
    // SSL 3.0 stays off: it is broken, and no server of ours needs it.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
    if (IsWindowsVersionAtLeast(6, 1, 1))
        protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    if (!WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
        throw TrelvoException("Cannot set the secure protocols");

    UniqueWinHttp connection(WinHttpConnect(session.get(), host.c_str(), kPort, 0));
    if (!connection)
        throw TrelvoException("Cannot connect");
    UniqueWinHttp request(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!request)
        throw TrelvoException("Cannot open the request");

    HttpHeaders all = headers;
    all.emplace_back(L"Expect", L"100-continue");
    all.emplace_back(L"Content-Type", L"application/json");
    for (const auto& header : all) {
        std::wstring line = header.first + L": " + header.second;
        if (!WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(-1L), WINHTTP_ADDREQ_FLAG_ADD))
            PrintLine("WinHttpAddRequestHeaders error: %lu", GetLastError());
    }

    DWORD length = static_cast<DWORD>(std::strlen(body.c_str()));
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<char*>(body.c_str()), length,
                            length, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        throw TrelvoException("The request was not answered");

    DWORD code = 0;
    DWORD size = sizeof code;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX))
        code = 0;  // an unreadable status counts as a failed one
    status = code;

    std::vector<char> buffer;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) {
            PrintLine("Error %lu in WinHttpQueryDataAvailable.", GetLastError());
            break;
        }
        if (available == 0)
            break;
        try {
            buffer.assign(static_cast<size_t>(available) + 1, '\0');
        } catch (const std::bad_alloc&) {
            std::printf("Out of memory\n");
            std::fflush(stdout);
            break;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), available, &read)) {
            PrintLine("Error %lu in WinHttpReadData.", GetLastError());
            break;
        }
        if (read == 0)
            break;
        response.append(buffer.data(), std::strlen(buffer.data()) < read ? std::strlen(buffer.data()) : read);
    }
    return true;
}
