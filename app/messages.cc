#include "app/messages.h"

namespace veltrik {

namespace {
constexpr char kNl[] = "\r\n";
}

std::string RepairMessage(const RepairResult& result, const std::string& error_text) {
  const BranchCheck& check = result.check;
  switch (result.outcome) {
    case Outcome::kRepaired:  // the restart was refused
      return std::string("Safe Mode is repaired, but Windows could not be restarted.") + kNl +
             "Please save your work and restart the computer yourself." + kNl + result.finding + result.log.line;
    case Outcome::kNotRepaired: break;
    default: return "";
  }
  std::string text = std::string("Safe Mode was NOT repaired, and the computer was not restarted.") + kNl + kNl;
  if (check.total == 0) {
    text += std::string("The stored copy of the SafeBoot branch could not be read.") + kNl;
  } else {
    text += std::to_string(check.missing) + " of " + std::to_string(check.total) + " entries of the SafeBoot branch (" +
            check.windows + " list) are missing." + kNl + "First missing: " + check.first_missing + kNl;
  }
  if (!error_text.empty()) text += "Reason: " + error_text + kNl;
  return text + kNl + "What to try: " + kRunAsAdministrator +
         ", and let your security software allow the change, then click FIX again." + kNl + result.finding +
         result.log.line;
}

std::string BootOptionsMessage() {
  return std::string("Safe Mode is repaired. Windows now restarts into a screen of boot options.") + kNl + kNl +
         "There choose Troubleshoot, Advanced options, Startup Settings, Restart, and then press 4 to start in "
         "Safe Mode." + kNl;
}

std::string InstalledWindowsMessage(const std::vector<std::string>& found) {
  std::string text =
      std::string("Veltrik runs in a recovery environment: it repairs an installed Windows, not this one.") + kNl + kNl;
  if (found.empty()) {
    text +=
        "No installed Windows was found on the fixed drives. If its drive is encrypted with BitLocker, "
        "unlock it first (manage-bde -unlock). Then repair it from the command prompt, for example:";
  } else {
    text += "Several installed Windows were found:";
    for (const std::string& folder : found) text += " " + folder;
    text += std::string(".") + kNl + "Repair the one you mean from the command prompt, for example:";
  }
  return text + kNl + "veltrik.exe /fix /offline " + (found.empty() ? "D:\\Windows" : found[0]) + kNl;
}

std::string OfflineQuestion(const std::string& folder, const ListChoice& choice) {
  return "Veltrik runs in a recovery environment. Repair Safe Mode of the Windows installed in " + folder + " (" +
         choice.Describe() + ")?" + kNl + kNl +
         "Its SYSTEM registry hive is backed up first, in a folder beside it. The computer is not restarted.";
}

std::string OfflineMessage(const std::string& folder, const RepairResult& result) {
  if (!Whole(result.outcome)) {
    return "Safe Mode of the Windows in " + folder + " was NOT repaired." + kNl + kNl + result.report +
           ClosingLine(result, true);
  }
  return "Safe Mode of the Windows in " + folder +
         (result.outcome == Outcome::kNothingToRepair ? " is whole: there was nothing to repair." : " is repaired.") +
         kNl + "Backup of its SYSTEM hive: " + result.backup + kNl + result.log.line + kNl +
         "Restart the computer into that Windows (close Veltrik, then choose Continue or restart), and start Safe "
         "Mode: press F8 while it starts, or on Windows 8 and later choose Troubleshoot, Advanced options, Startup "
         "Settings, Restart, then 4." +
         kNl;
}

std::string RecoveryRefusal(const std::vector<std::string>& found) {
  std::string text =
      std::string("This is a recovery environment: its own registry is gone at the next start, so nothing was "
                  "changed. Repair the installed Windows instead.") + kNl;
  for (const std::string& folder : found) {
    text += "Installed Windows: " + folder + "; to repair it: veltrik.exe /fix /offline " + folder + kNl;
  }
  if (found.empty()) {
    text += std::string("No installed Windows was found on the fixed drives (unlock a BitLocker drive first: "
                        "manage-bde -unlock); then, e.g.: veltrik.exe /fix /offline D:\\Windows") + kNl;
  }
  return text;
}

std::string ClosingLine(const RepairResult& result, bool offline) {
  std::string text;
  if (result.needs_administrator) text += "To fix it: " + std::string(kRunAsAdministrator) + "." + kNl;
  if (offline) return text;  // its report says how to finish
  if (result.outcome == Outcome::kRestarting) return text + "Restarting the computer now." + kNl;
  if (result.outcome == Outcome::kRepaired) return text + "Restart the computer to finish." + kNl;
  return text;
}

}  // namespace veltrik
