#include "app/form.h"

#include "app/about.h"
#include "app/browser.h"
#include "app/constants.h"
#include "repair/fix.h"
#include "repair/log.h"
#include "repair/offline.h"
#include "repair/report.h"

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

void frmVeltrik::StartBusy() {
  fixing_ = true;
  SetButtonsEnabled(false);
  platform_.SetCaption("Fixing...");
  platform_.DoEvents();  // let the caption show before the work starts
}

void frmVeltrik::EndBusy() {
  platform_.DoEvents();  // clicks that arrived meanwhile meet disabled buttons
  SetButtonsEnabled(true);
  fixing_ = false;
}

void frmVeltrik::cmdStart_Click() {
  if (fixing_) return;
  // A recovery environment's registry is gone at the next start, and a
  // restart there repairs nothing.
  const Environment environment = DetectEnvironment(platform_, state_.strWinDir);
  if (environment == Environment::kRecovery) return FixInstalledWindows();
  const std::string finding = EnvironmentFinding(environment, state_.strNewLine);
  StartBusy();
  const SafeBootTemplate stored = LoadTemplate(platform_, ChooseTemplate(platform_));
  const BranchCheck before = CheckBranch(platform_, stored);
  const BranchCheck check = FixSafeMode(platform_, state_.strWinDir, stored);
  // Never on an incomplete branch: the boot menu would lead to a broken Safe Mode.
  const bool boot_menu = !check.complete() || PrepareBootMenu(platform_);
  EndBusy();
  // The restart that follows ends the program: the record is on the disk first.
  const std::string report =
      BranchReport(platform_, Judge(before, true, &check), before, check, stored, true) + finding;
  const LogPlace log =
      LogRepair(platform_, "the window", stored.id, report,
                check.complete() ? "repaired, restarting the computer" : "NOT repaired, no restart", state_.strWinDir);
  if (!check.complete()) {
    // A restart now would cost the user's session and leave Safe Mode broken.
    platform_.SetCaption(state_.strAppTitle);
    const std::string reason = check.status ? platform_.ErrorText(check.status) : std::string();
    platform_.ShowMessageBox(RepairFailureMessage(check, reason, state_.strNewLine) + finding + log.line,
                             kMessageBoxWarning, state_.strAppTitle);
    return;
  }
  platform_.SetCaption("Restarting...");
  if (!boot_menu) {
    platform_.ShowMessageBox(BootOptionsMessage(state_.strNewLine), kMessageBoxInformation, state_.strAppTitle);
  }
  if (!Restart(platform_, boot_menu ? kRestartCommand : kRestartToBootOptionsCommand)) {
    LogRestartRefused(platform_, log);
    platform_.SetCaption(state_.strAppTitle);
    platform_.ShowMessageBox("Safe Mode is repaired, but Windows could not be restarted." + state_.strNewLine +
                                 "Please save your work and restart the computer yourself." + state_.strNewLine +
                                 finding + log.line,
                             kMessageBoxWarning, state_.strAppTitle);
  }
}

void frmVeltrik::FixInstalledWindows() {
  const std::string& nl = state_.strNewLine;
  const std::vector<std::string> found = FindInstalledWindows(platform_, state_.strWinDir);
  if (found.size() != 1) {
    std::string text =
        "Veltrik runs in a recovery environment: it repairs an installed Windows, not this one." + nl + nl;
    if (found.empty()) {
      text +=
          "No installed Windows was found on the fixed drives. If its drive is encrypted with BitLocker, "
          "unlock it first (manage-bde -unlock). Then repair it from the command prompt, for example:";
    } else {
      text += "Several installed Windows were found:";
      for (const std::string& folder : found) text += " " + folder;
      text += "." + nl + "Repair the one you mean from the command prompt, for example:";
    }
    platform_.ShowMessageBox(text + nl + "veltrik.exe /fix /offline " + (found.empty() ? "D:\\Windows" : found[0]) + nl,
                             kMessageBoxInformation, state_.strAppTitle);
    return;
  }
  const std::string& folder = found.front();
  const OfflineWindows windows = IdentifyOffline(platform_, folder);
  if (!windows.error.empty()) {
    platform_.ShowMessageBox(
        "Safe Mode of the Windows in " + folder + " was NOT repaired." + nl + nl + windows.error + nl,
        kMessageBoxWarning, state_.strAppTitle);
    return;
  }
  if (!platform_.AskYesNo("Veltrik runs in a recovery environment. Repair Safe Mode of the Windows installed in " +
                              folder + " (" + windows.Describe() + ")?" + nl + nl +
                              "Its SYSTEM registry hive is backed up first, in a folder beside it. The computer is "
                              "not restarted.",
                          state_.strAppTitle)) {
    return;
  }
  StartBusy();
  // A hive of 100 MB takes a while to copy: the window keeps painting meanwhile.
  OfflineOutcome outcome;
  platform_.RunAside([&] { outcome = RepairOffline(platform_, folder, state_.strWinDir, true, &windows); });
  EndBusy();
  platform_.SetCaption(state_.strAppTitle);
  const LogPlace log = LogOfflineRepair(platform_, "the window", folder, outcome);
  if (!outcome.repaired()) {
    platform_.ShowMessageBox(
        "Safe Mode of the Windows in " + folder + " was NOT repaired." + nl + nl + outcome.report + log.line,
        kMessageBoxWarning, state_.strAppTitle);
    return;
  }
  platform_.ShowMessageBox(
      "Safe Mode of the Windows in " + folder +
          (outcome.exit_code == kExitOk ? " is whole: there was nothing to repair." : " is repaired.") + nl +
          "Backup of its SYSTEM hive: " + outcome.backup + nl + log.line + nl +
          "Restart the computer into that Windows (close Veltrik, then choose Continue or restart), and start Safe "
          "Mode: press F8 while it starts, or on Windows 8 and later choose Troubleshoot, Advanced options, Startup "
          "Settings, Restart, then 4." +
          nl,
      kMessageBoxInformation, state_.strAppTitle);
}

void frmVeltrik::cmdAbout_Click() {
  platform_.ShowMessageBox(BuildAboutMessage(state_), kMessageBoxInformation, state_.strAppTitle);
  platform_.LaunchInUserSession(state_.strDownloadCmd, WindowStyle::kMaximized);
}

void frmVeltrik::cmdExit_Click() { platform_.EndProgram(); }

void frmVeltrik::Image1_Click() { platform_.LaunchInUserSession(state_.strHomeCmd, WindowStyle::kMaximized); }

}  // namespace veltrik
