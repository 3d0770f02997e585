// Started by the launch tests: appends one line to "<its own path>.launched" saying which process
// started it and with what command line, then ends.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "win32/Handle.h"

namespace {

struct Parent {
    DWORD id = 0;
    std::wstring name;
};

Parent ParentProcess() {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // INVALID_HANDLE_VALUE on failure
    if (!snapshot)
        return {};
    Parent parent;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID == GetCurrentProcessId())
            parent.id = entry.th32ParentProcessID;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID == parent.id)
            parent.name = entry.szExeFile;
    return parent;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    const Parent parent = ParentProcess();
    const std::wstring line =
        std::to_wstring(parent.id) + L"\t" + parent.name + L"\t" + GetCommandLineW() + L"\n";
    UniqueFile record(CreateFileW((std::wstring(self, length) + L".launched").c_str(), FILE_APPEND_DATA, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return record && WriteFile(record.get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                               nullptr)
               ? 0
               : 1;
}
