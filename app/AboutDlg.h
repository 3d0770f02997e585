// The small about box reached from the wizard's system menu.
#pragma once
#include "win32/Dialog.h"

class CAboutDlg : public Dialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
};
