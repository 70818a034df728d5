#include "repair/hive.h"

#include <cstdlib>

namespace veltrik {

std::int32_t ReadValue(Platform& platform, const std::string& key, const char* name, ValueType& type,
                       std::string& data) {
  return platform.ReadRegistryEntry({key, name, ""}, type, data);
}

bool KeyExists(Platform& platform, const std::string& key) {
  ValueType type = ValueType::kNone;
  std::string data;
  return platform.ReadRegistryEntry({key, std::nullopt, ""}, type, data) == 0;
}

bool ReadNumber(Platform& platform, const std::string& key, const char* name, std::uint32_t& number) {
  ValueType type = ValueType::kNone;
  std::string data;
  if (ReadValue(platform, key, name, type, data) != 0 || type != ValueType::kDword) return false;
  number = static_cast<std::uint32_t>(std::strtoul(data.c_str(), nullptr, 10));
  return true;
}

LoadedHive::LoadedHive(Platform& platform, const std::string& file, const std::string& stem) : platform_(platform) {
  for (int n = 1; n <= 100 && name_.empty(); ++n) {
    const std::string candidate = stem + (n > 1 ? "-" + std::to_string(n) : "");
    if (!KeyExists(platform, kMachine + candidate)) name_ = candidate;
  }
  status_ = name_.empty() ? kAlreadyExists : platform.LoadHive(name_, file);
}

std::int32_t LoadedHive::Unload() {
  if (status_ != 0 || unloaded_) return 0;
  unloaded_ = true;
  return platform_.UnloadHive(name_);
}

}  // namespace veltrik
