// The main window: creates the layout's controls and hands each event to the
// window logic.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "app/form.h"
#include "app/layout.h"
#include "platform/win32/scoped.h"
#include "platform/win32/win32_platform.h"

namespace veltrik::win32 {

class MainWindow {
 public:
  explicit MainWindow(HINSTANCE instance) : instance_(instance) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  bool Create(int show);
  bool ending() const { return platform_.ending(); }
  HWND hwnd() const { return hwnd_; }

 private:
  // One control of the layout: a label (a static control), or a button or
  // the link (push buttons), each drawn by the window over its background,
  // which shows around its content.
  struct ItemState {
    const LayoutItem* layout = nullptr;
    HBITMAP picture = nullptr;
    std::wstring text, tooltip;
    HWND hwnd = nullptr;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void OnDpiChanged(int dpi, const RECT* suggested);
  // Scales the pictures, fonts and controls to `dpi`.
  void ApplyDpi(int dpi);
  // The background as the colour scheme wants it: the pictures, or in high
  // contrast the title band over the scheme's window colour.
  void BuildBackground();
  void OnColoursChanged();
  void OnPaint();
  void OnSize(WPARAM kind);
  void OnClose();
  void OnCommand(int id, int code, HWND control);
  void OnActivate(WPARAM wparam);
  void RestoreFocus();
  LRESULT DefaultButton();
  void OnDrawItem(const DRAWITEMSTRUCT& draw);
  HFONT LabelFont(bool bold);
  int Px(int twips) const { return TwipsToPixels(twips, dpi_); }

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND focus_ = nullptr;  // the control that has, or last had, the keyboard focus
  bool high_contrast_ = false;
  int dpi_ = 96;
  SIZE outer_ = {};
  Win32Platform platform_;
  frmVeltrik form_{platform_};
  // The pictures as stored, and as drawn at the window's DPI.
  struct {
    ScopedBitmap band, field, fix, about, exit;
  } stored_;
  ScopedBitmap background_;
  struct {
    ScopedBitmap fix, about, exit;
  } buttons_;
  ScopedFont bold_font_, regular_font_;
  ScopedBitmap dim_pattern_;
  std::array<ItemState, kLayout.size()> items_;
};

}  // namespace veltrik::win32
