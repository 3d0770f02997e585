#include "install/FinishPageIsv.h"

#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "install/FinishPageSupport.h"
#include "pagebase/PageSupport.h"
#include "resources/resource.h"

namespace {
constexpr int kCheckMarkImage = 102;
}

FinishPageIsv::FinishPageIsv(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_ISV) {}

BOOL FinishPageIsv::OnInitDialog() {
    IPage::OnInitDialog();
    RunGuarded(L"FinishPageISV", [this] {
        launchCheck_ = GetItem(IDC_LAUNCH_CHECK);
        RegisterText(IDC_FINISH_TITLE, "PAGE_FINISH_TITLE");
        RegisterText(IDC_FINISH_TEXT, "PAGE_FINISH_TEXT");
        RegisterText(IDC_FINISH_BUTTON, "BUTTON_FINISH");
        RegisterText(IDC_LAUNCH_CHECK, "LAUNCH_CHECKBOX");
        UpdateTexts();
        SendMessageW(launchCheck_, BM_SETCHECK, BST_CHECKED, 0);
        image_.Attach(GetItem(IDC_PAGE_IMAGE));
        image_.LoadImage(kCheckMarkImage, L"IMAGE_BLOB2");
    });
    return TRUE;
}

void FinishPageIsv::OnNavigateToPage() {
    RunGuarded(L"FinishPageISV", [this] {
        RemoveParentMinimizeBox(GetHwnd());
        if (ConfigurationManager::GetInstance()->restartRequired) {
            RegisterText(IDC_FINISH_TEXT, "PAGE_FINISH_TEXT_RESTART");
            SetDlgItemTextW(GetHwnd(), IDC_FINISH_TEXT, languageManager->GetString("PAGE_FINISH_TEXT_RESTART").c_str());
        }
    });
}

void FinishPageIsv::OnCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_FINISH_BUTTON && notifyCode == BN_CLICKED)
        RunGuarded(L"FinishPageISV", [this] { OnFinish(); });
    else
        IPage::OnCommand(id, notifyCode, control);
}

void FinishPageIsv::OnFinish() {
    if (SendMessageW(launchCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        auto config = ConfigurationManager::GetInstance();
        ShellOpen(ExpandFolderPlaceholders(config->productLaunchPath), config->productLaunchArgs);
    }
    if (buttonCallback)
        buttonCallback(ButtonType::Finish);
}
