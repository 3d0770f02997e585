// The wizard's only top-level window: the frame around the pages, navigation and closing.
#pragma once
#include "app/Dialog.h"
#include "app/Handle.h"

class CTrelvoDlg : public Dialog {
public:
    CTrelvoDlg();
    ~CTrelvoDlg() override;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
    void OnClose() override;

private:
    // False when another wizard runs on this machine; the dialog is then ended.
    bool AcquireSingleInstance();
    // False for a wizard type this program cannot run; the dialog is then ended.
    bool CheckWizardType();
    void OnSysCommand(WPARAM command, LPARAM lParam);
    void OnPaint();

    HICON icon_ = nullptr;  // shared resource icon: not destroyed
    UniqueBrush accentBrush_;
    UniqueKernelHandle instanceMutex_;
};
