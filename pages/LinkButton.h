// A push button shown as a hyperlink: link-coloured underlined text, hand cursor; a click opens its
// URL as the signed-in user (LaunchAsUser). Takes over an existing button of a dialog template
// (owner-drawn there).
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "win32/Handle.h"

class LinkButton {
public:
    LinkButton() = default;
    ~LinkButton();
    LinkButton(const LinkButton&) = delete;
    LinkButton& operator=(const LinkButton&) = delete;

    // Takes over the painting of an existing button.
    bool Attach(HWND button);
    HWND GetHwnd() const { return hwnd_; }

    void SetUrl(std::wstring url) { url_ = std::move(url); }

    // Resizes the control to fit its text; the left and top edges stay where they are.
    void SizeToText();

    // For the parent's WM_COMMAND: true when the command is this control's click, whose URL is then opened.
    bool HandleCommand(HWND control, int notifyCode);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void Detach();
    void OnPaint();
    // The control's font, underlined; remade when the control's font changes.
    HFONT LinkFont();
    SIZE TextSize();

    HWND hwnd_ = nullptr;
    std::wstring url_;
    HFONT baseFont_ = nullptr;  // the dialog's font: not ours to delete
    UniqueFont linkFont_;
};

// Opens a web address with LaunchAsUser (verb "open", shown normally). Only absolute http and https
// addresses are opened: these addresses may come from the backend and the wizard runs elevated, so
// a program path or another scheme must never reach the shell. False when nothing was opened.
bool OpenUrl(HWND owner, const std::wstring& url);
bool IsWebUrl(const std::wstring& url);

// Tests replace what OpenUrl hands the address to; an empty function restores the shell.
using UrlOpener = std::function<bool(HWND owner, const std::wstring& url)>;
void SetUrlOpener(UrlOpener opener);
