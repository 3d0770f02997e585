#include "win32/UserLaunch.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "win32/ComPtr.h"
#include "win32/Narrow.h"

namespace {

// A call's result, with a success that handed out nothing counted as a failure. The pointer is taken by
// reference so that it is read after the call, not when the arguments are evaluated.
template <typename T>
HRESULT Got(HRESULT result, const ComPtr<T>& pointer) {
    return FAILED(result) ? result : pointer ? S_OK : E_NOINTERFACE;
}

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), CheckedNarrow<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }

private:
    BSTR value_;
};

// The variants only borrow: the Bstr objects own the strings.
VARIANT Text(const Bstr& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text.get();
    return value;
}

VARIANT Number(LONG number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

VARIANT Nothing() {
    VARIANT value;
    VariantInit(&value);
    return value;
}

// The automation object of the shell that owns the desktop window: the desktop's top-level browser, its
// active view, the view's background, that folder view's application.
HRESULT DesktopShell(ComPtr<IShellDispatch2>& shell) {
    HRESULT result;
    ComPtr<IShellWindows> windows;
    if (FAILED(result = Got(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                             IID_PPV_ARGS(windows.put())), windows)))
        return result;
    VARIANT location = Nothing();
    VARIANT root = Nothing();
    long window = 0;
    ComPtr<IDispatch> desktop;
    // S_FALSE without a window when no desktop is registered.
    if (FAILED(result = Got(windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                                  desktop.put()), desktop)))
        return result;
    ComPtr<IServiceProvider> services;
    if (FAILED(result = Got(desktop->QueryInterface(IID_PPV_ARGS(services.put())), services)))
        return result;
    ComPtr<IShellBrowser> browser;
    if (FAILED(result = Got(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.put())), browser)))
        return result;
    ComPtr<IShellView> view;
    if (FAILED(result = Got(browser->QueryActiveShellView(view.put()), view)))
        return result;
    ComPtr<IDispatch> background;
    if (FAILED(result = Got(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(background.put())), background)))
        return result;
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(result = Got(background->QueryInterface(IID_PPV_ARGS(folderView.put())), folderView)))
        return result;
    ComPtr<IDispatch> application;
    if (FAILED(result = Got(folderView->get_Application(application.put()), application)))
        return result;
    return Got(application->QueryInterface(IID_PPV_ARGS(shell.put())), shell);
}

}  // namespace

HRESULT ExecuteInDesktopShell(const LaunchRequest& request) {
    CoInitializeScope com;  // for this call, where the thread has no COM yet; declared first, released last
    ComPtr<IShellDispatch2> shell;
    if (const HRESULT result = DesktopShell(shell); FAILED(result) || !shell)
        return FAILED(result) ? result : E_NOINTERFACE;
    const Bstr file(request.file);
    const Bstr parameters(request.parameters);
    const Bstr verb(L"open");
    if (!file.get() || !parameters.get() || !verb.get())
        return E_OUTOFMEMORY;
    return shell->ShellExecute(file.get(), request.parameters.empty() ? Nothing() : Text(parameters), Nothing(),
                               Text(verb), Number(request.show));
}

LaunchRoute LaunchAsUser(const LaunchRequest& request, DesktopShellExecutor desktopShell) {
    // Only S_OK: Wine's shell answers S_FALSE when it could not start the request.
    if (desktopShell && desktopShell(request) == S_OK)
        return LaunchRoute::DesktopShell;
    // ShellExecuteW reports success as a value above 32.
    const HINSTANCE result = ShellExecuteW(request.owner, L"open", request.file.c_str(),
                                           request.parameters.empty() ? nullptr : request.parameters.c_str(),
                                           nullptr, request.show);
    return reinterpret_cast<INT_PTR>(result) > 32 ? LaunchRoute::ThisProcess : LaunchRoute::NotStarted;
}
