#include "app/AboutDlg.h"

#include <string>

#include "config/ConfigurationManager.h"
#include "resources/resource.h"
#include "win32/Strings.h"

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    std::wstring version = Utf8ToWide(ConfigurationManager::GetInstance()->setupVersion);
    wchar_t text[128] = {};
    swprintf(text, _countof(text), L"Trelvo, Version %ls", version.c_str());
    SetDlgItemTextW(GetHwnd(), IDC_ABOUT_VERSION, text);
    return TRUE;
}
