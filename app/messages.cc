#include "app/messages.h"

namespace veltrik {

namespace {
constexpr char kNl[] = "\r\n";
}

std::string RepairMessage(const RepairResult& result) {
  std::string text;
  switch (result.outcome) {
    case Outcome::kRestarting:
      if (result.restart != Restart::kBootOptions) return "";
      text = "Safe Mode is repaired.";
      break;
    case Outcome::kReimported:
      if (result.restart != Restart::kBootOptions) return "";
      text = "Safe Mode was whole; its branch was imported again.";
      break;
    case Outcome::kRepaired: text = "Safe Mode is repaired, but Windows could not be restarted."; break;
    case Outcome::kReimportedOnly:
      text = "Safe Mode was whole and its branch was imported again, but Windows could not be restarted.";
      break;
    case Outcome::kNotRepaired:
      text = std::string("Safe Mode was NOT repaired, and the computer was not restarted.") + kNl + kNl + result.state +
             kNl + "What to try: " + kRunAsAdministrator +
             ", and let your security software allow the change, then click FIX again.";
      break;
    default: return "";
  }
  const std::string finish = HowToFinish(result.outcome, result.restart, false, false);
  return text + kNl + (finish.empty() ? "" : kNl + finish) + result.finding + result.log.line;
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
  const char* said = !Whole(result.outcome)                      ? " was NOT repaired."
                     : result.outcome == Outcome::kNothingToRepair ? " is whole: there was nothing to repair."
                                                                   : " is repaired.";
  if (!Whole(result.outcome)) return "Safe Mode of the Windows in " + folder + said + kNl + kNl + result.report;
  // A whole branch needs no listing in a box: its backup, what is left to do, and the log.
  const std::string backup = result.report.substr(0, result.report.find(kNl) + 2);
  return "Safe Mode of the Windows in " + folder + said + kNl + kNl +
         (backup.starts_with("Backup of the SYSTEM hive: ") ? backup : "") +
         HowToFinish(result.outcome, Restart::kNone, true, false) + result.log.line;
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

}  // namespace veltrik
