// The platform's file operations.
#include <vector>

#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"

namespace veltrik::win32 {

namespace {

constexpr DWORD kMaxReadBytes = 64u << 20;  // far above any file the program reads

// A folder in place of a work file's name is taken over only when empty, as
// removing it then loses nothing.
bool RemoveEmptyFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         ::RemoveDirectoryW(path.c_str());
}

// A leftover file of an earlier run that is read-only, hidden or marked as a
// system file may be taken over; a folder of that name is never touched.
bool ClearBlockingAttributes(const std::wstring& path) {
  constexpr DWORD kBlocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) || !(attributes & kBlocking)) {
    return false;
  }
  return ::SetFileAttributesW(path.c_str(), attributes & ~kBlocking) != 0;
}

}  // namespace

bool Win32Platform::WriteWholeFile(std::string_view path, const Bytes& data) {
  const std::wstring wpath = Wide(path);
  auto open = [&] {
    return ScopedFile(
        ::CreateFileW(wpath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  ScopedFile file = open();
  if (!file && ::GetLastError() == ERROR_ACCESS_DENIED &&
      (ClearBlockingAttributes(wpath) || RemoveEmptyFolder(wpath))) {
    file = open();
  }
  if (!file) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                  written == data.size();
  file.reset();
  if (!ok) ::DeleteFileW(wpath.c_str());  // never leave half a file to be imported
  return ok;
}

bool Win32Platform::ReadWholeFile(std::string_view path, Bytes& data) {
  ScopedFile file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxReadBytes) return false;
  Bytes buffer(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
      got != buffer.size()) {
    return false;
  }
  data = std::move(buffer);
  return true;
}

bool Win32Platform::RemoveFile(std::string_view path) {
  const std::wstring wpath = Wide(path);
  if (::DeleteFileW(wpath.c_str())) return true;
  if (::GetLastError() == ERROR_ACCESS_DENIED && ClearBlockingAttributes(wpath) && ::DeleteFileW(wpath.c_str()))
    return true;
  // Still held open by a hung importer: it goes at the restart that follows.
  if (IsFile(wpath)) ::MoveFileExW(wpath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

PathKind Win32Platform::GetPathKind(std::string_view path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kNone;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kFolder : PathKind::kFile;
}

bool Win32Platform::GetFileIdentity(std::string_view path, FileIdentity& identity) {
  // A folder opens only with backup semantics; reading its attributes needs no other right.
  ScopedFile file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return false;
  identity = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

bool Win32Platform::RemoveFolder(std::string_view path) { return ::RemoveDirectoryW(Wide(path).c_str()) != 0; }

std::int32_t Win32Platform::CreateFolder(std::string_view path) {
  return ::CreateDirectoryW(Wide(path).c_str(), nullptr) ? 0 : static_cast<std::int32_t>(::GetLastError());
}

std::int32_t Win32Platform::CopyWholeFile(std::string_view from, std::string_view to) {
  return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), TRUE) ? 0 : static_cast<std::int32_t>(::GetLastError());
}

std::int32_t Win32Platform::AppendToFile(std::string_view path, std::string_view text, std::uint64_t limit) {
  const std::wstring wpath = Wide(path);
  // The name itself is opened, never what a link there points at, and the
  // check and the write share that handle: the folder may be the user's
  // Downloads, where anything the user runs can plant a link to a system file.
  const auto open = [&wpath](ScopedFile& file) -> std::int32_t {
    file =
        ScopedFile(::CreateFileW(wpath.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(wpath.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? kStatusLink
                 : static_cast<std::int32_t>(error);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.get(), &info)) return static_cast<std::int32_t>(::GetLastError());
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        info.nNumberOfLinks > 1) {
      return kStatusLink;
    }
    return 0;
  };
  ScopedFile file;
  if (const std::int32_t status = open(file)) return status;
  LARGE_INTEGER size;
  if (::GetFileSizeEx(file.get(), &size) && static_cast<std::uint64_t>(size.QuadPart) >= limit) {
    file.reset();
    const std::wstring old = wpath + L".old";
    if (!::MoveFileExW(wpath.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return static_cast<std::int32_t>(::GetLastError());
    }
    if (const std::int32_t status = open(file)) return status;
  }
  DWORD written = 0;
  if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !::FlushFileBuffers(file.get())) {
    return static_cast<std::int32_t>(::GetLastError());
  }
  return 0;
}

std::int32_t Win32Platform::WriteNewFile(std::string_view path, const Bytes& data) {
  const std::wstring wpath = Wide(path);
  // CREATE_NEW with the link itself opened: whatever stands at the name, a
  // link planted there included, makes it fail rather than be written through.
  ScopedFile file(::CreateFileW(wpath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return static_cast<std::int32_t>(::GetLastError());
  DWORD written = 0;
  if (::WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
      written == data.size() && ::FlushFileBuffers(file.get())) {
    return 0;
  }
  const auto status = static_cast<std::int32_t>(::GetLastError());
  file.reset();
  ::DeleteFileW(wpath.c_str());
  return status ? status : ERROR_WRITE_FAULT;
}

bool Win32Platform::GetEnvironmentValue(std::string_view name, std::string& value) {
  std::vector<wchar_t> buffer(1024);
  const std::wstring wname = Wide(name);
  DWORD got = ::GetEnvironmentVariableW(wname.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (got >= buffer.size()) {
    buffer.resize(got + 1);
    got = ::GetEnvironmentVariableW(wname.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  if (got == 0 || got >= buffer.size()) return false;
  value = Utf8(std::wstring(buffer.data(), got));
  return true;
}

std::vector<std::string> Win32Platform::FixedDrives() {
  // An empty card reader or DVD drive must not raise a "no disk" box.
  const UINT mode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::vector<std::string> drives;
  const DWORD present = ::GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
    if ((present >> letter & 1) && ::GetDriveTypeW(root) == DRIVE_FIXED) drives.push_back(Utf8(root));
  }
  ::SetErrorMode(mode);
  return drives;
}

}  // namespace veltrik::win32
