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

 private:
  // One control of the layout: a picture, a label or a hotspot, drawn over
  // the window's background so that it shows around its content.
  struct ItemState {
    MainWindow* owner = nullptr;
    const LayoutItem* layout = nullptr;
    HBITMAP picture = nullptr;
    HFONT font = nullptr;
    std::wstring text;
    HWND hwnd = nullptr;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ItemProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void OnDpiChanged(int dpi, const RECT* suggested);
  // Scales the pictures, fonts and controls to `dpi`.
  void ApplyDpi(int dpi);
  void OnPaint();
  void OnSize(WPARAM kind);
  void OnClose();
  void OnCommand(int id);
  void PaintItem(ItemState& item);
  HFONT LabelFont(bool bold);
  int Px(int twips) const { return TwipsToPixels(twips, dpi_); }

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  int dpi_ = 96;
  SIZE outer_ = {};
  Win32Platform platform_;
  frmVeltrik form_{platform_};
  // The pictures as stored (title band, field, FIX, ABOUT, EXIT), and as
  // drawn at the window's DPI.
  std::array<ScopedBitmap, 5> stored_;
  ScopedBitmap background_;
  std::array<ScopedBitmap, 3> buttons_;
  ScopedFont bold_font_, regular_font_;
  ScopedBitmap dim_pattern_;
  std::array<ItemState, kLayout.size()> items_;
};

}  // namespace veltrik::win32
