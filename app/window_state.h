// The window's record of texts, filled once when the window is created.
#pragma once

#include <cstdint>
#include <string>

namespace veltrik {

struct WindowState {
  std::string strAppTitle;        // caption text at start
  std::string strHomeCmd;         // opens the maker's home page in the browser
  std::string strDownloadCmd;     // opens the maker's download page in the browser
  std::string strNewLine;         // CR LF, for message text
  std::string strWinDir;          // Windows directory with a trailing backslash
  std::string strSysDrive;        // system drive root such as "C:\"
  std::string strSysDir;          // system directory with a trailing backslash
  std::int32_t lngSysDirLen = 0;  // character count the system-directory query returned
};

}  // namespace veltrik
