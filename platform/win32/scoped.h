// Owners for Win32 handles: each closes its handle once, and cannot be copied.
#pragma once

#include <windows.h>

#include <utility>

namespace veltrik::win32 {

template <typename T, typename Traits>
class Scoped {
 public:
  Scoped() = default;
  explicit Scoped(T value) : value_(value) {}
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
  Scoped& operator=(Scoped&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Traits::Invalid()));
    return *this;
  }
  ~Scoped() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  void reset(T value = Traits::Invalid()) {
    if (value_ != Traits::Invalid()) Traits::Close(value_);
    value_ = value;
  }
  // For APIs that return the handle through a pointer argument.
  T* receive() {
    reset();
    return &value_;
  }

 private:
  T value_ = Traits::Invalid();
};

struct HandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct KeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY k) { ::RegCloseKey(k); }
};
template <typename G>
struct GdiTraits {
  static G Invalid() { return nullptr; }
  static void Close(G g) { ::DeleteObject(g); }
};

struct MemoryDcTraits {
  static HDC Invalid() { return nullptr; }
  static void Close(HDC dc) { ::DeleteDC(dc); }
};

using ScopedHandle = Scoped<HANDLE, HandleTraits>;
using ScopedFile = Scoped<HANDLE, FileTraits>;
using ScopedKey = Scoped<HKEY, KeyTraits>;
using ScopedFont = Scoped<HFONT, GdiTraits<HFONT>>;
using ScopedBitmap = Scoped<HBITMAP, GdiTraits<HBITMAP>>;
using ScopedBrush = Scoped<HBRUSH, GdiTraits<HBRUSH>>;
// A memory device context compatible with `dc`.
using ScopedMemoryDc = Scoped<HDC, MemoryDcTraits>;
inline ScopedMemoryDc MemoryDcFor(HDC dc) { return ScopedMemoryDc(::CreateCompatibleDC(dc)); }

// The screen's device context, released once.
class ScreenDc {
 public:
  ScreenDc() : dc_(::GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ::ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// An object selected into a device context, and the one it replaced put back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelect() { ::SelectObject(dc_, old_); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A COM interface pointer, released once.
template <typename T>
class ScopedCom {
 public:
  ScopedCom() = default;
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  ~ScopedCom() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** receive() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  void** receive_void() { return reinterpret_cast<void**>(receive()); }

 private:
  T* p_ = nullptr;
};

}  // namespace veltrik::win32
