// Accessible names for controls whose window text is not what a screen reader should say: a picture
// has none, a progress bar or a rich edit is named by its label, a link control's text is markup. The
// control answers WM_GETOBJECT for its client object with the standard object, only the name replaced,
// so role, state, value and location stay what Windows gives them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// Read each time a screen reader asks, so that a language change needs no update.
using NameSource = std::function<std::wstring()>;

class AccessibleName {
public:
    AccessibleName() = default;
    ~AccessibleName();
    AccessibleName(const AccessibleName&) = delete;
    AccessibleName& operator=(const AccessibleName&) = delete;

    // Names `control` (ending the subclass of a control named before); false when there is no control.
    bool Attach(HWND control, NameSource name);
    void SetSource(NameSource name) { name_ = std::move(name); }
    HWND GetHwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    HWND hwnd_ = nullptr;
    NameSource name_;
};

// What a link control shows of its markup: the text without its "<a ...>" and "</a>" tags and without
// the invisible joiners put after a "<" that must not start a tag.
std::wstring LinkPlainText(const std::wstring& markup);

// A control's text as read aloud: a single "&" marks a mnemonic and is dropped, "&&" is one "&".
std::wstring WithoutMnemonic(const std::wstring& text);

// A control's window text as read aloud.
std::wstring SpokenText(HWND control);

// The text of the static control that labels `control`, as Windows finds it for a control without text
// of its own: the nearest static text before it among its siblings, else the nearest one after it.
// Hidden labels count; frames, pictures and empty texts do not.
std::wstring LabelOf(HWND control);
