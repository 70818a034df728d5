// The program file's load configuration. Windows 10 1607 and later take its
// DependentLoadFlags for every DLL that the program and its DLLs import, so
// that none is loaded from the program's own folder, where whoever downloaded
// it can plant one, before the program's first line runs. The linker does
// not point the file's header at it: tools/set_load_config.py does.
#include <windows.h>

#include <cstddef>

#ifdef _WIN64
using LoadConfig = IMAGE_LOAD_CONFIG_DIRECTORY64;
// The size the structure had before Control Flow Guard.
constexpr DWORD kLoadConfigSize = sizeof(LoadConfig);
#else
using LoadConfig = IMAGE_LOAD_CONFIG_DIRECTORY32;
// Windows XP's loader takes a 32-bit load configuration of 64 bytes only.
// It also ends before the SafeSEH fields: a table given empty would reject
// every exception handler.
constexpr DWORD kLoadConfigSize = offsetof(LoadConfig, SEHandlerTable);
static_assert(kLoadConfigSize == 64);
#endif
// The field's name in these headers; it has since become DependentLoadFlags.
static_assert(offsetof(LoadConfig, Reserved1) == (sizeof(void*) == 8 ? 78 : 54));

constexpr LoadConfig MakeLoadConfig() {
  LoadConfig config = {};
  config.Size = kLoadConfigSize;
  config.Reserved1 = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  return config;
}

extern "C" constinit const LoadConfig _load_config_used = MakeLoadConfig();
