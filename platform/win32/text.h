// Conversions between the core's UTF-8 and Windows' UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace veltrik::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace veltrik::win32
