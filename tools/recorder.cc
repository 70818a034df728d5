// A stand-in for the programs veltrik.exe starts (browser, shutdown, and
// planted copies of regedit and shutdown). It appends one line to the file
// named by VELTRIK_RECORD and exits, or hangs when VELTRIK_HANG names it.
// Where VELTRIK_SNAPSHOT names a file, it first copies that file as it is
// then to the same name with ".seen" added.
//
// Line: program path | wShowWindow | regedit processes running | current
// folder | size of the file its last argument names (-1: none) | the program
// that started it | command line
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#include <tlhelp32.h>

#include <map>
#include <string>

namespace {

// How many processes run `name`, and the name of our parent process.
int CountProcesses(const wchar_t* name, std::wstring& parent) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  DWORD parent_id = 0;
  std::map<DWORD, std::wstring> names;
  for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry)) {
    if (::lstrcmpiW(entry.szExeFile, name) == 0) ++count;
    if (entry.th32ProcessID == ::GetCurrentProcessId()) parent_id = entry.th32ParentProcessID;
    names[entry.th32ProcessID] = entry.szExeFile;
  }
  ::CloseHandle(snapshot);
  parent = names.count(parent_id) ? names[parent_id] : L"?";
  return count;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t snapshot[MAX_PATH];
  if (::GetEnvironmentVariableW(L"VELTRIK_SNAPSHOT", snapshot, MAX_PATH - 8)) {
    ::CopyFileW(snapshot, (std::wstring(snapshot) + L".seen").c_str(), FALSE);
  }
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path = self;
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  wchar_t folder[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  // What an importer would have been given to read.
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  WIN32_FILE_ATTRIBUTE_DATA file = {};
  const bool found = argv && argc > 1 && ::GetFileAttributesExW(argv[argc - 1], GetFileExInfoStandard, &file) &&
                     !(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  std::wstring parent;
  const int regedits = CountProcesses(L"regedit.exe", parent);
  const std::wstring line = path + L"|" + std::to_wstring(show) + L"|" + std::to_wstring(regedits) + L"|" + folder +
                            L"|" + std::to_wstring(found ? static_cast<long long>(file.nFileSizeLow) : -1LL) + L"|" +
                            parent + L"|" + ::GetCommandLineW() + L"\r\n";

  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"VELTRIK_RECORD", log, MAX_PATH)) {
    HANDLE file = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
      std::string utf8(static_cast<size_t>(n), '\0');
      ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), n, nullptr, nullptr);
      DWORD written = 0;
      ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
      ::CloseHandle(file);
    }
  }
  wchar_t hang[MAX_PATH];
  if (::GetEnvironmentVariableW(L"VELTRIK_HANG", hang, MAX_PATH) && ::lstrcmpiW(hang, name.c_str()) == 0) {
    ::Sleep(INFINITE);
  }
  return 0;
}
