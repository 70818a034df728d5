#include "repair/text.h"

#include <cctype>

namespace veltrik {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  const auto escape = [&out](const char* prefix, std::uint32_t code, int digits) {
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += "0123456789ABCDEF"[(code >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < text.size();) {
    if (out.size() >= limit) return out + "... (" + std::to_string(text.size()) + " bytes)";
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((next & 0xC0) != 0x80) length = 0;
      code = code << 6 | (next & 0x3Fu);
    }
    if (length == 0 || code < 0x20 || code == 0x7F) {
      escape("\\x", length ? code : lead, 2);
    } else if ((code >= 0x80 && code < 0xA0) || code == 0x200E || code == 0x200F ||
               (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) {
      escape("\\u", code, 4);
    } else {
      out.append(text.substr(i, length));
    }
    i += length ? length : 1;
  }
  return out;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

}  // namespace veltrik
