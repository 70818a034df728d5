#include "platform/win32/registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32/scoped.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"

namespace veltrik::win32 {

namespace {

// The 64-bit view, so that the x86 build on 64-bit Windows reads and writes
// the same keys as the x64 build. 32-bit Windows ignores the flag.
constexpr REGSAM kView = KEY_WOW64_64KEY;

struct RegPath {
  HKEY root = nullptr;
  std::wstring key;
  std::wstring value;  // empty: the key's default value
};

// "HKLM\Software\X\Name" -> HKLM, "Software\X", "Name"; "...\X\" names X's default.
bool Parse(std::string_view path, RegPath& out) {
  const std::wstring wide = Wide(path);
  const size_t first = wide.find(L'\\');
  const size_t last = wide.rfind(L'\\');
  if (first == std::wstring::npos) return false;
  const std::wstring hive = wide.substr(0, first);
  static const struct {
    const wchar_t* name;
    HKEY root;
  } kHives[] = {{L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS}};
  for (const auto& h : kHives) {
    if (::lstrcmpiW(hive.c_str(), h.name) == 0) out.root = h.root;
  }
  if (!out.root) return false;
  out.key = first == last ? std::wstring() : wide.substr(first + 1, last - first - 1);
  out.value = wide.substr(last + 1);
  return true;
}

// "HKEY_LOCAL_MACHINE\A\B" -> HKLM, "A\B": the whole path after the hive is the key.
bool ParseKey(const std::string& key, RegPath& out) { return Parse(key + "\\", out) && !out.key.empty(); }

// Reads a value of an open key. Most values fit the first buffer, so one
// call usually does.
LSTATUS QueryValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
  data.resize(520);
  LSTATUS status = ERROR_MORE_DATA;
  // The value may grow between two calls; ask again while it does.
  for (int attempt = 0; attempt < 4 && status == ERROR_MORE_DATA; ++attempt) {
    DWORD got = static_cast<DWORD>(data.size());
    status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &got);
    data.resize(status == ERROR_MORE_DATA ? got + 2 : got);
  }
  return status;
}

// A string value's text; stored strings need not end in NUL.
std::wstring TextOf(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

// Opens `key` for reading and, given a `name`, reads that value.
LSTATUS ReadValue(HKEY root, const std::wstring& key, const std::wstring* name, DWORD& type,
                  std::vector<BYTE>& data) {
  ScopedKey k;
  const LSTATUS status = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | kView, k.receive());
  return status != ERROR_SUCCESS || !name ? status : QueryValue(k.get(), *name, type, data);
}

// Creates `key` as needed and, given a `name`, sets that value.
LSTATUS SetValue(HKEY root, const std::wstring& key, const std::wstring* name, DWORD type, const void* data,
                 DWORD size) {
  ScopedKey k;
  const LSTATUS status = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_SET_VALUE | kView, nullptr, k.receive(), nullptr);
  if (status != ERROR_SUCCESS || !name) return status;
  return ::RegSetValueExW(k.get(), name->c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

class RegistryShell : public ShellObject {
 public:
  bool RegRead(std::string_view path, std::string& value) override {
    RegPath p;
    std::wstring text;
    if (!Parse(path, p) || !ReadStringValue(p.root, p.key, p.value, text)) return false;
    value = Utf8(text);
    return true;
  }

  bool RegWrite(std::string_view path, std::int32_t value, std::string_view type) override {
    RegPath p;
    if (type != "REG_DWORD" || !Parse(path, p) || p.value.empty()) return false;
    const DWORD data = static_cast<DWORD>(value);
    return SetValue(p.root, p.key, &p.value, REG_DWORD, &data, sizeof data) == ERROR_SUCCESS;
  }
};

}  // namespace

bool ReadStringValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& value) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (ReadValue(root, key, &name, type, data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  value = TextOf(data);
  return true;
}

std::unique_ptr<ShellObject> MakeRegistryShell() { return std::make_unique<RegistryShell>(); }

std::int32_t Win32Platform::ReadRegistryEntry(const RegistryEntry& entry, ValueType& type, std::string& data) {
  RegPath p;
  if (!ParseKey(entry.key, p)) return ERROR_INVALID_PARAMETER;
  ScopedKey key;
  LSTATUS status = ::RegOpenKeyExW(p.root, p.key.c_str(), 0, KEY_QUERY_VALUE | kView, key.receive());
  if (status != ERROR_SUCCESS || !entry.name) return status;
  DWORD raw_type = REG_NONE;
  std::vector<BYTE> raw;
  status = QueryValue(key.get(), Wide(*entry.name), raw_type, raw);
  if (status == ERROR_FILE_NOT_FOUND) type = ValueType::kAbsent;
  if (status != ERROR_SUCCESS) return status;
  type = static_cast<ValueType>(raw_type);
  DWORD number = 0;
  if (raw_type == REG_SZ || raw_type == REG_EXPAND_SZ) {
    data = Utf8(TextOf(raw));
  } else if (raw_type == REG_MULTI_SZ) {
    // Its texts each end in NUL; whatever follows the list's closing NUL is not part of it.
    std::wstring text(raw.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), raw.data(), text.size() * sizeof(wchar_t));
    const size_t end = text.find(std::wstring(2, L'\0'));
    data = Utf8(text.substr(0, end == std::wstring::npos ? text.size() : end + 1));
  } else if (raw_type == REG_DWORD && raw.size() == sizeof number) {
    std::memcpy(&number, raw.data(), sizeof number);
    data = std::to_string(number);
  } else {
    data.assign(raw.begin(), raw.end());
  }
  return ERROR_SUCCESS;
}

std::int32_t Win32Platform::WriteRegistryEntry(const RegistryEntry& entry) {
  RegPath p;
  if (!ParseKey(entry.key, p)) return ERROR_INVALID_PARAMETER;
  const std::wstring name = entry.name ? Wide(*entry.name) : std::wstring();
  if (entry.type == ValueType::kDword) {
    const DWORD number = std::strtoul(entry.data.c_str(), nullptr, 10);
    return SetValue(p.root, p.key, entry.name ? &name : nullptr, REG_DWORD, &number, sizeof number);
  }
  const std::wstring data = Wide(entry.data);
  return SetValue(p.root, p.key, entry.name ? &name : nullptr, REG_SZ, data.c_str(),
                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

namespace {

// Under Wine every registry call is a round trip to the server process, and
// most of it is waiting for the other side to be scheduled; a few readers
// overlap those waits (236 entries: about 15 ms instead of 30). On Windows
// the calls are cheap either way.
constexpr std::size_t kReaders = 4;

struct ReadShare {
  Win32Platform* platform;
  const std::vector<RegistryEntry>* entries;
  std::vector<RegistryReading>* out;
  std::size_t first;
};

DWORD WINAPI ReadEvery(void* param) {
  const ReadShare& share = *static_cast<const ReadShare*>(param);
  for (std::size_t i = share.first; i < share.entries->size(); i += kReaders) {
    RegistryReading& reading = (*share.out)[i];
    reading.status = share.platform->ReadRegistryEntry((*share.entries)[i], reading.type, reading.data);
  }
  return 0;
}

}  // namespace

std::vector<RegistryReading> Win32Platform::ReadRegistryEntries(const std::vector<RegistryEntry>& entries) {
  std::vector<RegistryReading> out(entries.size());
  ReadShare shares[kReaders];
  HANDLE threads[kReaders];
  DWORD started = 0;
  for (std::size_t k = 0; k < kReaders; ++k) {
    shares[k] = {this, &entries, &out, k};
    // Share 0, and any share whose thread cannot start, is read right here.
    HANDLE thread = k ? ::CreateThread(nullptr, 0, ReadEvery, &shares[k], 0, nullptr) : nullptr;
    if (thread) {
      threads[started++] = thread;
    } else {
      ReadEvery(&shares[k]);
    }
  }
  if (started) ::WaitForMultipleObjects(started, threads, TRUE, INFINITE);
  for (DWORD k = 0; k < started; ++k) ::CloseHandle(threads[k]);
  return out;
}

std::int32_t Win32Platform::EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) {
  RegPath p;
  if (!ParseKey(key, p)) return ERROR_INVALID_PARAMETER;
  ScopedKey k;
  LSTATUS status = ::RegOpenKeyExW(p.root, p.key.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | kView, k.receive());
  // 255 characters is the limit of the registry API; a key made through the
  // native API may be longer, and must not end the listing.
  std::vector<wchar_t> name(256);
  for (DWORD index = 0; status == ERROR_SUCCESS;) {
    DWORD length = static_cast<DWORD>(name.size());
    status = ::RegEnumKeyExW(k.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA && name.size() < 32768) {
      name.resize(name.size() * 2);
      status = ERROR_SUCCESS;
      continue;
    }
    if (status == ERROR_SUCCESS) names.push_back(Utf8(std::wstring(name.data(), length)));
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) status = ERROR_SUCCESS, ++index;
  }
  return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

std::int32_t Win32Platform::EnumerateValues(const std::string& key, std::vector<RegistryValue>& values) {
  RegPath p;
  if (!ParseKey(key, p)) return ERROR_INVALID_PARAMETER;
  ScopedKey k;
  LSTATUS status = ::RegOpenKeyExW(p.root, p.key.c_str(), 0, KEY_QUERY_VALUE | kView, k.receive());
  std::vector<wchar_t> name(256);
  std::vector<BYTE> data(1024);
  for (DWORD index = 0; status == ERROR_SUCCESS;) {
    DWORD name_length = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
    status = ::RegEnumValueW(k.get(), index, name.data(), &name_length, nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      // Names are at most 16383 characters, data as long as it is: make room and ask again.
      if (name.size() < 32768) name.resize(name.size() * 2);
      data.resize(std::max<std::size_t>(data.size(), size + 2));
      status = ERROR_SUCCESS;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    values.push_back({Utf8(std::wstring(name.data(), name_length)), static_cast<ValueType>(type),
                      Bytes(data.begin(), data.begin() + size)});
    ++index;
  }
  return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

namespace {

// RegDeleteKeyExW, which deletes in the 64-bit view from the x86 build, is
// not in XP's advapi32: there RegDeleteKeyW, whose view is the only one.
LSTATUS DeleteKey(HKEY parent, const wchar_t* name) {
  using DeleteKeyEx = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  // Looked up per call: a function-local static would bring in the library's guard machinery.
  const auto ex = reinterpret_cast<DeleteKeyEx>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW")));
  return ex ? ex(parent, name, kView, 0) : ::RegDeleteKeyW(parent, name);
}

// Its subkeys first, deepest first; RegDeleteTreeW is not in XP.
LSTATUS DeleteTree(HKEY parent, const std::wstring& name, int depth) {
  ScopedKey k;
  LSTATUS status = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | DELETE | kView, k.receive());
  if (status != ERROR_SUCCESS) return status;
  std::vector<wchar_t> child(256);
  // The registry nests at most 512 levels; a deeper one is no key of ours.
  while (depth < 512) {
    DWORD length = static_cast<DWORD>(child.size());
    status = ::RegEnumKeyExW(k.get(), 0, child.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA && child.size() < 32768) {
      child.resize(child.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    if ((status = DeleteTree(k.get(), std::wstring(child.data(), length), depth + 1)) != ERROR_SUCCESS) return status;
  }
  if (status != ERROR_NO_MORE_ITEMS) return status;
  k.reset();
  return DeleteKey(parent, name.c_str());
}

}  // namespace

std::int32_t Win32Platform::DeleteKeyTree(const std::string& key) {
  RegPath p;
  if (!ParseKey(key, p)) return ERROR_INVALID_PARAMETER;
  const std::size_t last = p.key.rfind(L'\\');
  ScopedKey parent;
  const std::wstring parent_key = last == std::wstring::npos ? std::wstring() : p.key.substr(0, last);
  const LSTATUS status =
      ::RegOpenKeyExW(p.root, parent_key.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | DELETE | kView, parent.receive());
  if (status != ERROR_SUCCESS) return status;
  return DeleteTree(parent.get(), last == std::wstring::npos ? p.key : p.key.substr(last + 1), 0);
}

std::int32_t Win32Platform::LoadHive(std::string_view name, std::string_view file) {
  return ::RegLoadKeyW(HKEY_LOCAL_MACHINE, Wide(name).c_str(), Wide(file).c_str());
}

std::int32_t Win32Platform::UnloadHive(std::string_view name) {
  return ::RegUnLoadKeyW(HKEY_LOCAL_MACHINE, Wide(name).c_str());
}

}  // namespace veltrik::win32
