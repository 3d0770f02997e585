#include "install/FinishPageDlm.h"

#include "config/ConfigurationManager.h"
#include "install/FinishPageSupport.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"

namespace {
constexpr int kCheckMarkImage = 102;
}

std::wstring ExplorerSelectArguments(const std::wstring& path) { return L"/select,\"" + path + L"\""; }

FinishPageDlm::FinishPageDlm(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_DLM) {}

BOOL FinishPageDlm::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(L"FinishPageDLM", [this] {
        launchRadio_ = GetItem(IDC_LAUNCH_RADIO);
        openFolderRadio_ = GetItem(IDC_OPEN_FOLDER_RADIO);
        RegisterText(IDC_FINISH_TITLE, "PAGE_FINISH_TITLE");
        RegisterText(IDC_FINISH_TEXT, "PAGE_FINISH_TEXT");
        RegisterText(IDC_FINISH_BUTTON, "BUTTON_FINISH");
        RegisterText(IDC_LAUNCH_RADIO, "LAUNCH_RADIO");
        RegisterText(IDC_OPEN_FOLDER_RADIO, "OPEN_FOLDER_RADIO");
        UpdateTexts();
        SendMessageW(launchRadio_, BM_SETCHECK, BST_CHECKED, 0);
        image_.Attach(GetItem(IDC_PAGE_IMAGE));
        image_.LoadImage(kCheckMarkImage, L"IMAGE_BLOB2");
    });
    return TRUE;
}

void FinishPageDlm::OnNavigateToPage() {
    RunGuarded(L"FinishPageDLM", [this] { RemoveParentMinimizeBox(GetHwnd()); });
}

void FinishPageDlm::OnCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_FINISH_BUTTON && notifyCode == BN_CLICKED)
        RunGuarded(L"FinishPageDLM", [this] { OnFinish(); });
    else
        IPage::OnCommand(id, notifyCode, control);
}

void FinishPageDlm::OnFinish() {
    const std::wstring path = ConfigurationManager::GetInstance()->downloadedFilePath;
    // Without a file the shell would open whatever an empty name means to it.
    if (!path.empty()) {
        if (SendMessageW(launchRadio_, BM_GETCHECK, 0, 0) == BST_CHECKED)
            ShellOpen(path, L"");
        else if (SendMessageW(openFolderRadio_, BM_GETCHECK, 0, 0) == BST_CHECKED)
            ShellOpen(L"explorer.exe", ExplorerSelectArguments(path));
    }
    if (buttonCallback)
        buttonCallback(ButtonType::Finish);
}
