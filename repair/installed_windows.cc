#include "repair/installed_windows.h"

#include "repair/branch.h"

namespace veltrik {

namespace {

// A spelling of `folder` as the file system reads it: without the "\\?\"
// prefix, trailing dots, "\." parts or trailing backslashes, in lower case.
std::string Spelling(std::string folder) {
  folder = AsciiLower(TrimmedFolder(folder));
  if (folder.rfind("\\\\?\\", 0) == 0) folder.erase(0, 4);
  for (std::size_t at; (at = folder.find("\\.\\")) != std::string::npos;) folder.erase(at, 2);
  while (folder.size() > 3 && (folder.back() == '.' || folder.back() == '\\' || folder.back() == ' ')) {
    folder.pop_back();
  }
  return folder;
}

// The same folder: by identity where both can be opened, by spelling else.
bool SameFolder(Platform& platform, const std::string& a, const std::string& b) {
  FileIdentity first, second;
  if (platform.GetFileIdentity(a, first) && platform.GetFileIdentity(b, second)) return first == second;
  return Spelling(a) == Spelling(b);
}

}  // namespace

std::string TrimmedFolder(std::string folder) {
  for (char& c : folder) c = c == '/' ? '\\' : c;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string ConfigFolder(const std::string& folder) { return TrimmedFolder(folder) + "\\System32\\config\\"; }

FolderKind InspectFolder(Platform& platform, const std::string& folder, const std::string& running_win_dir) {
  const std::string path = TrimmedFolder(folder);
  const char letter = static_cast<char>(path.size() < 3 ? 0 : path[0] | 0x20);
  const bool drive = letter >= 'a' && letter <= 'z' && path.substr(1, 2) == ":\\";
  if (!drive && path.rfind("\\\\", 0) != 0) return FolderKind::kNotFullPath;
  if (SameFolder(platform, path, running_win_dir)) return FolderKind::kRunningWindows;
  return platform.GetPathKind(ConfigFolder(folder) + "SYSTEM") == PathKind::kFile ? FolderKind::kInstalledWindows
                                                                                  : FolderKind::kNotWindows;
}

std::vector<std::string> FindInstalledWindows(Platform& platform, const std::string& running_win_dir) {
  std::vector<std::string> found;
  for (const std::string& drive : platform.FixedDrives()) {
    const std::string folder = TrimmedFolder(drive) + (drive.empty() || drive.back() == '\\' ? "" : "\\") + "Windows";
    if (InspectFolder(platform, folder, running_win_dir) == FolderKind::kInstalledWindows) found.push_back(folder);
  }
  return found;
}

}  // namespace veltrik
