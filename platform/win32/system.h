// Where the system's own files are, and the privileges an administrator
// holds, for the operations of every area.
#pragma once

#include <windows.h>

#include <string>

namespace veltrik::win32 {

// The system folder, and the system Windows folder (not a per-user one on
// terminal servers); "" where they cannot be read.
std::wstring SystemFolder();
std::wstring WindowsFolder();
bool IsFile(const std::wstring& path);

// An administrator holds some privileges disabled; the calls that need one
// look for it enabled in the caller's own token. A status where the token
// does not hold it.
DWORD EnablePrivilege(const wchar_t* name);

}  // namespace veltrik::win32
