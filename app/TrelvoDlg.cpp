#include "app/TrelvoDlg.h"

#include <string>

#include "app/AboutDlg.h"
#include "config/BuildConfig.h"
#include "config/ConfigurationManager.h"
#include "resources/resource.h"

namespace {
constexpr UINT kAboutCommand = IDM_ABOUTBOX;  // 16; the system menu reserves the low four bits
}

CTrelvoDlg::CTrelvoDlg() : Dialog(IDD_TRELVO_DIALOG) {
    icon_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CTrelvoDlg::~CTrelvoDlg() = default;

BOOL CTrelvoDlg::OnInitDialog() {
    HWND hwnd = GetHwnd();
    wchar_t about[64] = {};
    if (HMENU menu = GetSystemMenu(hwnd, FALSE);
        menu && LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, _countof(about)) > 0) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, about);
    }
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    if (!AcquireSingleInstance() || !CheckWizardType())
        return TRUE;

    auto config = ConfigurationManager::GetInstance();
    accentBrush_.reset(CreateSolidBrush(config->accentColor));
    SetDlgItemTextW(hwnd, IDC_HEADER_TITLE, config->productTitle.c_str());

    if (config->wizardType == WizardType::ISV) {
        ShowWindow(GetItem(IDC_HEADER_IMAGE), SW_HIDE);
        ShowWindow(GetItem(IDC_HEADER_SEPARATOR), SW_HIDE);
    }
    ShowWindow(GetItem(IDC_HEADER_TITLE), SW_HIDE);
    return TRUE;
}

bool CTrelvoDlg::AcquireSingleInstance() {
    const std::wstring name = std::wstring(L"Global\\Trelvo") + build::kWizardName + L"SingleInstanceMutex";
    instanceMutex_.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
    if (instanceMutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        instanceMutex_.reset();
        MessageBoxW(GetHwnd(), L"Another setup is already running, please close it and try again", L"Error",
                    MB_ICONHAND | MB_SYSTEMMODAL);
        EndDialog(IDOK);
        return false;
    }
    return true;  // without a mutex the wizard runs as if it were alone
}

bool CTrelvoDlg::CheckWizardType() {
    auto config = ConfigurationManager::GetInstance();
    switch (config->wizardType) {
    case WizardType::DLM:
        SetWindowTextW(GetHwnd(), L"Setup");
        return true;
    case WizardType::ISV:
        SetWindowTextW(GetHwnd(), (config->productTitle + L" ").c_str());
        return true;
    default:
        MessageBoxW(nullptr, L"Invalid wizard type", nullptr, MB_ICONHAND | MB_SYSTEMMODAL);
        EndDialog(IDOK);
        return false;
    }
}

HBRUSH CTrelvoDlg::OnCtlColor(HDC dc, HWND control, UINT kind) {
    if (GetDlgCtrlID(control) == IDC_BOTTOM_BAND && accentBrush_) {
        SetBkMode(dc, TRANSPARENT);
        return accentBrush_.get();
    }
    return Dialog::OnCtlColor(dc, control, kind);
}

void CTrelvoDlg::OnClose() {
    instanceMutex_.reset();
    ShowWindow(GetHwnd(), SW_HIDE);
    EndDialog(IDCANCEL);
}

void CTrelvoDlg::OnSysCommand(WPARAM command, LPARAM) {
    if ((command & 0xFFF0) == kAboutCommand) {
        CAboutDlg about;
        about.DoModal(GetHwnd());
    }
}

void CTrelvoDlg::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(GetHwnd(), &paint);
    SendMessageW(GetHwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(GetHwnd(), &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(GetHwnd(), &paint);
}

INT_PTR CTrelvoDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kAboutCommand) {
            OnSysCommand(wParam, lParam);
            return TRUE;
        }
        return FALSE;
    case WM_PAINT:
        if (IsIconic(GetHwnd())) {
            OnPaint();
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
    default:
        return Dialog::HandleMessage(message, wParam, lParam);
    }
}
