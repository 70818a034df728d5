// The stored SafeBoot templates and their conversion into an importable .reg file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "resources/resource.h"

namespace veltrik {

// Each Windows' own list of what SafeBoot holds.
inline constexpr int kTemplateXp = IDR_TEMPLATE_XP;         // XP
inline constexpr int kTemplateVista = IDR_TEMPLATE_VISTA7;  // Vista
inline constexpr int kTemplateWin7 = IDR_TEMPLATE_WIN7;     // 7
inline constexpr int kTemplateWin8 = IDR_TEMPLATE_WIN8;     // 8 and 8.1
inline constexpr int kTemplateWin10 = IDR_TEMPLATE_WIN10;   // 10, 11 and later

// A stored template as the repair uses it.
struct SafeBootTemplate {
  int id = 0;
  const char* windows = "";  // whose list it is, e.g. "Windows 10"
  bool loaded = false;
  Bytes data;
  std::vector<RegistryEntry> entries;  // what it adds, in its order
};

// Whose list template `id` is, e.g. "Windows 10"; "" for no template.
const char* TemplateWindows(int id);

// Loads template `id` and reads the entries it adds through the same
// conversion the .reg file goes through; `loaded` is false when it cannot.
SafeBootTemplate LoadTemplate(Platform& platform, int id);

// Reads the registry editor's export format: "[key]" lines, and "@=" and
// "name"= values: strings with \\ and \" escapes, dword:<hex>, and hex: and
// hex(<type>): bytes, each value as ReadRegistryEntry gives it. A key without
// values is one entry; a key with values gives one entry per value.
// Anything else is ignored.
std::vector<RegistryEntry> ParseRegText(std::string_view text);

// The bytes the registry holds for a value as ReadRegistryEntry, and the
// reader above, give it: text as UTF-16LE ended by NUL, a REG_DWORD's number
// in four bytes, anything else as it is.
Bytes RawData(ValueType type, const std::string& data);

// A key and all its values, as a .reg file puts them back.
struct ExportedKey {
  std::string key;  // its full path, as it is to be imported
  std::vector<RegistryValue> values;
};

// The registry editor's own export of `keys`, in their order: its header,
// then each key with its values, each type kept exactly (a string that a
// quoted string cannot carry as it is goes as hex(1)); lines end in CR LF.
std::string RegExportText(const std::vector<ExportedKey>& keys);
// `text` as the registry editor writes its files: UTF-16LE with a byte-order mark.
Bytes RegFileBytes(const std::string& text);

inline constexpr char kRegHeader[] = "Windows Registry Editor Version 5.00";

// Work file and .reg file names for a template (sxcas for XP, svcas for the others).
const char* WorkFileName(int template_id);
const char* RegFileName(int template_id);

// The bytes a binary write of a byte array leaves in a file: a 12-byte array
// descriptor (type 0x2011, one dimension, element count, lower bound 0),
// then the bytes unchanged.
Bytes ByteArrayImage(const Bytes& data);

// Turns work-file bytes into .reg text: the header line, then every line of
// the work file after its first, each ended by CR LF. UTF-16LE text (with a
// byte-order mark) is narrowed to single bytes; NUL bytes are dropped.
std::string RegTextFromWorkFile(const Bytes& work);

// Writes the template's .reg file into `work_dir` (ending in a backslash)
// through its work file, which is deleted again. True if a complete .reg file
// was written; otherwise no .reg file of that name is left.
bool BuildRegFile(Platform& platform, const SafeBootTemplate& stored, const std::string& work_dir);

}  // namespace veltrik
