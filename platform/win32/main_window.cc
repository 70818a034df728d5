#include "platform/win32/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>

#include "app/constants.h"
#include "platform/win32/text.h"
#include "resources/resource.h"

namespace veltrik::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"frmVeltrik";
constexpr int kFirstItemId = 100;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr COLORREF kBlueText = RGB(0, 0, 192);
constexpr DWORD kRopDpo = 0x00FA0089;   // destination OR pattern
constexpr UINT kWmDpiChanged = 0x02E0;  // WM_DPICHANGED, sent from Windows 8.1 on

int IndexOf(Item item) {
  for (size_t i = 0; i < kLayout.size(); ++i) {
    if (kLayout[i].item == item) return static_cast<int>(i);
  }
  return -1;
}

bool HighContrast() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

int CALLBACK FontExists(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// The labels' font where it is installed, else the closest serif at hand.
std::wstring SerifFace() {
  const ScreenDc screen;
  std::wstring face = L"Times New Roman";
  const std::wstring wanted = Wide(kLabelFont);
  for (const wchar_t* name : {wanted.c_str(), L"Times New Roman", L"Liberation Serif", L"DejaVu Serif"}) {
    LOGFONTW query = {};
    query.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(query.lfFaceName, name, LF_FACESIZE);
    bool found = false;
    ::EnumFontFamiliesExW(screen.get(), &query, FontExists, reinterpret_cast<LPARAM>(&found), 0);
    if (found) {
      face = name;
      break;
    }
  }
  return face;
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm = {};
  ::GetObjectW(bitmap, sizeof bm, &bm);
  return {bm.bmWidth, bm.bmHeight};
}

// The pictures `parts`, one below the other, in one bitmap at `dpi`. At 96
// DPI the pixels are copied as they are; above, the system's halftone
// filter scales them.
ScopedBitmap Compose(std::initializer_list<HBITMAP> parts, int dpi) {
  SIZE total = {};
  for (HBITMAP part : parts) {
    const SIZE s = BitmapSize(part);
    total.cx = std::max(total.cx, s.cx);
    total.cy += s.cy;
  }
  const ScreenDc screen;
  ScopedBitmap out(::CreateCompatibleBitmap(screen.get(), ::MulDiv(total.cx, dpi, 96), ::MulDiv(total.cy, dpi, 96)));
  const ScopedMemoryDc from = MemoryDcFor(screen.get()), to = MemoryDcFor(screen.get());
  const ScopedSelect into(to.get(), out.get());
  ::SetStretchBltMode(to.get(), HALFTONE);
  ::SetBrushOrgEx(to.get(), 0, 0, nullptr);
  int y = 0;
  for (HBITMAP part : parts) {
    const SIZE s = BitmapSize(part);
    const ScopedSelect source(from.get(), part);
    const int top = ::MulDiv(y, dpi, 96);
    if (dpi == 96) {
      ::BitBlt(to.get(), 0, top, s.cx, s.cy, from.get(), 0, 0, SRCCOPY);
    } else {
      ::StretchBlt(to.get(), 0, top, ::MulDiv(s.cx, dpi, 96), ::MulDiv(y + s.cy, dpi, 96) - top, from.get(), 0, 0,
                   s.cx, s.cy, SRCCOPY);
    }
    y += s.cy;
  }
  return out;
}

}  // namespace

bool MainWindow::Create(int show) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(IDI_VELTRIK));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&wc)) return false;

  dpi_ = ::GetDeviceCaps(ScreenDc().get(), LOGPIXELSY);
  if (dpi_ <= 0) dpi_ = 96;

  // The outer size follows from the client area and this system's frame.
  RECT rect = {0, 0, Px(kClientWidthTwips), Px(kClientHeightTwips)};
  ::AdjustWindowRectEx(&rect, kWindowStyle, FALSE, 0);
  outer_ = {rect.right - rect.left, rect.bottom - rect.top};
  RECT work;
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - outer_.cx) / 2;
  const int y = work.top + (work.bottom - work.top - outer_.cy) / 2;

  if (!::CreateWindowExW(0, kWindowClass, L"", kWindowStyle, x, y, outer_.cx, outer_.cy, nullptr, nullptr, instance_,
                         this)) {
    return false;
  }
  if (platform_.ending()) return true;  // the logic ended the program while starting
  ::ShowWindow(hwnd_, show);
  ::UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  MainWindow* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  return self ? self->HandleMessage(msg, wparam, lparam) : ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // the background picture covers the client area
    case WM_SIZE: OnSize(wparam); return 0;
    case kWmDpiChanged: OnDpiChanged(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam)); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam)); return 0;
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)); return TRUE;
    // The controls draw nothing of their own: the window draws them whole.
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    case WM_ACTIVATE: OnActivate(wparam); break;  // the default gives the window the focus
    case WM_SETFOCUS: RestoreFocus(); return 0;
    case kWmRestoreFocus: RestoreFocus(); return 0;
    case DM_GETDEFID: return DefaultButton();
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: OnColoursChanged(); return 0;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
  }
  return ::DefWindowProcW(hwnd_, msg, wparam, lparam);
}

HFONT MainWindow::LabelFont(bool bold) {
  ScopedFont& font = bold ? bold_font_ : regular_font_;
  if (!font) {
    LOGFONTW lf = {};
    lf.lfHeight = -::MulDiv(kLabelPointSizeX100, dpi_, 7200);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    ::lstrcpynW(lf.lfFaceName, SerifFace().c_str(), LF_FACESIZE);
    font.reset(::CreateFontIndirectW(&lf));
  }
  return font.get();
}

bool MainWindow::OnCreate() {
  // Loaded as device bitmaps: GDI decodes the run-length encoded ones.
  for (auto [picture, id] : {std::pair{&stored_.band, IDB_BACKGROUND_BAND}, {&stored_.field, IDB_BACKGROUND_FIELD},
                              {&stored_.fix, IDB_BUTTON_FIX}, {&stored_.about, IDB_BUTTON_ABOUT},
                              {&stored_.exit, IDB_BUTTON_EXIT}}) {
    picture->reset(static_cast<HBITMAP>(::LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)));
    if (!*picture) return false;
  }
  const WORD checker[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
  dim_pattern_.reset(::CreateBitmap(8, 8, 1, 1, checker));

  tooltip_ =
      ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);

  // The system's own controls, so that the keyboard, screen readers and the
  // dialog manager know them: labels are static texts, the buttons and the
  // link push buttons, named by their text. The window draws them all.
  for (size_t i = 0; i < kLayout.size(); ++i) {
    const LayoutItem& layout = kLayout[i];
    ItemState& item = items_[i];
    item.layout = &layout;
    item.text = Wide(layout.text);
    const bool label = layout.kind == ItemKind::kLabel;
    item.hwnd = ::CreateWindowExW(
        0, label ? L"Static" : L"Button", item.text.c_str(),
        WS_CHILD | WS_VISIBLE | (label ? SS_OWNERDRAW | SS_NOPREFIX : WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY), 0, 0, 0,
        0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstItemId + i)), instance_, nullptr);
    if (!item.hwnd) return false;
    if (!label && tooltip_) {
      item.tooltip = Wide(layout.tooltip);
      TTTOOLINFOW tool = {};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = hwnd_;
      tool.uId = reinterpret_cast<UINT_PTR>(item.hwnd);
      tool.lpszText = item.tooltip.data();
      ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
  focus_ = items_[IndexOf(Item::kCmdStart)].hwnd;
  // As a dialog starts: focus cues hidden where the system hides them until
  // the keyboard is used.
  ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
  high_contrast_ = HighContrast();
  ApplyDpi(dpi_);
  platform_.Attach(hwnd_, items_[IndexOf(Item::kCmdStart)].hwnd, items_[IndexOf(Item::kCmdAbout)].hwnd,
                   items_[IndexOf(Item::kCmdExit)].hwnd);
  form_.Form_Load();
  return true;
}

void MainWindow::BuildBackground() {
  background_ = Compose({stored_.band.get(), stored_.field.get()}, dpi_);
  if (!high_contrast_) return;
  const SIZE size = BitmapSize(background_.get());
  const ScopedMemoryDc dc = MemoryDcFor(ScreenDc().get());
  const ScopedSelect selected(dc.get(), background_.get());
  const RECT field = {0, ::MulDiv(BitmapSize(stored_.band.get()).cy, dpi_, 96), size.cx, size.cy};
  ::FillRect(dc.get(), &field, ::GetSysColorBrush(COLOR_WINDOW));
}

void MainWindow::OnColoursChanged() {
  high_contrast_ = HighContrast();
  BuildBackground();
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void MainWindow::ApplyDpi(int dpi) {
  dpi_ = dpi;
  BuildBackground();
  buttons_.fix = Compose({stored_.fix.get()}, dpi);
  buttons_.about = Compose({stored_.about.get()}, dpi);
  buttons_.exit = Compose({stored_.exit.get()}, dpi);
  bold_font_.reset();
  regular_font_.reset();
  for (ItemState& item : items_) {
    const LayoutItem& layout = *item.layout;
    switch (layout.item) {
      case Item::kCmdStart: item.picture = buttons_.fix.get(); break;
      case Item::kCmdAbout: item.picture = buttons_.about.get(); break;
      case Item::kCmdExit: item.picture = buttons_.exit.get(); break;
      default: break;
    }
    ::MoveWindow(item.hwnd, Px(layout.left), Px(layout.top), Px(layout.width), Px(layout.height), TRUE);
  }
}

void MainWindow::OnDpiChanged(int dpi, const RECT* suggested) {
  ApplyDpi(dpi);
  // The system's suggestion keeps the window where it was, at the new scale.
  outer_ = {suggested->right - suggested->left, suggested->bottom - suggested->top};
  ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, outer_.cx, outer_.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  ::GetClientRect(hwnd_, &client);
  {
    const ScopedMemoryDc mem = MemoryDcFor(dc);
    const ScopedSelect selected(mem.get(), background_.get());
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
    ::BitBlt(dc, 0, 0, client.right, client.bottom, mem.get(), 0, 0, SRCCOPY);
  }
  ::EndPaint(hwnd_, &ps);
}

void MainWindow::OnSize(WPARAM kind) {
  // A minimised or maximised window cannot take a size.
  if (kind == SIZE_MINIMIZED || kind == SIZE_MAXIMIZED) return;
  RECT rect;
  ::GetWindowRect(hwnd_, &rect);
  if (rect.right - rect.left != outer_.cx || rect.bottom - rect.top != outer_.cy) {
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer_.cx, outer_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::OnClose() { form_.Form_Unload(); }

void MainWindow::OnCommand(int id, int code, HWND control) {
  const int index = id - kFirstItemId;
  if (index < 0 || index >= static_cast<int>(kLayout.size())) return;
  if (code == BN_SETFOCUS) focus_ = control;
  // An owner-drawn button reports the second click of a double click apart.
  if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return;
  switch (kLayout[static_cast<size_t>(index)].item) {
    case Item::kCmdStart: form_.cmdStart_Click(); break;
    case Item::kCmdAbout: form_.cmdAbout_Click(); break;
    case Item::kCmdExit: form_.cmdExit_Click(); break;
    case Item::kImage1: form_.Image1_Click(); break;
    default: break;
  }
}

void MainWindow::OnActivate(WPARAM wparam) {
  // As a dialog does: the focus leaves with the window and comes back to the
  // control that had it, after a message box too. Wine gives the window the
  // focus on activation only once it is the foreground window, which may
  // come later than this message (another process, such as the shell that
  // opens a page, took the foreground meanwhile): the control takes it back
  // once the activation is over, whatever its order.
  const HWND focus = ::GetFocus();
  if (LOWORD(wparam) == WA_INACTIVE && focus && ::IsChild(hwnd_, focus)) focus_ = focus;
  if (LOWORD(wparam) != WA_INACTIVE) ::PostMessageW(hwnd_, kWmRestoreFocus, 0, 0);
}

void MainWindow::RestoreFocus() {
  // The window itself holds the focus only until its control can take it.
  const HWND focus = ::GetFocus();
  if ((!focus || focus == hwnd_) && ::GetActiveWindow() == hwnd_ && focus_ && ::IsWindowEnabled(focus_)) {
    ::SetFocus(focus_);
  }
}

LRESULT MainWindow::DefaultButton() {
  // Enter presses the focused button, as in a dialog.
  const HWND focus = ::GetFocus();
  for (const ItemState& item : items_) {
    if (item.hwnd == focus && item.layout->kind != ItemKind::kLabel) {
      return MAKELRESULT(::GetDlgCtrlID(focus), DC_HASDEFID);
    }
  }
  return 0;
}

void MainWindow::OnDrawItem(const DRAWITEMSTRUCT& draw) {
  const ItemState* found = nullptr;
  for (const ItemState& item : items_) found = item.hwnd == draw.hwndItem ? &item : found;
  if (!found) return;
  const ItemState& item = *found;
  const HDC dc = draw.hDC;
  const RECT rect = draw.rcItem;
  {
    const ScopedMemoryDc mem = MemoryDcFor(dc);
    // The window's background shows through everywhere the item draws nothing.
    POINT origin = {0, 0};
    ::MapWindowPoints(item.hwnd, hwnd_, &origin, 1);
    const ScopedSelect background(mem.get(), background_.get());
    ::BitBlt(dc, 0, 0, rect.right, rect.bottom, mem.get(), origin.x, origin.y, SRCCOPY);
    if (item.picture) {
      const SIZE size = BitmapSize(item.picture);
      const ScopedSelect picture(mem.get(), item.picture);
      ::BitBlt(dc, 0, 0, size.cx, size.cy, mem.get(), 0, 0, SRCCOPY);
      if ((draw.itemState & ODS_DISABLED) && dim_pattern_) {
        const ScopedBrush brush(::CreatePatternBrush(dim_pattern_.get()));
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(160, 160, 160));
        const ScopedSelect dim(dc, brush.get());
        ::PatBlt(dc, 0, 0, size.cx, size.cy, kRopDpo);
      }
    }
  }
  const ItemKind kind = item.layout->kind;
  if (kind == ItemKind::kLabel || (kind == ItemKind::kHotspot && high_contrast_)) {
    // Black stands out of the light picture whatever the scheme's text
    // colour; in high contrast the scheme's own colours, the link's included.
    COLORREF colour = item.layout->blue ? kBlueText : RGB(0, 0, 0);
    if (high_contrast_) colour = ::GetSysColor(kind == ItemKind::kHotspot ? COLOR_HOTLIGHT : COLOR_WINDOWTEXT);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    const ScopedSelect font(dc, LabelFont(item.layout->bold));
    RECT text = rect;
    if (kind == ItemKind::kLabel) {
      ::DrawTextW(dc, item.text.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    } else {
      const std::wstring name = Wide(kMakerName);  // as the picture shows it
      ::DrawTextW(dc, name.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  // The focus cue, once the keyboard is in use, as the system draws it.
  const bool cue = !(::SendMessageW(item.hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  if ((draw.itemState & ODS_FOCUS) && cue) {
    RECT focus = rect;
    const int inset = ::MulDiv(2, dpi_, 96);
    ::InflateRect(&focus, -inset, -inset);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkColor(dc, RGB(255, 255, 255));
    ::DrawFocusRect(dc, &focus);
  }
}

}  // namespace veltrik::win32
