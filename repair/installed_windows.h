// The folders of an installed Windows seen from outside it: how a folder is
// spelled, whether it is the running Windows, and where installed ones are.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace veltrik {

enum class FolderKind { kInstalledWindows, kRunningWindows, kNotWindows, kNotFullPath };

// Whether `folder` holds an installed Windows that can be repaired offline: a
// full path (a relative one, or "D:Windows", depends on the current folder),
// not the running Windows (`running_win_dir`, whose hives are in use; the
// same folder by any spelling, drive letter or link), and with a SYSTEM hive
// (loading a missing one would create an empty hive).
FolderKind InspectFolder(Platform& platform, const std::string& folder, const std::string& running_win_dir);

// A folder's path with backslashes only and no trailing one ("D:\\" keeps its own).
std::string TrimmedFolder(std::string folder);

// "D:/Windows\\" -> "D:\\Windows\\System32\\config\\", where its hives are.
std::string ConfigFolder(const std::string& folder);

// "D:\\Windows" of each fixed drive that holds an installed Windows, without
// the running one.
std::vector<std::string> FindInstalledWindows(Platform& platform, const std::string& running_win_dir);

}  // namespace veltrik
