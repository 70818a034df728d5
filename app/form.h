// The logic of the main window: what each of its events does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/window_state.h"
#include "platform/platform.h"

namespace veltrik {

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
  void Busy(const std::function<void()>& work);
  // In a recovery environment: the installed Windows, never the environment's own registry.
  void FixInstalledWindows(const std::vector<std::string>& found);
  void Box(const std::string& text, int style) { platform_.ShowMessageBox(text, style, state_.strAppTitle); }

  Platform& platform_;
  WindowState state_;
  bool fixing_ = false;
};

// Derives the paths of the window state from the system directory.
void DerivePaths(Platform& platform, WindowState& state);

}  // namespace veltrik
