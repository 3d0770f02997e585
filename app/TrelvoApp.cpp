#include "app/TrelvoApp.h"

#include <commctrl.h>
#include <gdiplus.h>

#include "app/TrelvoDlg.h"
#include "config/ConfigurationManager.h"
#include "events/ReportQueue.h"
#include "win32/SystemLibrary.h"

namespace {

constexpr std::chrono::seconds kReportDeadline{15};

}  // namespace

CTrelvoApp::CTrelvoApp() = default;

CTrelvoApp::~CTrelvoApp() {
    if (gdiplusStarted_)
        Gdiplus::GdiplusShutdown(gdiplusToken_);
}

bool CTrelvoApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;  // 8
    controls.dwICC = ICC_WIN95_CLASSES;  // 0xFF
    InitCommonControlsEx(&controls);

    richEdit_.reset(LoadSystemLibrary(L"riched32.dll"));
    if (!richEdit_)
        return false;

    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread and codecs on
    gdiplusStarted_ = Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) == Gdiplus::Ok;

    {
        CTrelvoDlg dialog;
        dialog.SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, true);
        dialog.DoModal(nullptr);
        // Every way out ends here with the window gone: the reports get one deadline, then the dialog
        // lets go of the pages and, last, of the single-instance mutex.
        FlushReports(kReportDeadline);
    }
    return false;
}
