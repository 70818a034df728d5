#include "platform/win32/desktop_shell.h"

#include <windows.h>
// After windows.h, which they need.
#include <exdisp.h>
#include <ole2.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <memory>

#include "platform/win32/scoped.h"

namespace veltrik::win32 {

namespace {

struct Request {
  std::wstring program, arguments;
  int show;
};

// A VARIANT that frees what it holds.
struct Variant {
  VARIANT v;
  Variant() { ::VariantInit(&v); }
  explicit Variant(const std::wstring& text) : Variant() {
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  explicit Variant(LONG number) : Variant() {
    v.vt = VT_I4;
    v.lVal = number;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&v); }
};

// The desktop's shell window, its view, and the automation object behind
// it: the shell object of Explorer's own process.
bool FindDesktopShell(ScopedCom<IShellDispatch2>& shell) {
  ScopedCom<IShellWindows> windows;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.receive_void()))) {
    return false;
  }
  Variant location(static_cast<LONG>(CSIDL_DESKTOP)), root;
  long hwnd = 0;
  ScopedCom<IDispatch> desktop;
  // S_FALSE, and no object, where no desktop shell runs.
  if (windows->FindWindowSW(&location.v, &root.v, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, desktop.receive()) != S_OK ||
      !desktop) {
    return false;
  }
  ScopedCom<IServiceProvider> services;
  ScopedCom<IShellBrowser> browser;
  ScopedCom<IShellView> view;
  ScopedCom<IDispatch> background;
  ScopedCom<IShellFolderViewDual> folder_view;
  ScopedCom<IDispatch> application;
  return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.receive_void())) &&
         SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.receive_void())) &&
         SUCCEEDED(browser->QueryActiveShellView(view.receive())) &&
         SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.receive_void())) &&
         SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folder_view.receive_void())) &&
         SUCCEEDED(folder_view->get_Application(application.receive())) &&
         SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.receive_void()));
}

bool Execute(const Request& request) {
  // Just after logon, on a slow machine, the desktop shell may still be
  // starting: it gets a minute.
  constexpr int kTries = 240, kPauseMs = 250;
  ScopedCom<IShellDispatch2> shell;
  for (int i = 0; !FindDesktopShell(shell); ++i) {
    if (i + 1 == kTries) return false;
    ::Sleep(kPauseMs);
  }
  BSTR program = ::SysAllocStringLen(request.program.data(), static_cast<UINT>(request.program.size()));
  Variant arguments(request.arguments), folder{std::wstring()}, verb{std::wstring()},
      show(static_cast<LONG>(request.show));
  const HRESULT result = program ? shell->ShellExecute(program, arguments.v, folder.v, verb.v, show.v) : E_OUTOFMEMORY;
  ::SysFreeString(program);
  return SUCCEEDED(result);
}

// Runs `work` in a single-threaded apartment of the calling thread.
template <typename Work>
bool InApartment(Work work) {
  const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  const bool done = com && work();
  if (com) ::CoUninitialize();
  return done;
}

DWORD WINAPI ExecuteThread(void* parameter) {
  const std::unique_ptr<Request> request(static_cast<Request*>(parameter));
  return InApartment([&] { return Execute(*request); }) ? 0 : 1;
}

}  // namespace

bool DesktopShellAnswers() {
  return InApartment([] {
    ScopedCom<IShellDispatch2> shell;
    return FindDesktopShell(shell);
  });
}

bool ShellExecuteOnDesktop(const std::wstring& program, const std::wstring& arguments, int show) {
  auto request = std::make_unique<Request>(Request{program, arguments, show});
  ScopedHandle thread(::CreateThread(nullptr, 0, ExecuteThread, request.get(), 0, nullptr));
  if (!thread) return false;
  request.release();  // the thread owns it now
  return true;
}

}  // namespace veltrik::win32
