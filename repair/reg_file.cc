#include "repair/reg_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <iterator>
#include <string_view>
#include <vector>

#include "repair/text.h"

namespace veltrik {

namespace {

// A quoted string at `at` with \\ and \" escapes; advances `at` past it.
bool Quoted(std::string_view line, std::size_t& at, std::string& out) {
  if (at >= line.size() || line[at] != '"') return false;
  out.clear();
  for (++at; at < line.size(); ++at) {
    char c = line[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c == '\\' && at + 1 < line.size()) c = line[++at];
    out.push_back(c);
  }
  return false;
}

// dword:<1 to 8 hex digits>, as the number in decimal.
bool Dword(std::string_view text, std::string& out) {
  constexpr std::string_view kPrefix = "dword:";
  const std::string_view hex = text.substr(std::min(text.size(), kPrefix.size()));
  if (text.substr(0, kPrefix.size()) != kPrefix || hex.empty() || hex.size() > 8 ||
      hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
    return false;
  }
  out = std::to_string(std::strtoul(std::string(hex).c_str(), nullptr, 16));
  return true;
}

// hex:<bytes> or hex(<type in hex>):<bytes>, the bytes as two hex digits
// each, separated by commas; a line may go on after ",\\" on the next.
bool HexValue(std::string_view text, ValueType& type, std::string& out) {
  std::size_t at = 0;
  unsigned long number = 3;  // hex: is REG_BINARY
  if (text.substr(0, 4) != "hex:" && text.substr(0, 4) != "hex(") return false;
  if (text[3] == '(') {
    const std::size_t close = text.find("):");
    const std::string_view digits = text.substr(4, close == std::string_view::npos ? 0 : close - 4);
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != digits.npos) {
      return false;
    }
    number = std::strtoul(std::string(digits).c_str(), nullptr, 16);
    at = close + 2;
  } else {
    at = 4;
  }
  out.clear();
  for (std::string_view rest = text.substr(at); !rest.empty();) {
    if (rest.size() < 2 || rest.substr(0, 2).find_first_not_of("0123456789abcdefABCDEF") != rest.npos) return false;
    out.push_back(static_cast<char>(std::strtoul(std::string(rest.substr(0, 2)).c_str(), nullptr, 16)));
    rest.remove_prefix(2);
    if (!rest.empty() && rest[0] != ',') return false;
    if (!rest.empty()) rest.remove_prefix(1);
  }
  type = static_cast<ValueType>(number);
  return true;
}

// `number` in lower-case hex digits, at least `digits` of them.
std::string Hex(std::uint32_t number, int digits) {
  std::string out;
  for (int shift = 28; shift >= 0; shift -= 4) {
    if (number >> shift || shift < 4 * digits) out += "0123456789abcdef"[(number >> shift) & 15];
  }
  return out;
}

// "text" with \\ and \" escaped, as the registry editor quotes a name or a string.
std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) out += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
  return out + "\"";
}

constexpr std::size_t kDescriptorSize = 12;
constexpr std::uint8_t kDescriptorStart[] = {0x11, 0x20, 0x01, 0x00};

// The template bytes inside a work file; a file without the descriptor is
// taken whole. The element count bounds the data, so trailing bytes of an
// older, longer file never reach the import.
std::string_view Payload(const Bytes& work) {
  std::string_view all(reinterpret_cast<const char*>(work.data()), work.size());
  if (work.size() < kDescriptorSize ||
      !std::equal(std::begin(kDescriptorStart), std::end(kDescriptorStart), work.begin())) {
    return all;
  }
  const std::size_t count = Le32(work, 4);
  const std::size_t available = work.size() - kDescriptorSize;
  return all.substr(kDescriptorSize, count < available ? count : available);
}

std::string Narrow(std::string_view payload) {
  std::string text;
  const bool utf16 = payload.size() >= 2 && static_cast<unsigned char>(payload[0]) == 0xFF &&
                     static_cast<unsigned char>(payload[1]) == 0xFE;
  if (utf16) {
    text.reserve(payload.size() / 2);
    for (std::size_t i = 2; i + 1 < payload.size(); i += 2) {
      const unsigned unit = static_cast<unsigned char>(payload[i]) | (static_cast<unsigned char>(payload[i + 1]) << 8);
      if (unit == 0) continue;
      // The templates are ASCII; anything else has no safe single-byte form.
      text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
  } else {
    text.reserve(payload.size());
    for (char c : payload) {
      if (c != '\0') text.push_back(c);
    }
  }
  return text;
}

}  // namespace

std::vector<RegistryEntry> ParseRegText(std::string_view text) {
  std::vector<RegistryEntry> out;
  std::string key;
  bool in_key = false;  // inside a key to add (not a deletion)
  bool bare = false;    // that key has no value yet
  std::size_t pos = 0;
  const auto next_line = [&] {  // without its CR LF
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
  };
  while (pos < text.size()) {
    std::string joined(next_line());
    // A long hex value goes on after ",\" on the next line, indented.
    while (joined.size() > 1 && joined.ends_with(",\\") && pos < text.size() && joined.find("=hex") != joined.npos) {
      joined.pop_back();
      const std::string_view next = next_line();
      joined += next.substr(std::min(next.size(), next.find_first_not_of(' ')));
    }
    const std::string_view line = joined;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      if (bare) out.push_back({key, std::nullopt, ""});
      key = std::string(line.substr(1, line.size() - 2));
      in_key = bare = !key.empty() && key[0] != '-';
      continue;
    }
    if (!in_key) continue;
    std::string name;  // "" for the default value "@"
    std::size_t at = 0;
    if (line.substr(0, 1) == "@") {
      at = 1;
    } else if (!Quoted(line, at, name)) {
      continue;
    }
    if (line.substr(at, 1) != "=") continue;
    RegistryEntry entry{key, name, "", ValueType::kString};
    if (Dword(line.substr(++at), entry.data)) {
      entry.type = ValueType::kDword;
    } else if (HexValue(line.substr(at), entry.type, entry.data)) {
      // Text as the registry API gives it: UTF-8, without the final NUL.
      if (entry.type == ValueType::kString || entry.type == ValueType::kExpandString ||
          entry.type == ValueType::kMultiString) {
        entry.data = Utf8FromUtf16Le(Bytes(entry.data.begin(), entry.data.end()));
        if (!entry.data.empty() && entry.data.back() == '\0') entry.data.pop_back();
      }
    } else if (!Quoted(line, at, entry.data) || at != line.size()) {
      continue;
    }
    out.push_back(std::move(entry));
    bare = false;
  }
  if (bare) out.push_back({key, std::nullopt, ""});
  return out;
}

Bytes RawData(ValueType type, const std::string& data) {
  if (type == ValueType::kDword) {
    const auto n = static_cast<std::uint32_t>(std::strtoul(data.c_str(), nullptr, 10));
    return {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
  }
  if (type != ValueType::kString && type != ValueType::kExpandString && type != ValueType::kMultiString) {
    return Bytes(data.begin(), data.end());
  }
  Bytes raw = Utf16Le(data);
  raw.insert(raw.end(), {0, 0});
  return raw;
}

std::string RegExportText(const std::vector<ExportedKey>& keys) {
  std::string text = std::string(kRegHeader) + "\r\n";
  for (const ExportedKey& key : keys) {
    text += "\r\n[" + key.key + "]\r\n";
    for (const RegistryValue& value : key.values) {
      text += (value.name.empty() ? "@" : Quote(value.name)) + "=";
      std::string as_text = Utf8FromUtf16Le(value.data);
      if (!as_text.empty() && as_text.back() == '\0') as_text.pop_back();
      const bool control = std::any_of(as_text.begin(), as_text.end(), [](char c) { return c >= 0 && c < 0x20; });
      // Only a string that comes back byte for byte is written as one.
      if (value.type == ValueType::kString && !control && RawData(ValueType::kString, as_text) == value.data) {
        text += Quote(as_text) + "\r\n";
        continue;
      }
      if (value.type == ValueType::kDword && value.data.size() == 4) {
        text += "dword:" + Hex(Le32(value.data, 0), 8) + "\r\n";
        continue;
      }
      const auto type = static_cast<std::uint32_t>(value.type);
      text += type == 3 ? "hex:" : "hex(" + Hex(type, 1) + "):";
      for (std::size_t i = 0; i < value.data.size(); ++i) text += (i ? "," : "") + Hex(value.data[i], 2);
      text += "\r\n";
    }
  }
  return text;
}

Bytes RegFileBytes(const std::string& text) {
  Bytes bytes = {0xFF, 0xFE};
  const Bytes utf16 = Utf16Le(text);
  bytes.insert(bytes.end(), utf16.begin(), utf16.end());
  return bytes;
}

const char* TemplateWindows(int id) {
  static const char* const kWindows[] = {"Windows XP", "Windows Vista", "Windows 7", "Windows 8.1", "Windows 10"};
  return id >= kTemplateXp && id <= kTemplateWin10 ? kWindows[id - kTemplateXp] : "";
}

SafeBootTemplate LoadTemplate(Platform& platform, int id) {
  SafeBootTemplate stored;
  stored.id = id;
  stored.windows = TemplateWindows(id);
  stored.loaded = platform.LoadCustomResource(id, stored.data);
  if (stored.loaded) stored.entries = ParseRegText(RegTextFromWorkFile(ByteArrayImage(stored.data)));
  return stored;
}

const char* WorkFileName(int template_id) { return template_id == kTemplateXp ? "sxcas.tmp" : "svcas.tmp"; }

const char* RegFileName(int template_id) { return template_id == kTemplateXp ? "sxcas.reg" : "svcas.reg"; }

Bytes ByteArrayImage(const Bytes& data) {
  const auto n = static_cast<std::uint32_t>(data.size());
  Bytes out(kDescriptorSize + data.size());
  std::copy(std::begin(kDescriptorStart), std::end(kDescriptorStart), out.begin());
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(n >> (8 * i));
  std::copy(data.begin(), data.end(), out.begin() + kDescriptorSize);  // lower bound stays 0
  return out;
}

std::string RegTextFromWorkFile(const Bytes& work) {
  const std::string text = Narrow(Payload(work));
  std::string out = std::string(kRegHeader) + "\r\n";
  out.reserve(text.size() + 2);
  // The first line (the template's own header) is dropped; a final CR LF
  // ends the last line rather than starting an empty one.
  std::size_t pos = text.find("\r\n");
  if (pos == std::string::npos) return out;
  pos += 2;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    out.append(text, pos, end - pos);
    out += "\r\n";
    pos = end + 2;
  }
  return out;
}

bool BuildRegFile(Platform& platform, const SafeBootTemplate& stored, const std::string& work_dir) {
  const std::string work_path = work_dir + WorkFileName(stored.id);
  const std::string reg_path = work_dir + RegFileName(stored.id);

  if (!stored.loaded) {
    // Without the template there is nothing to import; older files must not be.
    platform.RemoveFile(reg_path);
    platform.RemoveFile(work_path);
    return false;
  }
  const Bytes image = ByteArrayImage(stored.data);
  Bytes work;
  const bool round_trip = platform.WriteWholeFile(work_path, image) && platform.ReadWholeFile(work_path, work);
  // A work-file name that is blocked (read-only, a folder) must not stop the
  // repair: the bytes it would have held are at hand.
  const std::string text = RegTextFromWorkFile(round_trip ? work : image);
  const bool written = platform.WriteWholeFile(reg_path, Bytes(text.begin(), text.end()));
  if (!written) platform.RemoveFile(reg_path);
  platform.RemoveFile(work_path);
  return written;
}

}  // namespace veltrik
