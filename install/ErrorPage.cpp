#include "install/ErrorPage.h"

#include "resources/resource.h"

namespace {
constexpr int kCrossImage = 103;
}

ErrorPage::ErrorPage(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_ERROR_PAGE) {}

BOOL ErrorPage::OnInitDialog() {
    IPage::OnInitDialog();
    image_.Attach(GetItem(IDC_PAGE_IMAGE));
    image_.LoadImage(kCrossImage, L"IMAGE_BLOB3");
    RegisterText(IDC_CLOSE_BUTTON, "BUTTON_CLOSE");
    UpdateTexts();
    return TRUE;
}

void ErrorPage::SetTitleAndText(std::wstring title, std::wstring text) {
    title_ = std::move(title);
    text_ = std::move(text);
    UpdateData();
}

void ErrorPage::UpdateData() {
    SetDlgItemTextW(GetHwnd(), IDC_ERROR_TITLE, title_.c_str());
    SetDlgItemTextW(GetHwnd(), IDC_ERROR_TEXT, text_.c_str());
}

void ErrorPage::OnCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_CLOSE_BUTTON && notifyCode == BN_CLICKED) {
        if (buttonCallback)
            buttonCallback(ButtonType::Close);
    } else {
        IPage::OnCommand(id, notifyCode, control);
    }
}
