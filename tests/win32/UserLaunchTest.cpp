// What LaunchAsUser starts and from which process: the desktop shell's where it answers, this one's
// where it does not.
#include <windows.h>
#include <exdisp.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/ComPtr.h"
#include "win32/UserLaunch.h"

using testing_support::WindowsPathFromEnv;

namespace {

struct Launched {
    DWORD parentId;
    std::wstring parentName;
    std::wstring commandLine;
};

// A copy of the probe in a folder of its own; each start appends a line to "<probe>.launched".
class LaunchProbe {
public:
    explicit LaunchProbe(const std::wstring& name)
        : path_(TestBackend::ScratchFolder(L"launch-" + name) + L"\\probe.exe") {
        CopyFileW(WindowsPathFromEnv("FENNIX_LAUNCH_PROBE").c_str(), path_.c_str(), FALSE);
    }
    const std::wstring& Path() const { return path_; }

    // Polls until `count` starts are recorded; fewer on time-out.
    std::vector<Launched> WaitForLaunches(size_t count) const {
        std::vector<Launched> launches;
        for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(50)) {
            launches = Read();
            if (launches.size() >= count)
                break;
        }
        return launches;
    }

private:
    std::vector<Launched> Read() const {
        const std::string bytes = TestBackend::ReadFileBytes(path_ + L".launched");
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        std::vector<Launched> launches;
        for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
            const std::wstring line = text.substr(start, end - start);
            const size_t tab1 = line.find(L'\t');
            const size_t tab2 = line.find(L'\t', tab1 + 1);
            if (tab2 != std::wstring::npos)
                launches.push_back({static_cast<DWORD>(std::wcstoul(line.c_str(), nullptr, 10)),
                                    line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
        }
        return launches;
    }

    std::wstring path_;
};

// The desktop shell registers its desktop window a moment after it starts, and Wine starts it when a
// program first needs the desktop or stops it when the last one ends: waits until it answers.
bool WaitForDesktopShell() {
    CoInitializeScope com;
    GetDesktopWindow();
    for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(100)) {
        ComPtr<IShellWindows> windows;
        if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(windows.put()))))
            continue;
        VARIANT location{}, root{};
        long window = 0;
        ComPtr<IDispatch> desktop;
        if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) == S_OK &&
            desktop)
            return true;
    }
    return false;
}

}  // namespace

// Wine has the desktop shell's whole route, so the program is the shell's child, not ours.
TEST(LaunchAsUser, TheDesktopShellStartsTheProgramWithItsParameters) {
    LaunchProbe probe(L"desktop");
    ASSERT_TRUE(WaitForDesktopShell()) << "no desktop shell answered";
    EXPECT_EQ(LaunchAsUser({probe.Path(), L"/RUNONSTARTUP \"a b\"", SW_SHOWNORMAL, nullptr}),
              LaunchRoute::DesktopShell);
    const std::vector<Launched> launches = probe.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(CompareStringOrdinal(launches[0].parentName.c_str(), -1, L"explorer.exe", -1, TRUE), CSTR_EQUAL)
        << testing::PrintToString(launches[0].parentName);
    EXPECT_NE(launches[0].parentId, GetCurrentProcessId());
    EXPECT_NE(launches[0].commandLine.find(L"/RUNONSTARTUP \"a b\""), std::wstring::npos)
        << testing::PrintToString(launches[0].commandLine);

    // Wine's shell answers S_FALSE for what it could not start; nor can this process start it.
    EXPECT_EQ(LaunchAsUser({probe.Path() + L".gone", L"", SW_SHOWNORMAL, nullptr}), LaunchRoute::NotStarted);
}

// The shell's route decides: once it took the request nothing more happens here; whatever keeps it
// from taking the request, this process starts it as before.
TEST(LaunchAsUser, WhereTheShellDoesNotTakeItThisProcessStartsIt) {
    static LaunchRequest handed;
    struct Case {
        const char* name;
        DesktopShellExecutor desktopShell;
        LaunchRoute route;
    };
    const Case cases[] = {
        {"the shell took it",
         [](const LaunchRequest& request) {
             handed = request;
             return S_OK;
         },
         LaunchRoute::DesktopShell},
        {"no shell to ask", [](const LaunchRequest&) { return HRESULT_FROM_WIN32(ERROR_NOT_FOUND); },
         LaunchRoute::ThisProcess},
        {"the shell could not start it", [](const LaunchRequest&) { return S_FALSE; }, LaunchRoute::ThisProcess},
        {"no route at all", nullptr, LaunchRoute::ThisProcess},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        handed = {};
        LaunchProbe probe(L"route-" + std::to_wstring(&c - cases));  // a folder each: a probe may still be ending
        EXPECT_EQ(LaunchAsUser({probe.Path(), L"/x \"a b\"", SW_SHOWDEFAULT, nullptr}, c.desktopShell), c.route);
        if (c.route == LaunchRoute::DesktopShell) {
            EXPECT_EQ(handed.file, probe.Path());
            EXPECT_EQ(handed.parameters, L"/x \"a b\"");
            EXPECT_EQ(handed.show, SW_SHOWDEFAULT);
            continue;
        }
        const std::vector<Launched> launches = probe.WaitForLaunches(1);
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].parentId, GetCurrentProcessId());
        EXPECT_NE(launches[0].commandLine.find(L"/x \"a b\""), std::wstring::npos);
    }

    LaunchProbe missing(L"missing");
    EXPECT_EQ(LaunchAsUser({missing.Path() + L".gone", L"", SW_SHOWNORMAL, nullptr},
                           [](const LaunchRequest&) { return S_FALSE; }),
              LaunchRoute::NotStarted);
}
