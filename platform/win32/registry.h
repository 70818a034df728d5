// The scripting shell object's registry methods, on the registry API, so that
// the repair works where Windows Script Host has been disabled.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace veltrik::win32 {

// Reads a string value in the 64-bit view; `name` empty reads the default value.
bool ReadStringValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& value);

std::unique_ptr<ShellObject> MakeRegistryShell();

}  // namespace veltrik::win32
