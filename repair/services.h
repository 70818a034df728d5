// What a foreign entry of SafeBoot starts: the file of the service it names,
// found as the service control manager finds it, and whether a technician
// should look twice at it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace veltrik {

// Where a Windows' files are, seen from here: the running Windows, or an
// installed one whose drive has another letter now.
struct WindowsFiles {
  std::string windows;                     // its folder, e.g. C:\WINDOWS, without a trailing backslash
  std::string drive_named;                 // offline: the drive its own paths name (C:), found as `windows`' drive
  std::vector<std::string> program_files;  // ProgramFilesDir and ProgramFilesDir (x86), as found from here
  // The running Windows' other environment variables; unset offline.
  std::function<bool(const std::string& name, std::string& value)> variable;

  // `path` as found from here: a path on the drive it names, on the drive of `windows`.
  std::string Here(const std::string& path) const;
  // %SystemRoot%, %windir%, %SystemDrive%, %ProgramFiles% and %ProgramFiles(x86)% as this Windows has them,
  // any other variable as `variable` gives it; one that is not known stays as it is.
  std::string Expand(std::string_view text) const;
};

// Fills `files.program_files` from the SOFTWARE hive at `software` (its
// ProgramFilesDir and ProgramFilesDir (x86)), as found from here.
void ReadProgramFiles(Platform& platform, const std::string& software, WindowsFiles& files);

// The file a service's ImagePath runs: \SystemRoot\..., a path relative to
// the Windows folder, \??\C:\..., a quoted path with arguments, or an
// unquoted one whose first prefix ending at a space (with or without ".exe")
// is a file, as process creation takes it; `expand` for a REG_EXPAND_SZ.
std::string ImageFile(std::string_view image_path, bool expand, const WindowsFiles& files,
                      const std::function<bool(const std::string&)>& is_file);

// The whole text after a foreign entry's name and default value: " -> " and
// the file its service runs (and a svchost service's ServiceDll), each with
// "(file not found)" or "(outside the Windows and Program Files folders)"
// where that is so; " (no service of that name)" where `services` (the
// control set's Services key) has none. Registry text shown escaped.
std::string WhatItStarts(Platform& platform, const WindowsFiles& files, const std::string& services,
                         const std::string& entry_name);

}  // namespace veltrik
