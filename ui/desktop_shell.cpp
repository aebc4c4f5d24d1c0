#include "ui/desktop_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "ui/system_library.h"

bool IsElevated(HANDLE process) {
    typedef BOOL(WINAPI * OpenProcessTokenCall)(HANDLE, DWORD, PHANDLE);
    typedef BOOL(WINAPI * GetTokenInformationCall)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                   PDWORD);
    const OpenProcessTokenCall openToken =
        SystemCall<OpenProcessTokenCall>("advapi32.dll", "OpenProcessToken");
    const GetTokenInformationCall tokenInformation =
        SystemCall<GetTokenInformationCall>("advapi32.dll", "GetTokenInformation");
    HANDLE token;
    if (!openToken || !tokenInformation || !openToken(process, TOKEN_QUERY, &token)) {
        return false;
    }
    // Systems before Vista know no TokenElevation and refuse the query.
    TOKEN_ELEVATION elevation;
    DWORD length = 0;
    const bool elevated =
        tokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

bool ProcessIsElevated() {
    return IsElevated(GetCurrentProcess());
}

namespace {

// Releases a COM interface when the walk leaves its scope.
template <typename Interface>
class Held {
  public:
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (pointer) {
            pointer->Release();
        }
    }
    void** Out() { return reinterpret_cast<void**>(&pointer); }
    Interface* pointer = nullptr;
};

// The desktop window's shell, as Explorer itself hands it out: the shell
// windows' desktop, its top-level browser, the view's background object
// and that object's application.
bool ExecuteThroughDesktop(const wchar_t* address) {
    typedef HRESULT(WINAPI * CoCreateInstanceCall)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    typedef BSTR(WINAPI * SysAllocStringCall)(const OLECHAR*);
    typedef void(WINAPI * SysFreeStringCall)(BSTR);
    const CoCreateInstanceCall create =
        SystemCall<CoCreateInstanceCall>("ole32.dll", "CoCreateInstance");
    const SysAllocStringCall allocString =
        SystemCall<SysAllocStringCall>("oleaut32.dll", "SysAllocString");
    const SysFreeStringCall freeString =
        SystemCall<SysFreeStringCall>("oleaut32.dll", "SysFreeString");
    if (!create || !allocString || !freeString) {
        return false;
    }
    Held<IShellWindows> windows;
    if (FAILED(create(CLSID_ShellWindows, NULL, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                      windows.Out()))) {
        return false;
    }
    VARIANT location;
    VARIANT root;
    ZeroMemory(&location, sizeof location);
    ZeroMemory(&root, sizeof root);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    root.vt = VT_EMPTY;
    long window = 0;
    Held<IDispatch> desktop;
    if (windows.pointer->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                      reinterpret_cast<IDispatch**>(desktop.Out())) != S_OK ||
        !desktop.pointer) {
        return false;
    }
    Held<IServiceProvider> services;
    Held<IShellBrowser> browser;
    Held<IShellView> view;
    Held<IDispatch> background;
    Held<IShellFolderViewDual> folderView;
    Held<IDispatch> application;
    Held<IShellDispatch2> shell;
    if (FAILED(desktop.pointer->QueryInterface(IID_IServiceProvider, services.Out())) ||
        FAILED(services.pointer->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                              browser.Out())) ||
        FAILED(browser.pointer->QueryActiveShellView(reinterpret_cast<IShellView**>(view.Out()))) ||
        FAILED(view.pointer->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Out())) ||
        FAILED(background.pointer->QueryInterface(IID_IShellFolderViewDual, folderView.Out())) ||
        FAILED(folderView.pointer->get_Application(
            reinterpret_cast<IDispatch**>(application.Out()))) ||
        FAILED(application.pointer->QueryInterface(IID_IShellDispatch2, shell.Out()))) {
        return false;
    }
    BSTR file = allocString(address);
    BSTR verb = allocString(L"open");
    VARIANT none;
    VARIANT operation;
    VARIANT show;
    ZeroMemory(&none, sizeof none);
    ZeroMemory(&operation, sizeof operation);
    ZeroMemory(&show, sizeof show);
    none.vt = VT_EMPTY;
    operation.vt = VT_BSTR;
    operation.bstrVal = verb;
    show.vt = VT_I4;
    show.lVal = SW_SHOWMAXIMIZED;
    const bool done =
        file && verb && SUCCEEDED(shell.pointer->ShellExecute(file, none, none, operation, show));
    freeString(file);
    freeString(verb);
    return done;
}

}  // namespace

bool OpenAsDesktopUser(const char* address) {
    typedef HRESULT(WINAPI * CoInitializeCall)(LPVOID);
    typedef void(WINAPI * CoUninitializeCall)();
    const CoInitializeCall initialize = SystemCall<CoInitializeCall>("ole32.dll", "CoInitialize");
    const CoUninitializeCall uninitialize =
        SystemCall<CoUninitializeCall>("ole32.dll", "CoUninitialize");
    if (!initialize || !uninitialize || FAILED(initialize(NULL))) {
        return false;
    }
    wchar_t wide[256];
    const int length = MultiByteToWideChar(CP_ACP, 0, address, -1, wide, 256);
    const bool done = length > 0 && ExecuteThroughDesktop(wide);
    uninitialize();
    return done;
}
