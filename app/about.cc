#include "app/about.h"

#include <array>

#include "app/constants.h"

namespace veltrik {

std::string BuildAboutMessage(const WindowState& state) {
  const std::string& nl = state.strNewLine;
  std::array<std::string, 14> entry;  // 12 and 13 stay empty
  entry[0] = state.strAppTitle + nl;
  entry[1] = std::string(kMakerWebHost) + nl + nl;
  entry[2] = "This program is free to use and to pass on unchanged." + nl;
  entry[3] = "It comes without any warranty; you use it at your own risk." + nl;
  entry[4] = std::string("Copyright (C) ") + kMakerName + ". All rights reserved." + nl + nl;
  entry[5] = "Safe Mode can be easly repaired by Veltrik." + nl;
  entry[6] = "But there's other much more problems" + nl;
  entry[7] = "which Veltrik cannot fix!" + nl;
  entry[8] = "If Veltrik helped you to fix Safe Mode" + nl;
  entry[9] = "and you need more fixes to be done" + nl;
  entry[10] = "you may try our fine Software;" + nl + nl;
  entry[11] = "QVT - Morvane Antiviral Toolkit" + nl;
  std::string message;
  for (int i = 0; i <= 11; ++i) message += entry[i];
  return message;
}

}  // namespace veltrik
