// Registry reads the repair makes beside the branch check, and a hive file
// loaded for as long as it is needed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace veltrik {

inline constexpr char kMachine[] = "HKEY_LOCAL_MACHINE\\";
inline constexpr std::int32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS

std::int32_t ReadValue(Platform& platform, const std::string& key, const char* name, ValueType& type,
                       std::string& data);
bool KeyExists(Platform& platform, const std::string& key);
// A DWORD value's number.
bool ReadNumber(Platform& platform, const std::string& key, const char* name, std::uint32_t& number);

// A hive loaded under a name of our own that no key has yet, unloaded when
// it goes out of scope at the latest, on every path.
class LoadedHive {
 public:
  LoadedHive(Platform& platform, const std::string& file, const std::string& stem);
  ~LoadedHive() { Unload(); }
  LoadedHive(const LoadedHive&) = delete;
  LoadedHive& operator=(const LoadedHive&) = delete;

  std::int32_t status() const { return status_; }
  std::string key() const { return kMachine + name_; }
  std::int32_t Unload();

 private:
  Platform& platform_;
  std::string name_;
  std::int32_t status_ = 0;
  bool unloaded_ = false;
};

}  // namespace veltrik
