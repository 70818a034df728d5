#include "app/form.h"

#include "app/about.h"
#include "app/browser.h"
#include "app/constants.h"
#include "app/messages.h"
#include "repair/repair.h"

namespace veltrik {

namespace {
constexpr std::uint32_t kSysDirBufferSize = 255;
}

void DerivePaths(Platform& platform, WindowState& state) {
  std::string buffer(kSysDirBufferSize, ' ');
  const std::uint32_t count = platform.GetSystemDirectoryA(buffer.data(), kSysDirBufferSize);
  // A count of the buffer size or more means the path did not fit: nothing
  // was written, so it counts as a failed query.
  if (count < kSysDirBufferSize) state.lngSysDirLen = static_cast<std::int32_t>(count);
  state.strSysDir = buffer.substr(0, static_cast<std::size_t>(state.lngSysDirLen)) + "\\";
  // The Windows directory ends at the first backslash after the drive root.
  const std::size_t first = state.strSysDir.find('\\', 3);
  state.strSysDrive = state.strSysDir.substr(0, 3);
  state.strWinDir = first == std::string::npos ? state.strSysDir : state.strSysDir.substr(0, first + 1);
}

void frmVeltrik::Form_Load() {
  state_.strAppTitle = kAppTitle;
  platform_.SetCaption(state_.strAppTitle);
  DerivePaths(platform_, state_);
  state_.strNewLine = "\r\n";
  GetActiveBrowser(platform_, state_);
  // Pages open as the user: the browser loads the user's profile, which
  // whatever runs as the user can write, so it never gets our rights.
  platform_.LaunchInUserSession(state_.strDownloadCmd, WindowStyle::kMinimizedNoFocus);
}

bool frmVeltrik::Form_Unload() {
  if (fixing_) return false;
  platform_.EndProgram();
  return true;
}

void frmVeltrik::SetButtonsEnabled(bool enabled) {
  for (Control c : {Control::kStart, Control::kAbout, Control::kExit}) {
    platform_.SetControlEnabled(c, enabled);
  }
}

void frmVeltrik::Busy(const std::function<void()>& work) {
  fixing_ = true;
  SetButtonsEnabled(false);
  platform_.SetCaption("Fixing...");
  platform_.DoEvents();  // let the caption show before the work starts
  work();
  platform_.DoEvents();  // clicks that arrived meanwhile meet disabled buttons
  SetButtonsEnabled(true);
  fixing_ = false;
}

void frmVeltrik::cmdStart_Click() {
  if (fixing_) return;
  RepairRequest request;
  request.mode = Mode::kWindow;
  request.started = "the window";
  request.run = [this](const std::function<void()>& work) { Busy(work); };
  RepairResult result = Repair(platform_, request, state_.strWinDir);
  if (result.outcome == Outcome::kRecovery) return FixInstalledWindows(result.installed);
  if (Restarts(result.outcome)) {
    platform_.SetCaption("Restarting...");
    if (const std::string said = RepairMessage(result); !said.empty()) Box(said, kMessageBoxInformation);
    StartRestart(platform_, result);
    if (Restarts(result.outcome)) return;
  }
  // A restart now would cost the user's session and leave Safe Mode broken.
  platform_.SetCaption(state_.strAppTitle);
  Box(RepairMessage(result), kMessageBoxWarning);
}

void frmVeltrik::FixInstalledWindows(const std::vector<std::string>& found) {
  if (found.size() != 1) return Box(InstalledWindowsMessage(found), kMessageBoxInformation);
  const std::string& folder = found.front();
  RepairRequest request;
  request.mode = Mode::kFixOffline;
  request.offline_folder = folder;
  request.started = "the window";
  request.confirm = [&](const ListChoice& choice) {
    return platform_.ShowMessageBox(OfflineQuestion(folder, choice), kMessageBoxQuestion, state_.strAppTitle) ==
           kAnswerYes;
  };
  // A hive of 100 MB takes a while to copy: the window keeps painting meanwhile.
  request.run = [this](const std::function<void()>& work) { Busy([&] { platform_.RunAside(work); }); };
  const RepairResult result = Repair(platform_, request, state_.strWinDir);
  platform_.SetCaption(state_.strAppTitle);
  if (result.outcome == Outcome::kDeclined) return;
  Box(OfflineMessage(folder, result), Whole(result.outcome) ? kMessageBoxInformation : kMessageBoxWarning);
}

void frmVeltrik::cmdAbout_Click() {
  platform_.ShowMessageBox(BuildAboutMessage(state_), kMessageBoxInformation, state_.strAppTitle);
  platform_.LaunchInUserSession(state_.strDownloadCmd, WindowStyle::kMaximized);
}

void frmVeltrik::cmdExit_Click() { platform_.EndProgram(); }

void frmVeltrik::Image1_Click() { platform_.LaunchInUserSession(state_.strHomeCmd, WindowStyle::kMaximized); }

}  // namespace veltrik
