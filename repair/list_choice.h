// Which Windows' list a repair uses, decided once from the best evidence at
// hand, and said the same way in the report and the record.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace veltrik {

struct ListChoice {
  enum class Basis {
    kVersion,         // the running Windows' version, or an installed one's SOFTWARE hive
    kKernel,          // an installed Windows' own System32\ntoskrnl.exe
    kProfilesFolder,  // no version: a top-level "Users" folder means Vista's list
  };
  int template_id = 0;
  WindowsVersion version;  // major 0 where unknown
  Basis basis = Basis::kVersion;
  std::string no_version;  // why no version was read, e.g. "no SOFTWARE hive"
  std::string error;       // a report line: this Windows cannot be repaired, nothing may be written
  bool needs_administrator = false;  // `error` for want of an administrator's privileges

  // "version 10.0 (build 22631), Windows 11, the Windows 10 list" and the like.
  std::string Describe() const;
  // The report's line where the list is another Windows' (11 gets 10's); "" otherwise.
  std::string ReportLine() const;
  // Windows 8 and later hide the F8 menu.
  bool HidesBootMenu() const { return version.major > 6 || (version.major == 6 && version.minor >= 2); }
};

// The list of the Windows this is, by the version the system reports: 5.x XP,
// 6.0 Vista, 6.1 7, 6.2 and 6.3 8.1, later 10. Where the version cannot be
// read, Vista's where user profiles live in a top-level "Users" folder, XP's
// otherwise.
int TemplateForVersion(std::uint32_t major, std::uint32_t minor);
int TemplateByProfilesFolder(const std::string& profiles);
// The running Windows', its version read once.
ListChoice ChooseRunningList(Platform& platform);
// An installed Windows': by the version in its SOFTWARE hive; where it has
// none, by its kernel file's version; last by its drive's profiles folder.
ListChoice ChooseOfflineList(Platform& platform, const std::string& folder);

// The product version in a program file's version resource; false where it has none.
bool FileVersion(const Bytes& file, WindowsVersion& version);

}  // namespace veltrik
