#include "app/TrelvoApp.h"

#include <commctrl.h>
#include <gdiplus.h>

#include "app/CommandLine.h"
#include "app/TrelvoDlg.h"
#include "config/ConfigurationManager.h"
#include "events/ReportQueue.h"
#include "win32/ProgramView.h"
#include "win32/RunLog.h"
#include "win32/WindowsVersion.h"

namespace {

constexpr std::chrono::seconds kReportDeadline{15};

}  // namespace

CTrelvoApp::CTrelvoApp() = default;

CTrelvoApp::~CTrelvoApp() {
    if (gdiplusStarted_)
        Gdiplus::GdiplusShutdown(gdiplusToken_);
}

bool CTrelvoApp::InitInstance() {
    StartRunLog();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;  // 8
    controls.dwICC = ICC_WIN95_CLASSES;  // 0xFF
    InitCommonControlsEx(&controls);

    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread and codecs on
    gdiplusStarted_ = Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) == Gdiplus::Ok;

    {
        CTrelvoDlg dialog;
        dialog.SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, true);
        dialog.DoModal(nullptr);
        // Every way out ends here with the window gone: the reports get one deadline, then the dialog
        // lets go of the pages and, last, of the single-instance mutex.
        const bool flushed = FlushReports(kReportDeadline);
        LogLine(flushed ? "reports: all sent or given up" : "reports: deadline passed, the rest given up");
    }
    LogLine("end of run");
    return false;
}

void CTrelvoApp::StartRunLog() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    OpenRunLog(LogPathArgument(GetCommandLineW()), std::wstring(temp, length <= MAX_PATH ? length : 0));
    auto config = ConfigurationManager::GetInstance();
    HideInRunLog(config->machineId);
    LogLine("Fennix Web setup " + config->setupVersion + (sizeof(void*) == 8 ? " (x86-64)" : " (x86)") +
            " on Windows " + GetOsVersionString() + (Is64BitWindows() ? " 64-bit" : " 32-bit"));
}
