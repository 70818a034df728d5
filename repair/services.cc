#include "repair/services.h"

#include "repair/hive.h"
#include "repair/text.h"

namespace veltrik {

namespace {

// Names and paths are at most this long in a line of the report.
constexpr std::size_t kPathShown = 255;

bool StartsWith(const std::string& text, const std::string& start) {
  return AsciiLower(text.substr(0, start.size())) == AsciiLower(start);
}

// A full path, as the service control manager makes one of an ImagePath.
std::string Absolute(std::string path, const WindowsFiles& files) {
  if (StartsWith(path, "\\??\\")) path.erase(0, 4);
  if (StartsWith(path, "\\SystemRoot\\")) return files.windows + path.substr(11);
  // A driver's "System32\drivers\x.sys" is relative to the Windows folder.
  if (path.size() < 2 || (path[1] != ':' && path[0] != '\\')) return files.windows + "\\" + path;
  return files.Here(path);
}

bool IsProgram(const std::string& token) {
  const std::string end = AsciiLower(token.substr(token.size() < 4 ? 0 : token.size() - 4));
  return end == ".exe" || end == ".sys" || end == ".dll";
}

// " (file not found)", " (outside the Windows and Program Files folders)", both, or "".
std::string Marks(Platform& platform, const WindowsFiles& files, const std::string& file) {
  std::string marks = platform.GetPathKind(file) == PathKind::kFile ? "" : " (file not found)";
  bool inside = StartsWith(file, files.windows + "\\") && !StartsWith(file, files.windows + "\\Temp\\");
  for (const std::string& folder : files.program_files) inside |= !folder.empty() && StartsWith(file, folder + "\\");
  return inside ? marks : marks + " (outside the Windows and Program Files folders)";
}

std::string Shown(Platform& platform, const WindowsFiles& files, const std::string& file) {
  return Printable(file, kPathShown) + Marks(platform, files, file);
}

}  // namespace

std::string WindowsFiles::Here(const std::string& path) const {
  if (drive_named.empty() || windows.size() < 2 || !StartsWith(path, drive_named)) return path;
  return windows.substr(0, 2) + path.substr(drive_named.size());
}

std::string WindowsFiles::Expand(std::string_view text) const {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t open = text.find('%', at), close = open == text.npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) return out.append(text.substr(at));
    out.append(text.substr(at, open - at));
    const std::string name = AsciiLower(text.substr(open + 1, close - open - 1));
    std::string value;
    const std::size_t folder = name == "programfiles" ? 0 : name == "programfiles(x86)" ? 1 : 2;
    if (name == "systemroot" || name == "windir") {
      value = windows;
    } else if (name == "systemdrive") {
      value = windows.substr(0, 2);
    } else if (folder < program_files.size()) {
      value = program_files[folder];
    } else if (!(folder == 2 && variable && variable(std::string(text.substr(open + 1, close - open - 1)), value))) {
      value = std::string(text.substr(open, close - open + 1));  // not known here: left as it is
    }
    out += value;
    at = close + 1;
  }
  return out;
}

void ReadProgramFiles(Platform& platform, const std::string& software, WindowsFiles& files) {
  for (const char* name : {"ProgramFilesDir", "ProgramFilesDir (x86)"}) {
    ValueType type = ValueType::kNone;
    std::string folder;
    if (ReadValue(platform, software + "\\Microsoft\\Windows\\CurrentVersion", name, type, folder) == 0 &&
        (type == ValueType::kString || type == ValueType::kExpandString) && !folder.empty()) {
      while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
      files.program_files.push_back(files.Here(folder));
    }
  }
}

std::string ImageFile(std::string_view image_path, bool expand, const WindowsFiles& files,
                      const std::function<bool(const std::string&)>& is_file) {
  std::string text = expand ? files.Expand(image_path) : std::string(image_path);
  text.erase(0, text.find_first_not_of(' '));
  if (!text.empty() && text[0] == '"') return Absolute(text.substr(1, text.find('"', 1) - 1), files);
  text = Absolute(text, files);
  // Process creation takes the first prefix that ends at a space and names a file.
  for (std::size_t end = text.find(' '); ; end = text.find(' ', end + 1)) {
    const std::string prefix = text.substr(0, end);
    if (is_file(prefix)) return prefix;
    if (is_file(prefix + ".exe")) return prefix + ".exe";
    if (end == std::string::npos) break;
  }
  // None is there: the first that looks like a program, else all of it.
  for (std::size_t end = text.find(' '); end != std::string::npos; end = text.find(' ', end + 1)) {
    if (IsProgram(text.substr(0, end))) return text.substr(0, end);
  }
  return text;
}

std::string WhatItStarts(Platform& platform, const WindowsFiles& files, const std::string& services,
                         const std::string& entry_name) {
  std::string name = entry_name.substr(entry_name.find('\\') + 1);
  if (AsciiLower(name).ends_with(".sys")) name.resize(name.size() - 4);
  const std::string key = services + "\\" + name;
  if (!KeyExists(platform, key)) return " (no service of that name)";
  const auto is_file = [&platform](const std::string& path) { return platform.GetPathKind(path) == PathKind::kFile; };
  ValueType type = ValueType::kNone;
  std::string image;
  std::uint32_t service_type = 0;
  std::string file;
  if (ReadValue(platform, key, "ImagePath", type, image) == 0 &&
      (type == ValueType::kString || type == ValueType::kExpandString)) {
    file = ImageFile(image, type == ValueType::kExpandString, files, is_file);
  } else if (ReadNumber(platform, key, "Type", service_type) && (service_type & 0x0B)) {
    file = files.windows + "\\System32\\drivers\\" + name + ".sys";  // a driver without ImagePath
  } else {
    return " -> (no ImagePath)";
  }
  std::string said = " -> " + Shown(platform, files, file);
  if (!AsciiLower(file).ends_with("\\svchost.exe")) return said;
  // svchost.exe runs the DLL the service names.
  if (ReadValue(platform, key + "\\Parameters", "ServiceDll", type, image) != 0 ||
      (type != ValueType::kString && type != ValueType::kExpandString)) {
    return said + ", no ServiceDll";
  }
  return said + ", ServiceDll " + Shown(platform, files, ImageFile("\"" + image + "\"", true, files, is_file));
}

}  // namespace veltrik
