// The logic of the main window: what each of its events does.
#pragma once

#include "app/window_state.h"
#include "platform/platform.h"

namespace veltrik {

inline constexpr int kMessageBoxInformation = 64;  // information icon, OK button
inline constexpr int kMessageBoxWarning = 48;      // warning icon, OK button

class frmVeltrik {
 public:
  explicit frmVeltrik(Platform& platform) : platform_(platform) {}
  frmVeltrik(const frmVeltrik&) = delete;
  frmVeltrik& operator=(const frmVeltrik&) = delete;

  void Form_Load();
  // Returns false while a repair runs: the window then stays, so the repair
  // can finish and clean up.
  bool Form_Unload();
  void cmdStart_Click();
  void cmdAbout_Click();
  void cmdExit_Click();
  void Image1_Click();

  const WindowState& state() const { return state_; }
  bool fixing() const { return fixing_; }

 private:
  void SetButtonsEnabled(bool enabled);
  // The busy state of a repair: buttons disabled, "Fixing..." shown; ended
  // once clicks that arrived meanwhile have met the disabled buttons.
  void StartBusy();
  void EndBusy();
  // In a recovery environment: the installed Windows, never the environment's own registry.
  void FixInstalledWindows();

  Platform& platform_;
  WindowState state_;
  bool fixing_ = false;
};

// Derives the paths of the window state from the system directory.
void DerivePaths(Platform& platform, WindowState& state);

}  // namespace veltrik
