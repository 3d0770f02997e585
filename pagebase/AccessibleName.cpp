#include "pagebase/AccessibleName.h"

#include <commctrl.h>
#include <oleacc.h>

#include <cwctype>
#include <new>

#include "win32/ComPtr.h"
#include "win32/Dialog.h"
#include "win32/Subclass.h"
#include "win32/SystemLibrary.h"

namespace {

using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);

// oleacc is not among the DLLs Windows always takes from System32, so it is loaded from there by name,
// once, and kept: objects handed to screen readers may call into it at any time.
struct Oleacc {
    CreateStdAccessibleObjectFn createStandard = nullptr;
    LresultFromObjectFn lresultFromObject = nullptr;
};

const Oleacc& LoadOleacc() {
    static const Oleacc functions = [] {
        Oleacc loaded;
        if (HMODULE module = LoadSystemLibrary(L"oleacc.dll")) {
            loaded.createStandard = reinterpret_cast<CreateStdAccessibleObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
            loaded.lresultFromObject = reinterpret_cast<LresultFromObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        }
        return loaded;
    }();
    return functions;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object of a control with another name; everything else is passed on unchanged.
class NamedAccessible final : public IAccessible {
public:
    NamedAccessible(ComPtr<IAccessible> inner, std::wstring name) : inner_(std::move(inner)), name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(riid, out);  // IOleWindow, IEnumVARIANT of the standard object
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child))
            return inner_->get_accName(child, name);
        if (!name)
            return E_POINTER;
        *name = SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return inner_->GetIDsOfNames(riid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        return inner_->Invoke(id, riid, locale, flags, params, result, exception, argumentError);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return inner_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return inner_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return inner_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return inner_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return inner_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return inner_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return inner_->put_accValue(child, value);
    }

private:
    ~NamedAccessible() = default;

    LONG references_ = 1;
    ComPtr<IAccessible> inner_;
    std::wstring name_;
};

// The answer to WM_GETOBJECT for the control's client object; 0 leaves the question to Windows.
LRESULT AnswerGetObject(HWND control, WPARAM flags, const std::wstring& name) {
    const Oleacc& oleacc = LoadOleacc();
    if (!oleacc.createStandard || !oleacc.lresultFromObject)
        return 0;
    ComPtr<IAccessible> standard;
    if (FAILED(oleacc.createStandard(control, OBJID_CLIENT, __uuidof(IAccessible), standard.put_void())) || !standard)
        return 0;
    auto* named = new (std::nothrow) NamedAccessible(std::move(standard), name);
    if (!named)
        return 0;
    const LRESULT result = oleacc.lresultFromObject(__uuidof(IAccessible), flags, named);
    named->Release();  // the result holds its own reference
    return result < 0 ? 0 : result;
}

bool IsTextLabel(HWND hwnd) {
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, _countof(className));
    if (_wcsicmp(className, L"Static") != 0)
        return false;
    switch (GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
        return GetWindowTextLengthW(hwnd) > 0;
    default:
        return false;
    }
}

bool StartsWithNoCase(const std::wstring& text, size_t at, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i]; ++i)
        if (at + i >= text.size() || std::towlower(text[at + i]) != prefix[i])
            return false;
    return true;
}

}  // namespace

AccessibleName::~AccessibleName() { EndSubclass(hwnd_, SubclassProc); }

bool AccessibleName::Attach(HWND control, NameSource name) {
    name_ = std::move(name);
    hwnd_ = MoveSubclass(hwnd_, control, SubclassProc, this);
    return hwnd_ != nullptr;
}

LRESULT CALLBACK AccessibleName::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data) {
    auto* self = reinterpret_cast<AccessibleName*>(data);
    try {
        if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT && self->name_) {
            if (const LRESULT answer = AnswerGetObject(hwnd, wParam, self->name_()))
                return answer;
        } else if (message == WM_NCDESTROY) {
            EndSubclass(self->hwnd_, SubclassProc);
        }
    } catch (...) {
        // Nothing may unwind into the window manager; the standard name is the answer then.
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

std::wstring LinkPlainText(const std::wstring& markup) {
    std::wstring text;
    text.reserve(markup.size());
    for (size_t i = 0; i < markup.size();) {
        if (StartsWithNoCase(markup, i, L"<a>") || StartsWithNoCase(markup, i, L"<a ") ||
            StartsWithNoCase(markup, i, L"</a>")) {
            // Quoted attribute values may hold ">".
            bool quoted = false;
            size_t end = i + 1;
            for (; end < markup.size() && (quoted || markup[end] != L'>'); ++end)
                if (markup[end] == L'"')
                    quoted = !quoted;
            i = end + 1;
            continue;
        }
        if (markup[i] == L'\u200C' && i > 0 && markup[i - 1] == L'<') {
            ++i;
            continue;
        }
        text += markup[i++];
    }
    return text;
}

std::wstring WithoutMnemonic(const std::wstring& text) {
    std::wstring plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&')
                ++i;
            else
                continue;
        }
        plain += text[i];
    }
    return plain;
}

std::wstring SpokenText(HWND control) { return WithoutMnemonic(WindowTextOf(control)); }

std::wstring LabelOf(HWND control) {
    for (UINT direction : {GW_HWNDPREV, GW_HWNDNEXT})
        for (HWND sibling = GetWindow(control, direction); sibling; sibling = GetWindow(sibling, direction))
            if (IsTextLabel(sibling))
                return SpokenText(sibling);
    return {};
}
